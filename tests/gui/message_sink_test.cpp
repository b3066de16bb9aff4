#include <QMessageBox>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/desktop.h"
#include "shell/gui_message_sink.h"

using namespace tamsel;
using guitest::WhenModal;

namespace {

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

// Records the box on screen and presses the given button.
void AnswerNextBox(ShownBox& shown, QMessageBox::StandardButton press) {
    WhenModal([&shown, press](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY(box);
        shown = {box->windowTitle(), box->text(), box->icon(), {}};
        for (QAbstractButton* button : box->buttons()) {
            shown.buttons.append(box->standardButton(button));
        }
        box->button(press)->click();
    });
}

}  // namespace

// The message boxes the program shows, and answers from any thread.
class DesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void QuestionsReturnTheButtonPressed() {
        const struct {
            MessageButtons buttons;
            MessageIcon icon;
            QMessageBox::StandardButton press;
            MessageAnswer answer;
            QMessageBox::Icon shownIcon;
        } cases[] = {
            {MessageButtons::YesNo, MessageIcon::Question, QMessageBox::Yes, MessageAnswer::Yes,
             QMessageBox::Question},
            {MessageButtons::YesNo, MessageIcon::Question, QMessageBox::No, MessageAnswer::No,
             QMessageBox::Question},
            {MessageButtons::OkCancel, MessageIcon::Exclamation, QMessageBox::Ok, MessageAnswer::Ok,
             QMessageBox::Warning},
            {MessageButtons::OkCancel, MessageIcon::Critical, QMessageBox::Cancel,
             MessageAnswer::Cancel, QMessageBox::Critical},
        };
        GuiMessageSink sink;
        for (const auto& c : cases) {
            ShownBox shown;
            AnswerNextBox(shown, c.press);
            QCOMPARE(Ask(JoinLines({"Sure?", "Really?"}), c.buttons, c.icon), c.answer);
            QCOMPARE(shown.text, QStringLiteral("Sure?\nReally?"));
            QCOMPARE(shown.icon, c.shownIcon);
            QCOMPARE(shown.buttons.size(), 2);
        }
    }

    void WorkerThreadWaitsForTheAnswerFromTheInterfaceThread() {
        GuiMessageSink sink;
        ShownBox shown;
        AnswerNextBox(shown, QMessageBox::No);
        QFuture<MessageAnswer> asked = QtConcurrent::run(
            [] { return Ask("From the worker", MessageButtons::YesNo, MessageIcon::Question); });
        // The box is shown by this thread's event loop while the worker waits.
        QTRY_VERIFY_WITH_TIMEOUT(asked.isFinished(), 10000);
        QCOMPARE(asked.result(), MessageAnswer::No);
        QCOMPARE(shown.text, QStringLiteral("From the worker"));
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(DesktopTest)
#include "message_sink_test.moc"
