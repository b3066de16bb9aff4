#include <QFileDialog>
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

// The message boxes and file dialogs the program shows through the desktop.
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

    // Cancelling a file dialog answers with no file name.
    void FileDialogsAskWhatEachQuestionNeeds() {
        const QStringList databases = {"Tamsel databases (*.db)", "All files (*)"};
        const struct {
            FileQuestion question;
            QFileDialog::AcceptMode acceptMode;
            QFileDialog::FileMode fileMode;
            QStringList filters;
            QString suffix;
        } cases[] = {
            {FileQuestion::OpenDatabase, QFileDialog::AcceptOpen, QFileDialog::ExistingFile,
             databases, "db"},
            {FileQuestion::NewDatabase, QFileDialog::AcceptSave, QFileDialog::AnyFile, databases,
             "db"},
            {FileQuestion::DataFile, QFileDialog::AcceptOpen, QFileDialog::ExistingFile,
             QStringList{"Data files (*.txt *.dat *.csv *.tsv)", "All files (*)"}, "txt"},
        };
        SystemDesktop desktop;
        for (const auto& c : cases) {
            std::optional<std::tuple<int, int, QStringList, QString, bool>> shown;
            WhenModal([&shown](QWidget* widget) {
                auto* dialog = qobject_cast<QFileDialog*>(widget);
                QVERIFY(dialog);
                shown = std::tuple(int(dialog->acceptMode()), int(dialog->fileMode()),
                                   dialog->nameFilters(), dialog->defaultSuffix(),
                                   !dialog->testOption(QFileDialog::DontConfirmOverwrite));
                dialog->reject();
            });
            QCOMPARE(desktop.AskFileName(nullptr, c.question), QString());
            QVERIFY(shown);
            QCOMPARE(*shown,
                     std::tuple(int(c.acceptMode), int(c.fileMode), c.filters, c.suffix, true));
        }
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(DesktopTest)
#include "message_sink_test.moc"
