#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

#include "gui_test_support.h"
#include "predictions/forecast_dialog.h"
#include "shell/row_set_model.h"
#include "tables/next_failure_dialog.h"
#include "tamsel/charts/chart_view.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/next_failure.h"
#include "tamsel/workbench/recalibrate.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;

namespace {

// SYS1 with a Duane set from failure 20 and its recalibration, the raw set current.
struct Session : guitest::Session {
    Session() {
        const int dataSet = FindDataSetId(Db(), "SYS1").value();
        const int range = FindOrCreateRange(Db(), 1, 20, std::nullopt);
        rawSet = ApplyModel(Db(), dataSet, 2, range, 1, RunControl()).estimatesSetId;
        recalibratedSet = ApplyRecalibration(Db(), rawSet, 1, RunControl()).predictionsSetId;
        SelectSet(rawSet, "Duane");
    }

    int rawSet = 0;
    int recalibratedSet = 0;
};

void Type(QWidget* dialog, const char* field, const QString& text) {
    dialog->findChild<QLineEdit*>(QString::fromLatin1(field))->setText(text);
}

}  // namespace

class PredictionWindowsTest : public QObject {
    Q_OBJECT

  private slots:
    void ForecastFollowsIndexMissionAndTargetAsTheyChange() {
        Session s;
        ForecastDialog dialog(s.Db(), LoadForecastBasis(s.Db(), {s.rawSet, false}, {}).value());
        Type(&dialog, "txtMission", QStringLiteral("500"));
        dialog.findChild<QComboBox*>(QStringLiteral("cboTarget"))->setCurrentIndex(2);
        Type(&dialog, "txtTarget", QStringLiteral("4000"));
        dialog.findChild<QSpinBox*>(QStringLiteral("spnIndex"))->setValue(90);
        const RowSet expected =
            ForecastTable(DescribeForecast(LoadForecastBasis(s.Db(), {s.rawSet, false}, 90).value(),
                                           {500.0, std::nullopt, 4000.0}));
        QVERIFY(dialog.Lines().Rows().rows == expected.rows);
        const ChartDescription& chart = dialog.Chart().Description();
        QCOMPARE(chart.groups.at(0).series.size(), std::size_t{2});  // R(t) and the mission
        QCOMPARE(chart.groups[0].series[1].points.front().x, 500.0);

        // Text that is not a number or a refused value is said beside the fields, and the
        // forecast shown stays.
        const struct {
            const char* field;
            QString text, problem, restore;
        } refusals[] = {
            {"txtMission", "abc", "Type a number for the mission time.", "500"},
            {"txtMission", "-1", "The mission time must be a finite number above 0.", "500"},
            {"txtTarget", "0", "The target MTTF must be a finite number above 0.", "4000"},
        };
        for (const auto& refusal : refusals) {
            Type(&dialog, refusal.field, refusal.text);
            QCOMPARE(dialog.Problem(), refusal.problem);
            QVERIFY(dialog.Lines().Rows().rows == expected.rows);
            Type(&dialog, refusal.field, refusal.restore);
        }
        QVERIFY(dialog.Problem().isEmpty());
        QVERIFY(s.sink.Texts().empty());
    }

    void MenuOpensForecastAndNextFailureForRecalibratedSets() {
        Session s;
        QVERIFY(s.Controller().SelectRecalibratedSet(s.recalibratedSet));
        QVERIFY(s.Item("mnuPredictionsForecast")->isEnabled());
        QStringList titles;
        WhenModal([&titles](QWidget* shown) {
            titles.append(shown->windowTitle());
            Click(shown, "cmdClose");
        });
        s.Item("mnuPredictionsForecast")->trigger();
        double u = -1;
        WhenModal([&](QWidget* shown) {
            titles.append(shown->windowTitle());
            shown->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("700"));
            Click(shown, "Command1");
            auto* form = static_cast<NextFailureDialog*>(shown);
            u = form->ValueLabel(1)->text().toDouble();
            // Text that is not a number and a refused time leave the results on screen.
            for (const char* text : {"abc", "-1"}) {
                form->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(text);
                Click(shown, "Command1");
                QCOMPARE(form->ValueLabel(0)->text(), QStringLiteral("700"));
            }
            Click(shown, "Command2");
        });
        s.Item("mnuPredictionsNextFailure")->trigger();
        QCOMPARE(guitest::ModalTimeouts(), 0);
        QCOMPARE(titles,
                 (QStringList{QStringLiteral("Forecast - set p%1 (Du#)").arg(s.recalibratedSet),
                              "Time to next failure predictions"}));
        const ForecastBasis basis =
            LoadForecastBasis(s.Db(), {s.recalibratedSet, true}, std::nullopt).value();
        QVERIFY(test::IsClose(u, PredictRecalibratedNextFailure(basis, 700).value().u, 1e-13));
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{
                     "The time to the next failure must be a finite number of 0 or more."});
    }
};

QTEST_MAIN(PredictionWindowsTest)
#include "forecast_dialog_test.moc"
