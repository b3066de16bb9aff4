#include <QAction>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTextDocumentFragment>
#include <QValueAxis>
#include <QXYSeries>
#include <QtTest>
#include <tuple>

#include "gui_test_support.h"
#include "plots/plot_range_dialog.h"
#include "plots/plot_window.h"
#include "plots/series_styles_dialog.h"
#include "shell/grid_selection_dialog.h"
#include "shell/main_window.h"
#include "tamsel/charts/chart_view.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/recalibrate.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;

namespace {

constexpr int kSys1Failures = 136;
constexpr int kRangeStart = 20;

// A main window over SYS1 with the Jelinski-Moranda and Duane models applied over the
// default range, and the first recalibrated from the Jelinski-Moranda set.
struct Session : guitest::Session {
    Session() {
        const int dataSetId = FindDataSetId(Db(), "SYS1").value_or(0);
        jmSet = ApplyModel(Db(), dataSetId, 1, 1, 1, RunControl()).estimatesSetId;
        ApplyModel(Db(), dataSetId, 2, 1, 1, RunControl());
        jmPredictions = ApplyRecalibration(Db(), jmSet, 1, RunControl()).predictionsSetId;
        SelectSet(jmSet, "Jelinski-Moranda");
    }

    // Runs the Plot menu item of kind; returns the plot window it made active.
    PlotWindow* ShowPlot(int kind) {
        Item(QStringLiteral("mnuPlotShowPlot_%1").arg(kind).toLatin1().constData())->trigger();
        return window->ActivePlotWindow();
    }

    int jmSet = 0;
    int jmPredictions = 0;
};

void AcceptRange(const QString& text) {
    WhenModal([text](QWidget* shown) {
        QVERIFY(qobject_cast<PlotRangeDialog*>(shown));
        shown->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(text);
        Click(shown, "Command1");
    });
}

void ChooseRow(int row) {
    static guitest::GridShown shown;
    guitest::AnswerGrid(shown, row, "Command1");
}

QXYSeries* Line(ChartView* chart, int group, int series) {
    return qobject_cast<QXYSeries*>(chart->SeriesAt({group, series}));
}

QStringList LabelTexts(ChartView* chart) {
    QStringList texts;
    for (QGraphicsSimpleTextItem* item : chart->TextLabels()) texts << item->text();
    return texts;
}

}  // namespace

class PlotWindowTest : public QObject {
    Q_OBJECT

  private slots:
    // Qt Charts reads titles and legend entries as rich text; ours are plain and show as such.
    void TitlesAndLegendShowTheirTextAsItIs() {
        ChartDescription description;
        description.header = "U-plots for dataset <A&B>";
        description.xAxis.title = "u < 1";
        ChartSeries series;
        series.label = "JM ks=0.302 p<0.001";
        series.points = {{0, 0}, {1, 1}};
        description.groups = {
            ChartGroup{ChartType::Line, DataLayout::SharedX, VerticalAxis::Y, {series}}};
        ChartView view;
        view.SetDescription(description);
        const auto shown = [](const QString& richText) {
            return QTextDocumentFragment::fromHtml(richText).toPlainText();
        };
        QCOMPARE(shown(view.chart()->title()), QStringLiteral("U-plots for dataset <A&B>"));
        QCOMPARE(shown(view.chart()->axes(Qt::Horizontal).front()->titleText()),
                 QStringLiteral("u < 1"));
        const QList<QLegendMarker*> markers = view.chart()->legend()->markers();
        QCOMPARE(markers.size(), 1);
        QCOMPARE(shown(markers.front()->label()), QStringLiteral("JM ks=0.302 p<0.001"));
    }

    // Fixed ends such as a 95 % quantile put their ticks at round numbers; ends whose even
    // ticks are round already (0 to 1 in quarters) keep them.
    void FixedEndsTickAtRoundNumbers() {
        ChartSeries series;
        series.points = {{0, 0}, {1, 1}};
        for (const auto& [high, dynamic, interval] :
             {std::tuple{14514.0, true, 2500.0}, std::tuple{1.0, false, 0.0}}) {
            ChartDescription description;
            description.xAxis.minimum = 0.0;
            description.xAxis.maximum = high;
            description.groups = {
                ChartGroup{ChartType::Line, DataLayout::SharedX, VerticalAxis::Y, {series}}};
            ChartView view;
            view.SetDescription(description);
            const auto* axis =
                qobject_cast<QValueAxis*>(view.chart()->axes(Qt::Horizontal).front());
            QVERIFY(axis);
            QCOMPARE(axis->max(), high);
            QCOMPARE(axis->tickType() == QValueAxis::TicksDynamic, dynamic);
            if (dynamic) QCOMPARE(axis->tickInterval(), interval);
        }
    }

    void UPlotsDrawTheDiagonalAndOfferRecalibratedSetsFromTheirStart() {
        Session s;
        AcceptRange(QStringLiteral("35"));
        PlotWindow* plot = s.ShowPlot(23);
        QVERIFY(plot);
        ChartView* chart = plot->Chart();
        // The diagonal, the two lines of the 5 % band, the u-plot of failures 35 to 135 and its
        // model's markers.
        QCOMPARE(chart->chart()->series().size(), 5);
        QCOMPARE(Line(chart, 0, 0)->points(), (QList<QPointF>{{0, 0}, {1, 1}}));
        QVERIFY(Line(chart, 1, 0)->name().startsWith(QStringLiteral("JM ks=")));
        QCOMPARE(Line(chart, 1, 0)->count(), kSys1Failures - 35);
        QCOMPARE(LabelTexts(chart),
                 (QStringList{QStringLiteral("Optimistic"), QStringLiteral("Pessimistic")}));
        QCOMPARE(plot->Type(), PlotType::MixedUPlots);
        QVERIFY(plot->findChild<QPushButton*>(QStringLiteral("CmdPlot_1"))->isVisibleTo(plot));

        // A range from before the first recalibrated prediction (35) offers raw sets only.
        AcceptRange(QStringLiteral("25"));
        PlotWindow* raw = s.ShowPlot(23);
        QVERIFY(raw && raw != plot);
        QCOMPARE(raw->Type(), PlotType::RawUPlots);
        QVERIFY(!raw->findChild<QPushButton*>(QStringLiteral("CmdPlot_1"))->isVisibleTo(raw));
        QCOMPARE(Line(raw->Chart(), 1, 0)->count(), kSys1Failures - 25);

        // The series styles: Cancel changes nothing, OK hides and highlights.
        WhenModal([](QWidget* shown) {
            auto* grid = qobject_cast<SeriesStylesDialog*>(shown)->Grid();
            QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("True"));
            emit grid->cellDoubleClicked(0, 1);
            Click(shown, "Command2");
        });
        Click(raw, "CmdEdit");
        QVERIFY(Line(raw->Chart(), 1, 0)->isVisible());

        WhenModal([](QWidget* shown) {
            auto* grid = qobject_cast<SeriesStylesDialog*>(shown)->Grid();
            emit grid->cellDoubleClicked(0, 1);
            emit grid->cellDoubleClicked(0, 2);
            Click(shown, "Command1");
        });
        Click(raw, "CmdEdit");
        QVERIFY(!Line(raw->Chart(), 1, 0)->isVisible());
        QVERIFY(raw->Chart()->IsHighlighted({1, 0}));
        QCOMPARE(Line(raw->Chart(), 1, 0)->pen().widthF(), 3.0);
    }

    void MediansPlotPlacesRecalibratedAndRawSetsAndItsRangeMovesOnlyTheAxis() {
        Session s;
        QVERIFY(s.Controller().SelectRecalibratedSet(s.jmPredictions));
        PlotWindow* plot = s.ShowPlot(13);
        QVERIFY(plot);
        QCOMPARE(plot->Type(), PlotType::RecalibratedMedians);
        ChartView* chart = plot->Chart();
        QCOMPARE(chart->AxisX()->min(), double(kRangeStart));
        QCOMPARE(Line(chart, 0, 0)->at(0).x(), double(kRangeStart + 15));
        QCOMPARE(Line(chart, 0, 0)->name(), QStringLiteral("JM#"));
        // A raw set goes to the second group, starting at the range start, in the colour of
        // its recalibrated twin.
        ChooseRow(0);
        Click(plot, "CmdPlot_0");
        QCOMPARE(Line(chart, 1, 0)->name(), QStringLiteral("JM"));
        QCOMPARE(Line(chart, 1, 0)->at(0).x(), double(kRangeStart));
        QCOMPARE(Line(chart, 0, 0)->color(), Line(chart, 1, 0)->color());

        // Edit Range moves only the axis minimum, clamped to the last failure but one.
        const QList<QPointF> points = Line(chart, 0, 0)->points();
        AcceptRange(QStringLiteral("500"));
        Click(plot, "CmdRange");
        QCOMPARE(chart->AxisX()->min(), double(kSys1Failures - 1));
        QCOMPARE(Line(chart, 0, 0)->points(), points);
    }

    void ChangingTheReferenceRelabelsAndKeepsTheCurves() {
        Session s;
        s.window->show();
        ChooseRow(1);  // Duane as the reference
        AcceptRange(QStringLiteral("40"));
        PlotWindow* plot = s.ShowPlot(30);
        QVERIFY(plot);
        ChartView* chart = plot->Chart();
        QCOMPARE(Line(chart, 0, 0)->name(), QStringLiteral("JM:Du"));
        QCOMPARE(Line(chart, 0, 0)->count(), kSys1Failures - 40);
        QCOMPARE(LabelTexts(chart), QStringList{QStringLiteral("next ref: Du")});
        const QList<QPointF> drawn = Line(chart, 0, 0)->points();
        ChooseRow(0);
        Click(plot, "CmdPlot_2");
        QCOMPARE(LabelTexts(chart), QStringList{QStringLiteral("next ref: JM")});
        QCOMPARE(Line(chart, 0, 0)->points(), drawn);
        QCOMPARE(Line(chart, 0, 0)->name(), QStringLiteral("JM:Du"));

        ChooseRow(1);
        Click(plot, "CmdPlot_0");
        QCOMPARE(Line(chart, 0, 1)->name(), QStringLiteral("Du:JM"));
    }

    // The value typed is clamped to the allowed starts; text that is not a number keeps it.
    void RangeDialogClampsAndKeepsTheValueOnText() {
        const struct {
            QString text;
            int expected;
        } entries[] = {{"3", 20}, {"500", 135}, {"60", 60}, {"abc", 35}};
        for (const auto& entry : entries) {
            PlotRangeDialog dialog;
            AcceptRange(entry.text);
            QCOMPARE(dialog.UpdateRange(35, 20, 135), std::optional<int>(entry.expected));
        }
    }

    // Recalibrated predictions begin 15 failures after the range start (20): on NTDS (26
    // failures) that is beyond the last allowed start.
    void RangeDialogExplainsWhereRawAndRecalibratedPlotsMix() {
        const QString rawOnly =
            "For a graph with raw predictions plots only, select any allowed value.\n";
        const struct {
            int dataNumber;
            bool recalibrated;
            QString explanation;
        } cases[] = {
            {kSys1Failures, false,
             rawOnly + "For a graph with raw and recalibrated predictions, select a value equal "
                       "to or higher than 35."},
            {26, false,
             rawOnly + "Raw and recalibrated predictions cannot be mixed on this dataset: that "
                       "needs a start of 35 or more, and the largest allowed start is 25."},
            {kSys1Failures, true, ""},
        };
        for (const auto& c : cases) {
            const std::optional<PlotStartBounds> bounds =
                PlotStartRange(PlotType::RawUPlots, kRangeStart, c.dataNumber, c.recalibrated);
            QVERIFY(bounds);
            QString shown;
            WhenModal([&shown](QWidget* dialog) {
                shown = dialog->findChild<QLabel*>(QStringLiteral("Label1"))->text();
                Click(dialog, "Command2");
            });
            PlotRangeDialog dialog;
            QVERIFY(!dialog.NewRange(*bounds, c.recalibrated, PlotType::RawUPlots));
            QCOMPARE(shown, c.explanation);
        }
    }

    void FailureTimesPlotChoosesItsSeriesAndSavesAsAGraph() {
        Session s;
        PlotWindow* plot = s.ShowPlot(0);
        QVERIFY(plot);
        ChartView* chart = plot->Chart();
        QVERIFY(Line(chart, 0, 0)->isVisible());
        QVERIFY(!Line(chart, 1, 0)->isVisible());
        QVERIFY(!chart->AxisY2()->isVisible());
        QCOMPARE(Line(chart, 0, 0)->count(), kSys1Failures);
        plot->findChild<QRadioButton*>(QStringLiteral("OptionFT_2"))->click();
        QVERIFY(Line(chart, 1, 0)->isVisible());
        QVERIFY(chart->AxisY2()->isVisible());

        // Save Graph writes the window's chart.
        const QString jpeg = QString::fromStdString((s.dir.Path() / "chart.jpg").string());
        s.desktop.QueueFileName(jpeg);
        s.Item("mnuFileSaveGraph")->trigger();
        QCOMPARE(QImage(jpeg).size(), chart->size());
    }
};

QTEST_MAIN(PlotWindowTest)
#include "plot_window_test.moc"
