#include <QMessageBox>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

#include "gui_test_support.h"
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
        shown.title = box->windowTitle();
        shown.text = box->text();
        shown.icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            shown.buttons.append(box->standardButton(button));
        }
        box->button(press)->click();
    });
}

}  // namespace

class MessageSinkTest : public QObject {
    Q_OBJECT

  private slots:
    void ShowsUntitledBoxWithTheLinesOfTheMessage() {
        GuiMessageSink sink;
        ShownBox shown;
        AnswerNextBox(shown, QMessageBox::Ok);
        ShowMessage(JoinLines({"There are no datasets stored in the current database.",
                               "Please, add a dataset first."}));
        QCOMPARE(shown.title, QString());
        QCOMPARE(shown.text, QStringLiteral("There are no datasets stored in the current "
                                            "database.\nPlease, add a dataset first."));
        QCOMPARE(shown.icon, QMessageBox::NoIcon);
        QCOMPARE(shown.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }

    void QuestionsReturnTheButtonPressed_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("shownIcon");
        QTest::newRow("yes") << int(MessageButtons::YesNo) << int(MessageIcon::Question)
                             << int(QMessageBox::Yes) << int(MessageAnswer::Yes)
                             << int(QMessageBox::Question);
        QTest::newRow("no") << int(MessageButtons::YesNo) << int(MessageIcon::Question)
                            << int(QMessageBox::No) << int(MessageAnswer::No)
                            << int(QMessageBox::Question);
        QTest::newRow("ok") << int(MessageButtons::OkCancel) << int(MessageIcon::Exclamation)
                            << int(QMessageBox::Ok) << int(MessageAnswer::Ok)
                            << int(QMessageBox::Warning);
        QTest::newRow("cancel") << int(MessageButtons::OkCancel) << int(MessageIcon::Critical)
                                << int(QMessageBox::Cancel) << int(MessageAnswer::Cancel)
                                << int(QMessageBox::Critical);
    }

    void QuestionsReturnTheButtonPressed() {
        QFETCH(int, buttons);
        QFETCH(int, icon);
        QFETCH(int, press);
        QFETCH(int, answer);
        QFETCH(int, shownIcon);
        GuiMessageSink sink;
        ShownBox shown;
        AnswerNextBox(shown, static_cast<QMessageBox::StandardButton>(press));
        const MessageAnswer given =
            Ask("Question?", static_cast<MessageButtons>(buttons), static_cast<MessageIcon>(icon));
        QCOMPARE(int(given), answer);
        QCOMPARE(int(shown.icon), shownIcon);
        QCOMPARE(shown.buttons.size(), 2);
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

QTEST_MAIN(MessageSinkTest)
#include "message_sink_test.moc"
