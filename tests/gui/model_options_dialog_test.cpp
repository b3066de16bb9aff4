#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>
#include <sstream>

#include "gui_test_support.h"
#include "recalibration/recalibration_dialog.h"
#include "shell/model_options_dialog.h"
#include "tamsel/import/add_data_set.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/apply_model.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;

namespace {

struct Session : guitest::Session {
    Session() { Controller().OpenCurrentDataSet("SYS1"); }
    int Sets() { return guitest::CountRows(Db(), "EstimatesSets"); }
    int Rows() { return guitest::CountRows(Db(), "Estimates"); }
    // Adds a dataset of count failures with slowly growing interfailure times.
    void AddDataSet(const std::string& name, int count) {
        std::ostringstream text;
        for (int i = 1; i <= count; ++i) text << (10 + i % 7 + i / 5) << '\n';
        AddDataSetRequest request;
        request.name = name;
        request.fileName = dir.WriteFile(name + ".txt", text.str());
        QVERIFY(AddDataSetFromFile(Db(), request).has_value());
    }
};

QCheckBox* Option(QWidget* dialog, int index) {
    return dialog->findChild<QCheckBox*>(QStringLiteral("Option1_%1").arg(index));
}

}  // namespace

// The dialogs that run fits and recalibrations on a worker thread.
class RunDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    // OK and Apply insist on a model; OK runs the one chosen and closes.
    void OkRefusesToRunWithoutAChoiceThenRunsAndCloses() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        bool stayedOpen = false;
        WhenModal([&](QWidget* shown) {
            Click(shown, "cmdOK");
            Click(shown, "cmdApply");
            stayedOpen = shown->isVisible();
            Option(shown, 0)->setChecked(true);  // Jelinski-Moranda
            Click(shown, "cmdOK");
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(s.sink.Texts(),
                 (std::vector<std::string>{"You must select an option or press cancel",
                                           "You must select an option or press cancel"}));
        QVERIFY(stayedOpen);
        const int dataSetId = FindDataSetId(s.Db(), "SYS1").value_or(0);
        QVERIFY(FindEstimatesSet(s.Db(), dataSetId, 1, 1, 1) != 0);
        QCOMPARE(s.Sets(), 1);
    }

    // Cancel processing stops the run and keeps the dialog; closing the dialog stops the run
    // and the dialog. Either way nothing is stored.
    void StoppingARunStoresNothing() {
        for (const bool closeDialog : {false, true}) {
            Session s;
            s.AddDataSet("LONG", 5000);
            ModelOptionsDialog dialog(s.Db(), "LONG");
            auto* bar = dialog.findChild<QProgressBar*>("prgProcessModel");
            // Stops as soon as the run reports its first step.
            connect(bar, &QProgressBar::valueChanged, &dialog, [&dialog, closeDialog](int value) {
                if (value <= 20) return;
                if (closeDialog) {
                    dialog.close();
                } else {
                    Click(&dialog, "prgCancel");
                }
            });
            // Littlewood-Verrall: a run long enough that the cancel always lands inside it
            // (Jelinski-Moranda's can end and store before the first step is shown).
            WhenModal([](QWidget* shown) {
                Option(shown, 6)->setChecked(true);
                Click(shown, "cmdApply");
            });
            if (!closeDialog) {
                // Cancel processing leaves the dialog open: it is closed once the run has ended.
                connect(&dialog, &ModelOptionsDialog::runFinished, &dialog, [&dialog] {
                    QVERIFY(dialog.isVisible());
                    QVERIFY(dialog.findChild<QPushButton*>("cmdApply")->isEnabled());
                    dialog.reject();
                });
            }
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
            QVERIFY(!dialog.IsRunning());
            QVERIFY(bar->value() < 5000);
            QCOMPARE(s.sink.Texts(),
                     std::vector<std::string>{"The calculation was cancelled by user action"});
            QCOMPARE(s.Sets(), 0);
            QCOMPARE(s.Rows(), 0);
        }
    }

    void RecalibrationStoresASet() {
        Session s;
        ApplyModel(s.Db(), FindDataSetId(s.Db(), "SYS1").value_or(0), 1, 1, 1, RunControl());
        RecalibrationDialog filled(s.Db(), "SYS1");
        QCOMPARE(filled.EstimatesGrid()->model()->rowCount(), 1);
        QSignalSpy finished(&filled, &RecalibrationDialog::runFinished);
        filled.ApplyRecalibration(false);
        QVERIFY(finished.wait(60000));
        QCOMPARE(guitest::CountRows(s.Db(), "PredictionsSets"), 1);
        // Failures 35 to 135 are recalibrated.
        QCOMPARE(guitest::CountRows(s.Db(), "Predictions"), 101);
        QVERIFY(s.sink.Texts().empty());
    }

    // A set of some 3,000 predictions takes long enough to recalibrate that the run is still
    // going when the dialog is closed, however fast the machine.
    void ClosingTheRecalibrationDuringTheRunStoresNothing() {
        Session s;
        s.AddDataSet("LONG", 3000);
        s.sink.Clear();
        const int dataSetId = FindDataSetId(s.Db(), "LONG").value_or(0);
        QVERIFY(ApplyModel(s.Db(), dataSetId, 2, 1, 1, RunControl()).estimatesSetId > 0);
        RecalibrationDialog form(s.Db(), "LONG");
        QSignalSpy finished(&form, &RecalibrationDialog::runFinished);
        form.ApplyRecalibration(false);
        QVERIFY(form.IsRunning());
        form.reject();
        QVERIFY(finished.wait(60000));
        QCOMPARE(guitest::CountRows(s.Db(), "PredictionsSets"), 0);
        QCOMPARE(guitest::CountRows(s.Db(), "Predictions"), 0);
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{"The recalibration was cancelled by user action"});
    }
};

QTEST_MAIN(RunDialogsTest)
#include "model_options_dialog_test.moc"
