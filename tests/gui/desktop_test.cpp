#include <QFileDialog>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/desktop.h"

using namespace tamsel;

namespace {

struct ShownDialog {
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QStringList filters;
    QString defaultSuffix;
    bool confirmsOverwrite = false;
};

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void FileDialogsAskWhatEachQuestionNeeds_data() {
        QTest::addColumn<int>("question");
        QTest::addColumn<int>("acceptMode");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<QString>("suffix");
        const QStringList databases = {"Tamsel databases (*.db)", "All files (*)"};
        QTest::newRow("open database")
            << int(FileQuestion::OpenDatabase) << int(QFileDialog::AcceptOpen)
            << int(QFileDialog::ExistingFile) << databases << "db";
        QTest::newRow("new database")
            << int(FileQuestion::NewDatabase) << int(QFileDialog::AcceptSave)
            << int(QFileDialog::AnyFile) << databases << "db";
        QTest::newRow("data file")
            << int(FileQuestion::DataFile) << int(QFileDialog::AcceptOpen)
            << int(QFileDialog::ExistingFile)
            << QStringList{"Data files (*.txt *.dat *.csv *.tsv)", "All files (*)"} << "txt";
    }

    void FileDialogsAskWhatEachQuestionNeeds() {
        QFETCH(int, question);
        QFETCH(int, acceptMode);
        QFETCH(int, fileMode);
        QFETCH(QStringList, filters);
        QFETCH(QString, suffix);
        SystemDesktop desktop;
        ShownDialog shown;
        guitest::WhenModal([&shown](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY(dialog);
            shown.acceptMode = dialog->acceptMode();
            shown.fileMode = dialog->fileMode();
            shown.filters = dialog->nameFilters();
            shown.defaultSuffix = dialog->defaultSuffix();
            shown.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        });
        // Cancelling answers with no file name.
        QCOMPARE(desktop.AskFileName(nullptr, static_cast<FileQuestion>(question)), QString());
        QCOMPARE(int(shown.acceptMode), acceptMode);
        QCOMPARE(int(shown.fileMode), fileMode);
        QCOMPARE(shown.filters, filters);
        QCOMPARE(shown.defaultSuffix, suffix);
        QVERIFY(shown.confirmsOverwrite);
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
