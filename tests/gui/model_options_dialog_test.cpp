#include <QCheckBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>
#include <sstream>

#include "gui_test_support.h"
#include "shell/model_options_dialog.h"
#include "tamsel/import/add_data_set.h"
#include "tamsel/store/queries.h"
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

class ModelOptionsTest : public QObject {
    Q_OBJECT

  private slots:
    void OpensWithTheModelTabAndNoModelChosen() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select and apply model to dataset SYS1"));
        // Each tab as "caption (tool tip): frame"; only the Model tab can be used.
        auto* tabs = dialog.findChild<QTabWidget*>("tbsOptions");
        QStringList listed;
        for (int i = 0; i < tabs->count(); ++i) {
            const auto* frame =
                tabs->widget(i)->findChild<QGroupBox*>(QStringLiteral("fraSample%1").arg(i + 1));
            listed.append(QStringLiteral("%1 (%2): %3")
                              .arg(tabs->tabText(i), tabs->tabToolTip(i), frame->title()));
            QCOMPARE(tabs->widget(i)->isEnabled(), i == 0);
        }
        QCOMPARE(listed, (QStringList{"Model (Set model): Model options",
                                      "Range (Set the failures fitted): Range options",
                                      "(Inference) (Not yet available): Inference method",
                                      "(Parameters) (Not yet available): Parameter settings"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QStringList models;
        for (int i = 0; i < 8; ++i) {
            models.append(Option(&dialog, i)->text());
            QVERIFY(!Option(&dialog, i)->isChecked());
        }
        QCOMPARE(models, (QStringList{"Jelinski-Moranda", "Duane", "Musa-Okumoto", "Goel-Okumoto",
                                      "Littlewood", "Littlewood NHPP", "Littlewood-Verrall",
                                      "Keiller-Littlewood"}));
        dialog.show();
        QVERIFY(!dialog.findChild<QProgressBar*>("prgProcessModel")->isVisible());
        QVERIFY(!dialog.findChild<QPushButton*>("prgCancel")->isVisible());
    }

    void CtrlTabCyclesThroughTheTabs() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* tabs = dialog.findChild<QTabWidget*>("tbsOptions");
        for (int expected : {1, 2, 3, 0}) {
            QTest::keyClick(&dialog, Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(tabs->currentIndex(), expected);
            for (int i = 0; i < 4; ++i) QCOMPARE(tabs->widget(i)->isEnabled(), i == expected);
        }
    }

    void RefusesToRunWithoutAChoice() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        bool stayedOpen = false;
        WhenModal([&](QWidget* shown) {
            Click(shown, "cmdOK");
            Click(shown, "cmdApply");
            stayedOpen = shown->isVisible();
            Click(shown, "cmdCancel");
        });
        dialog.exec();
        QCOMPARE(s.sink.Texts(),
                 (std::vector<std::string>{"You must select an option or press cancel",
                                           "You must select an option or press cancel"}));
        QVERIFY(stayedOpen);
        QCOMPARE(s.Sets(), 0);
    }

    void ApplyRunsWithAMovingProgressBarAndStaysOpen() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        auto* bar = dialog.findChild<QProgressBar*>("prgProcessModel");
        QSignalSpy steps(bar, &QProgressBar::valueChanged);
        QSignalSpy finished(&dialog, &ModelOptionsDialog::runFinished);
        dialog.show();
        Option(&dialog, 1)->setChecked(true);  // Duane
        Click(&dialog, "cmdApply");
        QVERIFY(dialog.IsRunning());
        QVERIFY(!dialog.findChild<QPushButton*>("cmdApply")->isEnabled());
        QVERIFY(finished.wait(60000));
        QVERIFY(dialog.isVisible());
        QVERIFY(!bar->isVisible());
        QVERIFY(dialog.findChild<QPushButton*>("cmdOK")->isEnabled());
        QCOMPARE(bar->minimum(), 20);
        QCOMPARE(bar->maximum(), 136);
        // One step per failure index, in order.
        QList<int> values;
        for (const QList<QVariant>& step : steps) values.append(step.at(0).toInt());
        QList<int> expected;
        for (int i = 20; i <= 136; ++i) expected.append(i);
        QCOMPARE(values, expected);
        QCOMPARE(s.Sets(), 1);
        QCOMPARE(s.Rows(), 117);
        QVERIFY(s.sink.Texts().empty());
        QCOMPARE(dialog.FitSummary(), QStringLiteral("Duane: 117 fits: 117 converged"));

        // The applied model can no longer be chosen.
        QVERIFY(!Option(&dialog, 1)->isEnabled());
        QCOMPARE(Option(&dialog, 1)->text(), QStringLiteral("Duane (applied)"));
    }

    void OkRunsAndCloses() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        WhenModal([](QWidget* shown) {
            Option(shown, 0)->setChecked(true);  // Jelinski-Moranda
            Click(shown, "cmdOK");
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(s.Sets(), 1);
        const int dataSetId = FindDataSetId(s.Db(), "SYS1").value_or(0);
        QVERIFY(FindEstimatesSet(s.Db(), dataSetId, 1, 1, 1) != 0);
    }

    // Cancel processing stops the run and keeps the dialog; closing the dialog stops the run
    // and the dialog. Either way nothing is stored.
    void StoppingARunStoresNothing_data() {
        QTest::addColumn<bool>("closeDialog");
        QTest::newRow("cancel processing") << false;
        QTest::newRow("close the dialog") << true;
    }

    void StoppingARunStoresNothing() {
        QFETCH(bool, closeDialog);
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
        WhenModal([](QWidget* shown) {
            Option(shown, 0)->setChecked(true);
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

    void TooFewFailuresForTheRangeRunsNothing() {
        Session s;
        s.AddDataSet("SHORT", 10);
        s.sink.Clear();  // the import's note on a short dataset
        ModelOptionsDialog dialog(s.Db(), "SHORT");
        auto* bar = dialog.findChild<QProgressBar*>("prgProcessModel");
        QSignalSpy steps(bar, &QProgressBar::valueChanged);
        QSignalSpy finished(&dialog, &ModelOptionsDialog::runFinished);
        dialog.show();
        Option(&dialog, 0)->setChecked(true);
        Click(&dialog, "cmdApply");
        QVERIFY(finished.wait(60000));
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{"The Jelinski-Moranda model cannot be applied: the data "
                                          "set has 10 failures, fewer than the start of the "
                                          "range (failure 20)."});
        QCOMPARE(steps.count(), 0);
        QCOMPARE(s.Sets(), 0);
        QVERIFY(dialog.isVisible());
    }
};

QTEST_MAIN(ModelOptionsTest)
#include "model_options_dialog_test.moc"
