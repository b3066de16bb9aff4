#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/add_data_dialog.h"
#include "shell/import_preview.h"
#include "tamsel/store/queries.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::PreviewSettled;
using guitest::Session;

namespace {

// Fills the dialog's fields.
void Fill(QWidget* dialog, const QString& name, int type) {
    dialog->findChild<QLineEdit*>("TxtDataName")->setText(name);
    dialog->findChild<QComboBox*>("Combo1")->setCurrentIndex(type);
}

// Clicks the file button and waits for the preview of the file chosen.
void ChooseFile(QWidget* dialog) {
    Click(dialog, "Command3");
    QVERIFY(PreviewSettled(dialog));
}

// The dialog on screen, with what it shows.
struct Dialog {
    explicit Dialog(Session& s, const QString& name = {})
        : session(s), dialog(s.Db(), s.Controller(), s.desktop) {
        dialog.show();
        Fill(&dialog, name, 0);
    }
    // Chooses fileName through the file button and waits for its preview.
    void Choose(const std::string& fileName) {
        session.desktop.QueueFileName(QString::fromStdString(fileName));
        ChooseFile(&dialog);
    }
    template <typename T>
    T* Get(const char* name) {
        return dialog.findChild<T*>(name);
    }
    bool OkEnabled() { return Get<QPushButton>("Command1")->isEnabled(); }
    QString Message() { return Get<QLabel>("lblPreviewMessage")->text(); }
    QString Summary() { return Get<QLabel>("lblPreviewSummary")->text(); }
    QAbstractItemModel* Model() { return Get<QTableView>("tblPreview")->model(); }
    // The columns of the first preview row drawn highlighted.
    QList<int> Highlighted() {
        QList<int> columns;
        for (int c = 0; c < Model()->columnCount(); ++c) {
            if (Model()->index(0, c).data(Qt::BackgroundRole).isValid()) columns.append(c);
        }
        return columns;
    }
    // Presses OK and waits for the import to end, as a person waits for the dialog.
    bool Import() {
        return guitest::ClickAndWait(&dialog, "Command1", &AddDataDialog::importFinished);
    }

    Session& session;
    AddDataDialog dialog;
};

// A field of the dataset called name.
std::string Value(Database& db, const std::string& field, const std::string& name) {
    Statement select = db.Prepare("SELECT " + field + " FROM DataSets WHERE DataName = ?;");
    select.Bind(1, name);
    return select.Step() ? select.ColumnText(0) : "<none>";
}

// The stored cumulative times of the dataset called name, in failure order.
std::vector<double> StoredCumulativeTimes(Database& db, const std::string& name) {
    Statement select = db.Prepare(
        "SELECT f.CumulativeTime FROM FailureTimes f JOIN DataSets d ON d.DataSetID = "
        "f.DataSetID WHERE d.DataName = ?1 ORDER BY f.FailureIndex");
    select.Bind(1, name);
    std::vector<double> times;
    while (select.Step()) times.push_back(select.ColumnDouble(0));
    return times;
}

}  // namespace

class AddDataTest : public QObject {
    Q_OBJECT

  private slots:
    void OpensEmptyWithTheDefaultSourceAndKeepsTheFileOnCancel() {
        Session s;
        Dialog d(s);
        QVERIFY(d.Get<QLabel>("InputFileLabel")->text().isEmpty());
        QCOMPARE(d.Get<QPlainTextEdit>("TxtSource")->toPlainText(),
                 QStringLiteral("Unknown source\n"));
        QVERIFY(d.Get<QLineEdit>("TxtDataName")->text().isEmpty());
        // Nothing to import before a file reads cleanly.
        QVERIFY(!d.OkEnabled());

        const QString file = QString::fromStdString(test::DataFile("ntds.txt"));
        d.Choose(file.toStdString());
        QCOMPARE(d.Get<QLabel>("InputFileLabel")->text(), file);
        ChooseFile(&d.dialog);  // cancelled
        QCOMPARE(d.Get<QLabel>("InputFileLabel")->text(), file);
        QCOMPARE(s.desktop.questions,
                 (std::vector<FileQuestion>{FileQuestion::DataFile, FileQuestion::DataFile}));
    }

    void ARefusalKeepsTheDialogOpenWithItsInput() {
        Session s;
        Dialog d(s, "  SYS1 ");
        d.Choose(test::DataFile("ntds.txt"));
        QVERIFY(d.Import());
        QCOMPARE(s.sink.Count(), std::size_t{1});
        QVERIFY(d.dialog.isVisible());
        QCOMPARE(d.Get<QLineEdit>("TxtDataName")->text(), QStringLiteral("  SYS1 "));
        QCOMPARE(guitest::CountRows(s.Db(), "DataSets"), 1);
    }

    void AFileThatFailsCanBeCorrectedAndChosenAgain() {
        Session s;
        Dialog d(s);
        const std::string file = s.dir.WriteFile("data.txt", "");
        d.Choose(file);
        Fill(&d.dialog, "NEW", 0);
        QCOMPARE(d.Message(), QStringLiteral("An error occurred while reading data from file.\n"
                                             "File contains no data."));
        QVERIFY(!d.OkEnabled());
        s.dir.WriteFile("data.txt", "3\n5\n2\n");
        d.Choose(file);
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(d.Import());
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(Value(s.Db(), "DataNumber", "NEW"), std::string("3"));
        QCOMPARE(Value(s.Db(), "DataTypeID", "NEW"), std::string("1"));
    }

    void NewDatasetBecomesCurrentOnYes() {
        for (const bool yes : {true, false}) {
            Session s;
            s.Controller().OpenCurrentDataSet("SYS1");
            Dialog d(s);
            d.Choose(test::DataFile("ntds.txt"));
            Fill(&d.dialog, " NTDS ", 0);
            d.Get<QPlainTextEdit>("TxtSource")->setPlainText("Navy\nproduction phase");
            s.sink.QueueAnswer(yes ? MessageAnswer::Yes : MessageAnswer::No);
            QVERIFY(d.Import());
            const std::vector<test::RecordingSink::Entry> shown = s.sink.Entries();
            QCOMPARE(shown.size(), std::size_t{1});
            QCOMPARE(shown[0].text,
                     std::string("Do you want the added dataset to become the current selection?"));
            QCOMPARE(shown[0].buttons, MessageButtons::YesNo);
            QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
            QVERIFY(!d.dialog.isVisible());
            QCOMPARE(s.Controller().Selection().dataSetName, std::string(yes ? "NTDS" : "SYS1"));
            QCOMPARE(Value(s.Db(), "DataNumber", "NTDS"), std::string("26"));
            QCOMPARE(Value(s.Db(), "DataSource", "NTDS"), std::string("Navy\r\nproduction phase"));
            QCOMPARE(Value(s.Db(), "DataFile", "NTDS"), test::DataFile("ntds.txt"));
        }
    }

    void TheModelStaysConsistentAsFilesAndOptionsChange() {
        test::TempDir dir;
        ImportPreview preview;
        QAbstractItemModelTester tester(preview.findChild<QTableView*>("tblPreview")->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(!preview.ReadsCleanly());
        preview.SetFile(QString::fromStdString(dir.WriteFile("a.csv", "a;b;c\n1;2;3\n4;5\n")));
        QVERIFY(!preview.ReadsCleanly());  // while it is read
        // A change made while the file is read is read after it.
        auto* header = preview.findChild<QComboBox*>("cboHeader");
        header->setCurrentIndex(2);  // no header: the first line holds no numbers
        QVERIFY(PreviewSettled(&preview));
        QCOMPARE(preview.Options().header, HeaderChoice::Absent);
        QVERIFY(!preview.ReadsCleanly());
        header->setCurrentIndex(0);
        QVERIFY(PreviewSettled(&preview));
        preview.findChild<QComboBox*>("cboColumn")->setCurrentIndex(2);
        QVERIFY(PreviewSettled(&preview));
        QVERIFY(preview.ReadsCleanly());
        QCOMPARE(preview.Options().column, std::string("2"));
        preview.SetFile(QString::fromStdString(dir.WriteFile("b.txt", "")));
        QVERIFY(PreviewSettled(&preview));
        QCOMPARE(preview.findChild<QTableView*>("tblPreview")->model()->rowCount(), 0);
        preview.SetFile(QString::fromStdString(dir.File("missing.txt")));
        QVERIFY(PreviewSettled(&preview));
        QVERIFY(!preview.ReadsCleanly());
    }

    void SeveralNumericColumnsWaitForAChoice() {
        Session s;
        Dialog d(s, "NEW");
        d.Choose(s.dir.WriteFile("t.tsv", "a\tb\tc\n5\t30\t1\n2\t70\t1\n9\t90\t4\n"));
        QVERIFY(!d.OkEnabled());
        QCOMPARE(d.Model()->rowCount(), 3);  // the rows to choose from
        QCOMPARE(d.Highlighted(), QList<int>{});
        d.Get<QComboBox>("cboColumn")->setCurrentIndex(2);
        QVERIFY(!d.OkEnabled());  // until the column chosen has been read
        QVERIFY(PreviewSettled(&d.dialog));
        QVERIFY(d.OkEnabled());
        QCOMPARE(d.Highlighted(), QList<int>{1});
        QVERIFY(d.Summary().endsWith("Values: 3, read as cumulative failure times"));
        // Another delimiter splits the lines anew and forgets the column chosen.
        d.Get<QComboBox>("cboDelimiter")->setCurrentText("Comma");
        QVERIFY(PreviewSettled(&d.dialog));
        QVERIFY(!d.OkEnabled());
        QCOMPARE(d.Get<QComboBox>("cboColumn")->currentIndex(), 0);
        d.Get<QComboBox>("cboDelimiter")->setCurrentText("Detect");
        QVERIFY(PreviewSettled(&d.dialog));
        d.Get<QComboBox>("cboColumn")->setCurrentIndex(2);
        QVERIFY(PreviewSettled(&d.dialog));
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(d.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "NEW"), (std::vector<double>{30, 70, 90}));
    }

    void TimestampsNeedAnOriginAndBecomeCumulativeTimes() {
        Session s;
        const std::string file = s.dir.WriteFile(
            "bugs.csv",
            "id,opened\nB-7,2024-03-31 03:30\nB-2,2024-03-31 01:15\nB-9,2024-03-31T04:00+02:00\n");
        Dialog d(s, "NEW");
        d.Choose(file);
        auto* stamps = d.Get<QWidget>("fraTimestamps");
        QVERIFY(stamps->isVisible());
        QVERIFY(!d.OkEnabled());
        QVERIFY2(d.Message().contains("enter the start of testing"), qPrintable(d.Message()));
        d.Get<QLineEdit>("txtOrigin")->setText("2024-03-31 00:00");
        QVERIFY(!d.OkEnabled());  // until the origin typed has been read
        QTRY_VERIFY(d.OkEnabled());
        // 03:30 in Berlin is 01:30 UTC, the clocks having gone forward at 02:00.
        d.Get<QComboBox>("cboTimeZone")->setCurrentText("Europe/Berlin");
        d.Get<QComboBox>("cboUnit")->setCurrentText("minutes");
        QTRY_VERIFY(d.OkEnabled());
        QVERIFY2(
            d.Summary().contains("Times in minutes from 2024-03-30T23:00:00.000Z (Europe/Berlin)"),
            qPrintable(d.Summary()));
        QCOMPARE(d.Get<QComboBox>("cboColumn")->currentText(),
                 QStringLiteral("Detect: 2 'opened' (date-times)"));
        s.dir.WriteFile("bugs.csv", "opened\n2024-03-31 03:30\n2024-03-31 01:15\n");
        d.Choose(file);
        QVERIFY(d.OkEnabled());
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(d.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "NEW"), (std::vector<double>{75, 150}));
        QVERIFY(s.sink.Texts().front().find("holds 2 failures") != std::string::npos);
    }

    void TheDecimalMarkAndThePipeReachTheReader() {
        Session s;
        Dialog d(s, "NEW");
        // 1.234 in a semicolon-separated file may be 1234: refused until the mark is chosen.
        d.Choose(s.dir.WriteFile("points.csv", "n;t\n1;1.234\n2;12.500\n3;7\n"));
        QVERIFY(!d.OkEnabled());
        QVERIFY2(d.Message().contains("'1.234' may be 1234"), qPrintable(d.Message()));
        auto* mark = d.Get<QComboBox>("cboDecimalMark");
        mark->setCurrentText("Comma");
        QVERIFY(PreviewSettled(&d.dialog));
        QVERIFY2(d.Message().contains("'1.234'"), qPrintable(d.Message()));
        QVERIFY(!d.OkEnabled());
        mark->setCurrentText("Point");
        QVERIFY(PreviewSettled(&d.dialog));
        QVERIFY(d.OkEnabled());
        QVERIFY2(d.Summary().contains("Decimal mark: point"), qPrintable(d.Summary()));
        QVERIFY(d.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "NEW"),
                 (std::vector<double>{1.234, 13.734, 20.734}));

        // Commas split the lines unless the pipe is chosen, and then they are decimal commas.
        Dialog pipe(s, "PIPE");
        pipe.Choose(s.dir.WriteFile("pipe.txt", "t,n|x\n1,5|a\n2,6|b\n"));
        QVERIFY(!pipe.OkEnabled());
        pipe.Get<QComboBox>("cboDelimiter")->setCurrentText("Pipe");
        pipe.Get<QComboBox>("cboDecimalMark")->setCurrentText("Comma");
        QVERIFY(PreviewSettled(&pipe.dialog));
        QVERIFY(pipe.OkEnabled());
        QVERIFY2(pipe.Summary().contains("Decimal mark: comma"), qPrintable(pipe.Summary()));
        QVERIFY(pipe.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "PIPE"), (std::vector<double>{1.5, 2.6}));
    }

    void DateTimesAskForAnOriginOnlyWhenItWouldReadThem() {
        Session s;
        Dialog d(s, "NEW");
        // Serial numbers read with no origin: the refusal says at once what to do.
        d.Choose(s.dir.WriteFile("serial.csv", "Key;Opened\nA;45231,5\nB;45232,25\n"));
        QVERIFY(!d.OkEnabled());
        QVERIFY(!d.Get<QWidget>("fraTimestamps")->isVisible());
        QVERIFY2(d.Message().contains("The file does not say which date system wrote them"),
                 qPrintable(d.Message()));
        // Unix time without a header to name it: the origin reads it.
        d.Choose(s.dir.WriteFile("unix.txt", "1709284500\n1709288100\n1709291700\n"));
        QVERIFY(d.Get<QWidget>("fraTimestamps")->isVisible());
        QVERIFY2(d.Message().contains("enter the start of testing"), qPrintable(d.Message()));
        d.Get<QLineEdit>("txtOrigin")->setText("2024-03-01 09:00");
        QTRY_VERIFY(d.OkEnabled());
        QVERIFY(d.Get<QWidget>("fraTimestamps")->isVisible());
    }
};

QTEST_MAIN(AddDataTest)
#include "add_data_dialog_test.moc"
