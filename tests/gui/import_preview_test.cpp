#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/add_data_dialog.h"
#include "shell/import_preview.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::PreviewSettled;
using guitest::Session;

namespace {

// The dialog with a dataset name and fileName chosen through its file button.
struct PreviewDialog {
    PreviewDialog(Session& s, const std::string& fileName)
        : dialog(s.Db(), s.Controller(), s.desktop) {
        dialog.show();
        dialog.findChild<QLineEdit*>("TxtDataName")->setText("NEW");
        Choose(s, fileName);
    }

    // Chooses fileName and waits for its preview.
    void Choose(Session& s, const std::string& fileName) {
        s.desktop.QueueFileName(QString::fromStdString(fileName));
        Click(&dialog, "Command3");
        QVERIFY(PreviewSettled(&dialog));
    }

    template <typename T>
    T* Get(const char* name) {
        return dialog.findChild<T*>(name);
    }
    bool OkEnabled() { return Get<QPushButton>("Command1")->isEnabled(); }
    QString Message() { return Get<QLabel>("lblPreviewMessage")->text(); }
    QString Summary() { return Get<QLabel>("lblPreviewSummary")->text(); }
    QAbstractItemModel* Model() { return Get<QTableView>("tblPreview")->model(); }
    QStringList ColumnChoices() {
        QStringList items;
        auto* column = Get<QComboBox>("cboColumn");
        for (int i = 0; i < column->count(); ++i) items.append(column->itemText(i));
        return items;
    }
    // The columns of the first preview row drawn highlighted.
    QList<int> Highlighted() {
        QList<int> columns;
        for (int c = 0; c < Model()->columnCount(); ++c) {
            if (Model()->index(0, c).data(Qt::BackgroundRole).isValid()) columns.append(c);
        }
        return columns;
    }
    bool Import() {
        QSignalSpy finished(&dialog, &AddDataDialog::importFinished);
        Click(&dialog, "Command1");
        return finished.wait(60000);
    }

    AddDataDialog dialog;
};

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

class ImportPreviewTest : public QObject {
    Q_OBJECT

  private slots:
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

    void AHeaderTableShowsItsColumnsAndImportsTheChosenOne() {
        Session s;
        const std::string file = s.dir.WriteFile(
            "log.csv", "index,time_between_failures_hours\r\n1,3.5\r\n2,12\r\n3,7.25\r\n");
        PreviewDialog d(s, file);
        QVERIFY(d.OkEnabled());
        QCOMPARE(d.ColumnChoices(),
                 (QStringList{"Detect: 2 'time_between_failures_hours' (numbers)",
                              "1 'index' (numbers)", "2 'time_between_failures_hours' (numbers)"}));
        QCOMPARE(d.Highlighted(), QList<int>{1});
        QCOMPARE(d.Model()->rowCount(), 3);
        QCOMPARE(d.Model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("2 time_between_failures_hours"));
        QCOMPARE(d.Model()->index(2, 1).data().toString(), QStringLiteral("7.25"));
        QCOMPARE(d.Summary(), QStringLiteral("Delimiter: comma    Header line: yes    Decimal "
                                             "comma: no\nValues: 3, read as interfailure times"));
        QVERIFY(
            d.Message().contains("took column 2 ('time_between_failures_hours'), column 1 "
                                 "('index') is an index"));
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(d.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "NEW"), (std::vector<double>{3.5, 15.5, 22.75}));
    }

    void SeveralNumericColumnsWaitForAChoice() {
        Session s;
        PreviewDialog d(s, s.dir.WriteFile("t.tsv", "a\tb\tc\n5\t30\t1\n2\t70\t1\n9\t90\t4\n"));
        QVERIFY(!d.OkEnabled());
        QVERIFY2(d.Message().contains("Line 1: 3 columns could hold the failure times: 1 'a' "
                                      "(numbers), 2 'b' (numbers), 3 'c' (numbers)."),
                 qPrintable(d.Message()));
        QCOMPARE(d.Model()->rowCount(), 3);  // the rows to choose from
        QCOMPARE(d.Highlighted(), QList<int>{});
        d.Get<QComboBox>("cboColumn")->setCurrentIndex(2);
        QVERIFY(!d.OkEnabled());  // until the column chosen has been read
        QVERIFY(PreviewSettled(&d.dialog));
        QVERIFY(d.OkEnabled());
        QCOMPARE(d.Highlighted(), QList<int>{1});
        QCOMPARE(d.Get<QComboBox>("cboColumn")->currentText(), QStringLiteral("2 'b' (numbers)"));
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

    void ADecimalCommaIsReadOnceChecked() {
        Session s;
        PreviewDialog d(s, s.dir.WriteFile("c.txt", "time\n\"1,5\"\n\"2,25\"\n"));
        QVERIFY(!d.OkEnabled());
        QVERIFY2(d.Message().contains("Line 2: '1,5' holds a decimal comma."),
                 qPrintable(d.Message()));
        d.Get<QCheckBox>("chkDecimalComma")->setChecked(true);
        QVERIFY(PreviewSettled(&d.dialog));
        QVERIFY(d.OkEnabled());
        QVERIFY(d.Summary().contains("Decimal comma: yes"));
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(d.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "NEW"), (std::vector<double>{1.5, 2.25}));
    }

    void TimestampsNeedAnOriginAndBecomeCumulativeTimes() {
        Session s;
        const std::string file = s.dir.WriteFile(
            "bugs.csv",
            "id,opened\nB-7,2024-03-31 03:30\nB-2,2024-03-31 01:15\nB-9,2024-03-31T04:00+02:00\n");
        PreviewDialog d(s, file);
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
        // A local time the clocks skipped is refused with its line.
        s.dir.WriteFile("bugs.csv", "opened\n2024-03-31 02:30\n");
        d.Choose(s, file);
        QVERIFY(!d.OkEnabled());
        QVERIFY2(d.Message().contains("Line 2: '2024-03-31 02:30' never happened in Europe/Berlin"),
                 qPrintable(d.Message()));

        s.dir.WriteFile("bugs.csv", "opened\n2024-03-31 03:30\n2024-03-31 01:15\n");
        d.Choose(s, file);
        QVERIFY(d.OkEnabled());
        s.sink.QueueAnswer(MessageAnswer::No);
        QVERIFY(d.Import());
        QCOMPARE(StoredCumulativeTimes(s.Db(), "NEW"), (std::vector<double>{75, 150}));
        QVERIFY(s.sink.Texts().front().find("holds 2 failures") != std::string::npos);
    }
};

QTEST_MAIN(ImportPreviewTest)
#include "import_preview_test.moc"
