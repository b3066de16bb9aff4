#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "gui_test_support.h"
#include "recalibration/recalibration_dialog.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/apply_model.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;

namespace {

// SYS1 with the Jelinski-Moranda model applied over the default range.
struct Session {
    Session()
        : db(guitest::MakeDatabase(dir.Path().string(), {{"SYS1", "sys1.txt"}}),
             Database::OpenMode::ExistingFile) {
        const int dataSetId = FindDataSetId(db, "SYS1").value_or(0);
        estimatesSet = ApplyModel(db, dataSetId, 1, 1, 1, RunControl()).estimatesSetId;
    }

    test::TempDir dir;
    test::RecordingSink sink;
    Database db;
    int estimatesSet = 0;
};

bool WaitForRun(RecalibrationDialog& form) {
    QSignalSpy finished(&form, &RecalibrationDialog::runFinished);
    return finished.wait(60000);
}

}  // namespace

class RecalibrationDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void ApplyStoresOneSetAndRefusesThePairAgain() {
        Session s;
        RecalibrationDialog form(s.db, "SYS1");
        QCOMPARE(form.EstimatesGrid()->model()->rowCount(), 1);
        form.ApplyRecalibration(false);
        QVERIFY(WaitForRun(form));
        QCOMPARE(guitest::CountRows(s.db, "PredictionsSets"), 1);
        // Failures 35 to 135 are recalibrated.
        QCOMPARE(guitest::CountRows(s.db, "Predictions"), 101);
        QCOMPARE(s.sink.Count(), size_t(0));

        form.ApplyRecalibration(false);
        QVERIFY(WaitForRun(form));
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{"This recalibration is already available for the current "
                                          "dataset"});
        QCOMPARE(guitest::CountRows(s.db, "PredictionsSets"), 1);
    }

    void ClosingDuringTheRunStoresNothing() {
        // A set of some 3,000 predictions takes long enough to recalibrate that the run is
        // still going when the dialog is closed, however fast the machine.
        test::TempDir dir;
        test::RecordingSink sink;
        std::string values;
        for (int k = 1; k <= 3000; ++k) values += std::to_string(1 + (k * 7919) % 1000) + "\n";
        const std::string file = dir.WriteFile("long.txt", values);
        Database db(guitest::MakeDatabase(dir.Path().string(), {{"LONG", file}}),
                    Database::OpenMode::ExistingFile);
        const int dataSetId = FindDataSetId(db, "LONG").value_or(0);
        QVERIFY(ApplyModel(db, dataSetId, 2, 1, 1, RunControl()).estimatesSetId > 0);
        RecalibrationDialog form(db, "LONG");
        QSignalSpy finished(&form, &RecalibrationDialog::runFinished);
        form.ApplyRecalibration(false);
        QVERIFY(form.IsRunning());
        form.reject();
        QVERIFY(finished.wait(60000));
        QCOMPARE(guitest::CountRows(db, "PredictionsSets"), 0);
        QCOMPARE(guitest::CountRows(db, "Predictions"), 0);
        QCOMPARE(sink.Texts(),
                 std::vector<std::string>{"The recalibration was cancelled by user action"});
    }

    void NoEstimatesSetShowsTheMessageOnly() {
        test::TempDir dir;
        test::RecordingSink sink;
        Database db(guitest::MakeDatabase(dir.Path().string(), {{"SYS1", "sys1.txt"}}),
                    Database::OpenMode::ExistingFile);
        RecalibrationDialog form(db, "SYS1");
        form.ShowRecalibration();
        QCOMPARE(sink.Texts(), std::vector<std::string>{
                                   "There are no estimates calculated for the current dataset.\r\n"
                                   "Please, apply a model first."});
    }
};

QTEST_MAIN(RecalibrationDialogTest)
#include "recalibration_dialog_test.moc"
