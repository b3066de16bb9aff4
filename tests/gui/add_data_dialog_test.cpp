#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/add_data_dialog.h"
#include "shell/current_selections_dialog.h"
#include "shell/main_window.h"
#include "tamsel/store/queries.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::Session;
using guitest::WhenModal;

namespace {

// Fills the dialog's fields; an empty file leaves the file label as it is.
void Fill(QWidget* dialog, const QString& name, int type) {
    dialog->findChild<QLineEdit*>("TxtDataName")->setText(name);
    dialog->findChild<QComboBox*>("Combo1")->setCurrentIndex(type);
}

// Clicks the file button and waits for the preview of the file chosen.
void ChooseFile(QWidget* dialog) {
    Click(dialog, "Command3");
    QVERIFY(guitest::PreviewSettled(dialog));
}

// Presses OK and waits for the import to end, as a person waits for the dialog.
bool PressOk(AddDataDialog& dialog) {
    QSignalSpy finished(&dialog, &AddDataDialog::importFinished);
    Click(&dialog, "Command1");
    return finished.wait(60000);
}

std::string Value(Database& db, const std::string& field, const std::string& name) {
    Statement select = db.Prepare("SELECT " + field + " FROM DataSets WHERE DataName = ?;");
    select.Bind(1, name);
    return select.Step() ? select.ColumnText(0) : "<none>";
}

}  // namespace

class AddDataTest : public QObject {
    Q_OBJECT

  private slots:
    void OpensEmptyWithTheDefaultSource() {
        Session s;
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Create a dataset"));
        QStringList texts;
        for (const char* label : {"Label1", "Label5", "InputFileLabel", "Label6", "Label4"}) {
            texts.append(dialog.findChild<QLabel*>(label)->text());
        }
        auto* type = dialog.findChild<QComboBox*>("Combo1");
        for (int i = 0; i < type->count(); ++i) texts.append(type->itemText(i));
        QCOMPARE(texts,
                 (QStringList{"Enter name for dataset", "Select a data file:", "",
                              "Select data type:", "Add source or any other information (optional)",
                              "Automatic", "Interfailure times", "Cumulative failure times"}));
        QCOMPARE(type->currentIndex(), 0);
        QCOMPARE(dialog.findChild<QPlainTextEdit*>("TxtSource")->toPlainText(),
                 QStringLiteral("Unknown source\n"));
        QVERIFY(dialog.findChild<QLineEdit*>("TxtDataName")->text().isEmpty());
        // Nothing to import before a file reads cleanly.
        QVERIFY(!dialog.findChild<QPushButton*>("Command1")->isEnabled());
    }

    void BrowseShowsTheChosenFileAndCancelKeepsIt() {
        Session s;
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        const QString file = QString::fromStdString(test::DataFile("ntds.txt"));
        s.desktop.QueueFileName(file);
        ChooseFile(&dialog);
        QCOMPARE(dialog.findChild<QLabel*>("InputFileLabel")->text(), file);
        ChooseFile(&dialog);  // cancelled
        QCOMPARE(dialog.findChild<QLabel*>("InputFileLabel")->text(), file);
        QCOMPARE(s.desktop.questions,
                 (std::vector<FileQuestion>{FileQuestion::DataFile, FileQuestion::DataFile}));
    }

    void RefusalsKeepTheDialogOpenWithItsInput_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << "   "
                                 << "Please enter a name for the dataset";
        QTest::newRow("existing name with blanks")
            << "  SYS1 "
            << "The data name specified already exists.\r\n"
               "Please, specify a valid and unique name for the dataset.";
    }

    void RefusalsKeepTheDialogOpenWithItsInput() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        Session s;
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        dialog.show();
        Fill(&dialog, name, 0);
        s.desktop.QueueFileName(QString::fromStdString(test::DataFile("ntds.txt")));
        ChooseFile(&dialog);
        QVERIFY(PressOk(dialog));
        QCOMPARE(s.sink.Texts(), std::vector<std::string>{message.toStdString()});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit*>("TxtDataName")->text(), name);
        QCOMPARE(guitest::CountRows(s.Db(), "DataSets"), 1);
    }

    void AFileThatFailsCanBeCorrectedAndChosenAgain() {
        Session s;
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        dialog.show();
        const std::string file = s.dir.WriteFile("data.txt", "");
        s.desktop.QueueFileName(QString::fromStdString(file));
        ChooseFile(&dialog);
        Fill(&dialog, "NEW", 0);
        QCOMPARE(dialog.findChild<QLabel*>("lblPreviewMessage")->text(),
                 QStringLiteral("An error occurred while reading data from file.\nFile contains "
                                "no data."));
        QVERIFY(!dialog.findChild<QPushButton*>("Command1")->isEnabled());

        s.dir.WriteFile("data.txt", "3\n5\n2\n");
        s.desktop.QueueFileName(QString::fromStdString(file));
        ChooseFile(&dialog);
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(PressOk(dialog));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(Value(s.Db(), "DataNumber", "NEW"), std::string("3"));
        QCOMPARE(Value(s.Db(), "DataTypeID", "NEW"), std::string("1"));
    }

    void NewDatasetBecomesCurrentOnYes_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void NewDatasetBecomesCurrentOnYes() {
        QFETCH(bool, yes);
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        dialog.show();
        s.desktop.QueueFileName(QString::fromStdString(test::DataFile("ntds.txt")));
        ChooseFile(&dialog);
        Fill(&dialog, " NTDS ", 0);
        dialog.findChild<QPlainTextEdit*>("TxtSource")->setPlainText("Navy\nproduction phase");
        s.sink.QueueAnswer(yes ? MessageAnswer::Yes : MessageAnswer::No);
        QVERIFY(PressOk(dialog));
        const std::vector<test::RecordingSink::Entry> shown = s.sink.Entries();
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].text,
                 std::string("Do you want the added dataset to become the current selection?"));
        QCOMPARE(shown[0].buttons, MessageButtons::YesNo);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(s.Controller().Selection().dataSetName, std::string(yes ? "NTDS" : "SYS1"));
        QCOMPARE(Value(s.Db(), "DataNumber", "NTDS"), std::string("26"));
        QCOMPARE(Value(s.Db(), "DataSource", "NTDS"), std::string("Navy\r\nproduction phase"));
        QCOMPARE(Value(s.Db(), "DataFile", "NTDS"), test::DataFile("ntds.txt"));
    }

    void QuestionFromTheImportIsAnsweredOnTheInterfaceThread() {
        Session s;
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        dialog.show();
        s.desktop.QueueFileName(QString::fromStdString(s.dir.WriteFile("c.txt", "3\n8\n10\n")));
        ChooseFile(&dialog);
        Fill(&dialog, "C", 1);  // Interfailure times, but the values never decrease
        s.sink.QueueAnswer(MessageAnswer::Yes);  // read them as interfailure times
        s.sink.QueueAnswer(MessageAnswer::No);   // do not make the dataset current
        QVERIFY(PressOk(dialog));
        const std::vector<test::RecordingSink::Entry> shown = s.sink.Entries();
        // The type question, the note on a dataset shorter than the default range start, and
        // the question whether to make it current.
        QCOMPARE(shown.size(), std::size_t{3});
        QCOMPARE(shown[0].buttons, MessageButtons::YesNo);
        QCOMPARE(shown[0].icon, MessageIcon::Question);
        QCOMPARE(shown[1].icon, MessageIcon::Information);
        QVERIFY(shown[1].text.find("holds 3 failures") != std::string::npos);
        QCOMPARE(Value(s.Db(), "DataTypeID", "C"), std::string("1"));
        FailureSeries x, t;
        QVERIFY(ReadFailureTimes(s.Db(), FindDataSetId(s.Db(), "C").value_or(0), x, t));
        QCOMPARE(t.back(), 21.0);
    }

    void CancelStoresNothing() {
        Session s;
        AddDataDialog dialog(s.Db(), s.Controller(), s.desktop);
        s.desktop.QueueFileName(QString::fromStdString(test::DataFile("ntds.txt")));
        WhenModal([](QWidget* shown) {
            ChooseFile(shown);
            Fill(shown, "NTDS", 0);
            Click(shown, "Command2");
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(guitest::CountRows(s.Db(), "DataSets"), 1);
        QVERIFY(s.sink.Texts().empty());
    }

    // A whole session through the real menus and dialogs.
    void FromNewDatabaseToTheCurrentSelections() {
        test::TempDir dir;
        test::RecordingSink sink;  // answers Yes: the new dataset becomes current
        guitest::FakeDesktop desktop;
        MainWindow window(desktop);
        window.show();
        auto item = [&window](const char* name) { return window.findChild<QAction*>(name); };

        const std::string fileName = dir.File("session.db");
        desktop.QueueFileName(QString::fromStdString(fileName));
        item("mnuFileNewDatabase")->trigger();
        QCOMPARE(window.Controller().Selection().databaseFileName, fileName);

        desktop.QueueFileName(QString::fromStdString(test::DataFile("sys1.txt")));
        WhenModal([](QWidget* shown) {
            ChooseFile(shown);
            Fill(shown, "SYS1", 0);
            Click(shown, "Command1");
        });
        item("mnuDataAddNewDataset")->trigger();
        QCOMPARE(window.Controller().Selection().dataSetName, std::string("SYS1"));

        WhenModal([](QWidget* shown) {
            shown->findChild<QAbstractButton*>("Option1_0")->setChecked(true);
            Click(shown, "cmdOK");
        });
        item("mnuEstimatesApplyModel")->trigger();

        WhenModal([](QWidget* shown) { Click(shown, "Command1"); });
        item("mnuEstimatesSelectSet")->trigger();
        QVERIFY(item("mnuPlotShowPlot_10")->isEnabled());
        QVERIFY(
            window.StatusPanelText(3).startsWith(QStringLiteral("Estimates: Jelinski-Moranda")));

        QStringList values;
        WhenModal([&values](QWidget* shown) {
            auto* selections = qobject_cast<CurrentSelectionsDialog*>(shown);
            for (const char* name : {"Database", "Dataset", "Model", "Range"}) {
                values.append(selections->ValueText(QString::fromLatin1(name)));
            }
            Click(shown, "Command1");
        });
        item("mnuViewCurrentSelections")->trigger();
        QCOMPARE(values, (QStringList{QString::fromStdString(fileName), "SYS1", "Jelinski-Moranda",
                                      "20 to 136 (set size 136)"}));
        QCOMPARE(sink.Texts(),
                 std::vector<std::string>{"Do you want the added dataset to become the current "
                                          "selection?"});
        QCOMPARE(guitest::ModalTimeouts(), 0);
        Database& db = *window.Controller().OpenedDatabase();
        QCOMPARE(guitest::CountRows(db, "Estimates"), 117);
    }
};

QTEST_MAIN(AddDataTest)
#include "add_data_dialog_test.moc"
