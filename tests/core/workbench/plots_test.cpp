#include "tamsel/workbench/plots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "project_fixture.h"
#include "tamsel/measures/measures.h"
#include "tamsel/measures/model_styles.h"

namespace tamsel {
namespace {

constexpr int kJM = 1;
constexpr int kGO = 4;

// A dataset of 40 failures (x(i) = i) with two raw sets over 20..40 and a recalibrated set of
// the first over 35..39.
class PlotsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<double> times;
        for (int i = 1; i <= 40; ++i) times.push_back(i);
        m_dataSet = m_project.AddDataSet("DS", times);
        // The last row predicts an unobserved failure: Cdf and Pdf 0.
        auto rawRows = [](double density) {
            auto rows = test::RowSpecs(
                20, 39, [](int i) { return (i - 19) / 21.0; },
                [density](int i) { return density / i; });
            rows.push_back({40, 0.0, 0.0, 400.0});
            return rows;
        };
        m_jm = m_project.AddEstimatesSet(m_dataSet, kJM, 20, rawRows(1.0));
        m_go = m_project.AddEstimatesSet(m_dataSet, kGO, 20, rawRows(2.0));
        m_recalibrated = m_project.AddPredictionsSet(
            m_jm, test::RowSpecs(
                      35, 39, [](int i) { return (i - 34) / 6.0; }, [](int i) { return 0.5 / i; }));
    }

    CurrentSelection Raw() const { return test::SelectionOf("DS", m_jm, 20, 40); }
    CurrentSelection Recalibrated() const {
        return test::SelectionOf("DS", m_jm, 20, 40, m_recalibrated);
    }
    Database& Db() { return m_project.Db(); }

    test::ProjectFile m_project;
    test::RecordingSink m_sink;
    int m_dataSet = 0;
    int m_jm = 0;
    int m_go = 0;
    int m_recalibrated = 0;
};

std::vector<double> Xs(const ChartSeries& series) {
    std::vector<double> xs;
    for (const ChartPoint& point : series.points) xs.push_back(point.x);
    return xs;
}

std::vector<double> Ys(const ChartSeries& series) {
    std::vector<double> ys;
    for (const ChartPoint& point : series.points) ys.push_back(point.y);
    return ys;
}

TEST_F(PlotsTest, RawUPlotLeavesOutTheUnobservedLastRow) {
    std::optional<Plot> plot = PlotUPlots(Db(), Raw(), 34);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->caption, "PLOT: DS - U-plots - Raw plots - Range:34->end");
    EXPECT_EQ(plot->state.plotType, PlotType::RawUPlots);
    EXPECT_EQ(plot->state.rangeLag, 14);
    EXPECT_EQ(plot->state.rangeStart, 20);
    EXPECT_EQ(plot->state.estimatesSetId, m_jm);
    EXPECT_EQ(plot->state.dataSet, "DS");

    const ChartDescription& chart = plot->chart;
    EXPECT_EQ(chart.header, "U-plots for dataset DS");
    EXPECT_EQ(chart.xAxis.title, "u values");
    EXPECT_EQ(chart.yAxis.title, "Probability");
    EXPECT_EQ(chart.styleSet, kMeasureStyles);
    ASSERT_EQ(chart.groups.size(), 2u);
    // The diagonal, then the 5 % band of the six u-values: +-0.519262 (n = 6), dashed.
    ASSERT_EQ(chart.groups[0].series.size(), 3u);
    EXPECT_EQ(chart.groups[0].series[0].points, (std::vector<ChartPoint>{{0.0, 0.0}, {1.0, 1.0}}));
    EXPECT_EQ(chart.groups[0].series[0].style.pattern, LinePattern::Dotted);
    const double band = 0.519262;
    const std::vector<ChartPoint> upper = chart.groups[0].series[1].points;
    const std::vector<ChartPoint> lower = chart.groups[0].series[2].points;
    ASSERT_EQ(upper.size(), 2u);
    ASSERT_EQ(lower.size(), 2u);
    for (const auto& [actual, expected] : {std::pair{upper[0], ChartPoint{0.0, band}},
                                           {upper[1], ChartPoint{1.0 - band, 1.0}},
                                           {lower[0], ChartPoint{band, 0.0}},
                                           {lower[1], ChartPoint{1.0, 1.0 - band}}}) {
        EXPECT_CLOSE_ABS(actual.x, expected.x, 1e-6);
        EXPECT_CLOSE_ABS(actual.y, expected.y, 1e-6);
    }
    for (std::size_t k = 1; k < 3; ++k) {
        EXPECT_EQ(chart.groups[0].series[k].style.pattern, LinePattern::Dashed);
        EXPECT_EQ(chart.groups[0].series[k].label, "");
    }
    EXPECT_EQ(chart.groups[1].layout, DataLayout::PerSeriesX);
    ASSERT_EQ(chart.groups[1].series.size(), 1u);
    const ChartSeries& series = chart.groups[1].series[0];
    // Rows 34..39: u = 15/21 .. 20/21 at positions 1/7 .. 6/7; D = 15/21 at the first point.
    ASSERT_EQ(series.points.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_CLOSE(series.points[k].x, (15.0 + k) / 21, 1e-15);
        EXPECT_CLOSE(series.points[k].y, (k + 1) / 7.0, 1e-15);
    }
    // D_6 of the same values is 15/21 too: P(D_6 >= 15/21) = 0.00129.
    EXPECT_EQ(series.label, "JM ks=0.714 p=0.001");
    EXPECT_EQ(series.style.colour, FindModelStyle("JM")->colour);

    ASSERT_EQ(chart.labels.size(), 2u);
    EXPECT_EQ(chart.labels[0].text, "Optimistic");
    EXPECT_EQ(chart.labels[0].x, 0.2);
    EXPECT_EQ(chart.labels[0].y, 0.8);
    EXPECT_EQ(chart.labels[1].text, "Pessimistic");
    EXPECT_EQ(chart.labels[1].x, 0.8);
    EXPECT_EQ(chart.labels[1].y, 0.2);
    for (const ChartLabel& label : chart.labels) {
        EXPECT_EQ(label.attachment, LabelAttachment::DataPoint);
        EXPECT_EQ(label.background, std::optional<Rgb>(Rgb{255, 255, 192}));
    }
}

TEST_F(PlotsTest, RecalibratedUPlotUsesAllItsRows) {
    std::optional<Plot> plot = PlotUPlots(Db(), Recalibrated(), 35);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->caption, "PLOT: DS - U-plots - Mixed plots - Range:35->end");
    EXPECT_EQ(plot->state.plotType, PlotType::MixedUPlots);
    const ChartSeries& series = plot->chart.groups[1].series[0];
    EXPECT_EQ(Xs(series), (std::vector<double>{1.0 / 6, 2.0 / 6, 3.0 / 6, 4.0 / 6, 5.0 / 6}));
    // D_5 = 1/6 lies in (1/10, 1/5]: P(D_5 < 1/6) = 5! (2/6 - 1/5)^5 = 0.00506.
    EXPECT_EQ(series.label, "JM# ks=0.167 p=0.995");
}

TEST_F(PlotsTest, YPlotOfTheLastObservedRows) {
    std::optional<Plot> plot = PlotYPlots(Db(), Raw(), 38);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->caption, "PLOT: DS - Y-plots - Mixed plots - Range:38->end");
    EXPECT_EQ(plot->state.plotType, PlotType::MixedYPlots);
    EXPECT_EQ(plot->chart.header, "Y-plots for dataset DS");
    EXPECT_EQ(plot->chart.xAxis.title, "y values");
    EXPECT_TRUE(plot->chart.labels.empty());
    // Rows 38 and 39: u = 19/21 and 20/21, so x = ln(21/2) and ln(21).
    const ChartSeries& series = plot->chart.groups[1].series[0];
    ASSERT_EQ(series.points.size(), 2u);
    const double first = std::log(10.5);
    EXPECT_CLOSE(series.points[0].x, first / (first + std::log(21.0)), 1e-14);
    EXPECT_EQ(series.points[1].x, 1.0);
    EXPECT_EQ(Ys(series), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(plot->state.PlotStart(), 38);
    // Only y(1) = 0.4358 is tested: D_1 = 0.5642, P(D_1 >= d) = 2 (1 - d) = 0.8715; the band
    // of one point is 0.975 wide.
    EXPECT_EQ(series.label, "JM ks=0.500 p=0.872");
    ASSERT_EQ(plot->chart.groups[0].series.size(), 3u);
    EXPECT_CLOSE_ABS(plot->chart.groups[0].series[1].points[0].y, 0.975, 1e-9);
}

TEST_F(PlotsTest, RecalibratedYPlotsNeedAPlotStartFifteenAfterTheRangeStart) {
    EXPECT_FALSE(PlotYPlots(Db(), Recalibrated(), 34).has_value());
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{
                  "an error occurred calling a recalibrated y-plot with a premature plot start"});

    m_sink.Clear();
    std::optional<Plot> raw = PlotYPlots(Db(), Raw(), 34);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->state.plotType, PlotType::RawYPlots);
    EXPECT_FALSE(AddYPlotSeries(Db(), *raw, {m_recalibrated, true}));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{
                  "an error occurred plotting a recalibrated set with a premature plot start"});
    // "Add recalibrated plot" is not offered in a raw window: nothing happens.
    m_sink.Clear();
    EXPECT_FALSE(AddSetToPlot(Db(), *raw, {m_recalibrated, true}));
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(raw->chart.groups[1].series.size(), 1u);

    EXPECT_TRUE(AddSetToPlot(Db(), *raw, {m_go, false}));
    ASSERT_EQ(raw->chart.groups[1].series.size(), 2u);
    EXPECT_EQ(raw->chart.groups[1].series[1].label.substr(0, 6), "GO ks=");
    EXPECT_EQ(raw->chart.groups[1].series[1].style.colour, FindModelStyle("GO")->colour);

    std::optional<Plot> mixed = PlotYPlots(Db(), Raw(), 35);
    ASSERT_TRUE(mixed.has_value());
    EXPECT_TRUE(AddSetToPlot(Db(), *mixed, {m_recalibrated, true}));
    EXPECT_EQ(mixed->chart.groups[1].series[1].points.size(), 5u);
}

TEST_F(PlotsTest, AddedUPlotUsesTheWindowsPlotStart) {
    std::optional<Plot> plot = PlotUPlots(Db(), Raw(), 36);
    ASSERT_TRUE(plot.has_value());
    EXPECT_TRUE(AddUPlotSeries(Db(), *plot, {m_recalibrated, true}));
    // The recalibrated set from 36 on: 2/6 .. 5/6.
    EXPECT_EQ(Xs(plot->chart.groups[1].series[1]),
              (std::vector<double>{2.0 / 6, 3.0 / 6, 4.0 / 6, 5.0 / 6}));
    // Sets go only into windows of their kind.
    EXPECT_FALSE(AddYPlotSeries(Db(), *plot, {m_go, false}));
    EXPECT_FALSE(AddMedianSeries(Db(), *plot, {m_go, false}));
    EXPECT_FALSE(AddPlrSeries(Db(), *plot, {m_go, false}));
    EXPECT_EQ(plot->chart.groups[1].series.size(), 2u);
}

TEST_F(PlotsTest, LogPlrAgainstAReferenceByFailureIndex) {
    std::optional<Plot> plot = PlotLogPlr(Db(), Raw(), {m_go, false}, 35);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->caption, "PLOT: DS - Prequential likelihood ratios");
    EXPECT_EQ(plot->chart.header, "log(PLR)-plots for dataset DS");
    EXPECT_EQ(plot->chart.xAxis.title, "Failure index");
    EXPECT_EQ(plot->chart.yAxis.title, "log ( PLR )");
    EXPECT_EQ(plot->chart.styleSet, kLogPlrStyles);
    EXPECT_EQ(plot->state.plotType, PlotType::LogPlr);
    EXPECT_EQ(plot->state.rangeLag, 15);
    EXPECT_EQ(plot->state.referenceSetId, m_go);
    EXPECT_FALSE(plot->state.refRecFlag);

    ASSERT_EQ(plot->chart.groups.size(), 1u);
    const ChartSeries& series = plot->chart.groups[0].series[0];
    EXPECT_EQ(series.label, "JM:GO");
    // Densities 1/i against 2/i: each observation adds ln(1/2).
    EXPECT_EQ(Xs(series), (std::vector<double>{35, 36, 37, 38, 39}));
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_CLOSE(series.points[k].y, -(k + 1.0) * std::log(2.0), 1e-13);
    }
    ASSERT_EQ(plot->chart.labels.size(), 1u);
    EXPECT_EQ(plot->chart.labels[0].text, "next ref: GO");
    EXPECT_EQ(plot->chart.labels[0].attachment, LabelAttachment::BelowLegend);
    EXPECT_EQ(plot->chart.labels[0].legendGap, 15);

    EXPECT_TRUE(AddPlrSeries(Db(), *plot, {m_recalibrated, true}));
    const ChartSeries& added = plot->chart.groups[0].series[1];
    EXPECT_EQ(added.label, "JM#:GO");
    EXPECT_CLOSE(added.points.back().y, 5 * std::log(0.25), 1e-13);
    EXPECT_EQ(added.style.colour, FindModelStyle("JM")->colour);
    EXPECT_EQ(added.style.pattern, LinePattern::Dashed);
}

TEST_F(PlotsTest, ChangingTheReferenceLeavesDrawnCurves) {
    std::optional<Plot> plot = PlotLogPlr(Db(), Raw(), {m_go, false}, 35);
    ASSERT_TRUE(plot.has_value());
    const std::vector<ChartPoint> before = plot->chart.groups[0].series[0].points;
    EXPECT_TRUE(ChangeNextReference(Db(), *plot, {m_recalibrated, true}));
    EXPECT_EQ(plot->chart.labels[0].text, "next ref: JM#");
    EXPECT_EQ(plot->state.referenceSetId, m_recalibrated);
    EXPECT_TRUE(plot->state.refRecFlag);
    EXPECT_EQ(plot->chart.groups[0].series[0].points, before);

    EXPECT_TRUE(AddSetToPlot(Db(), *plot, {m_go, false}));
    const ChartSeries& added = plot->chart.groups[0].series[1];
    EXPECT_EQ(added.label, "GO:JM#");
    EXPECT_CLOSE(added.points.front().y, std::log(4.0), 1e-13);

    std::optional<Plot> uPlot = PlotUPlots(Db(), Raw(), 35);
    ASSERT_TRUE(uPlot.has_value());
    EXPECT_FALSE(ChangeNextReference(Db(), *uPlot, {m_go, false}));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{"An error occurred in the PLR plotting buttons."});
}

TEST_F(PlotsTest, ReferenceWithoutSharedPredictionsIsRefused) {
    auto earlyRows = test::RowSpecs(
        20, 30, [](int) { return 0.5; }, [](int) { return 0.1; });
    const int early = m_project.AddEstimatesSet(m_dataSet, 2, 20, earlyRows);
    EXPECT_FALSE(PlotLogPlr(Db(), Raw(), {early, false}, 35).has_value());
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{
                  "The reference set predicts none of the failures that the plotted set "
                  "predicts from failure 35 on. Please select another reference set."});
}

TEST_F(PlotsTest, PlotStartPastTheLastPredictionGivesEmptySeries) {
    std::optional<Plot> uPlot = PlotUPlots(Db(), Raw(), 45);
    std::optional<Plot> yPlot = PlotYPlots(Db(), Raw(), 45);
    std::optional<Plot> plr = PlotLogPlr(Db(), Raw(), {m_go, false}, 45);
    ASSERT_TRUE(uPlot && yPlot && plr);
    EXPECT_TRUE(uPlot->chart.groups[1].series[0].points.empty());
    // Nothing to test: no p-value and no band.
    EXPECT_EQ(uPlot->chart.groups[1].series[0].label, "JM ks=0.000");
    EXPECT_EQ(uPlot->chart.groups[0].series.size(), 1u);
    EXPECT_TRUE(yPlot->chart.groups[1].series[0].points.empty());
    EXPECT_EQ(yPlot->chart.groups[1].series[0].label, "JM ks=0.000");
    EXPECT_EQ(yPlot->chart.groups[0].series.size(), 1u);
    EXPECT_TRUE(plr->chart.groups[0].series[0].points.empty());
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(PlotsTest, MediansOfARawSetWithRoomForRecalibratedOnes) {
    std::optional<Plot> plot = PlotMedians(Db(), Raw());
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->caption, "PLOT: DS - Medians ");
    EXPECT_EQ(plot->chart.header, "Medians for dataset DS");
    EXPECT_EQ(plot->chart.yAxis.title, "Predicted median time");
    EXPECT_EQ(plot->chart.xAxis.minimum, std::optional<double>(20.0));
    EXPECT_EQ(plot->chart.styleSet, kRawMediansStyles);
    EXPECT_EQ(plot->state.plotType, PlotType::RawMedians);
    EXPECT_EQ(plot->state.setSize, 40);
    ASSERT_EQ(plot->chart.groups.size(), 2u);
    EXPECT_TRUE(plot->chart.groups[1].series.empty());
    const ChartSeries& series = plot->chart.groups[0].series[0];
    EXPECT_EQ(series.label, "JM");
    // Every row, the last one included.
    ASSERT_EQ(series.points.size(), 21u);
    EXPECT_EQ(series.points.front(), (ChartPoint{20.0, 200.0}));
    EXPECT_EQ(series.points.back(), (ChartPoint{40.0, 400.0}));

    EXPECT_TRUE(AddSetToPlot(Db(), *plot, {m_recalibrated, true}));
    EXPECT_TRUE(AddSetToPlot(Db(), *plot, {m_go, false}));
    ASSERT_EQ(plot->chart.groups[1].series.size(), 1u);
    const ChartSeries& recalibrated = plot->chart.groups[1].series[0];
    EXPECT_EQ(recalibrated.label, "JM#");
    EXPECT_EQ(recalibrated.points.front(), (ChartPoint{35.0, 350.0}));
    EXPECT_EQ(recalibrated.style.pattern, LinePattern::Dashed);
    ASSERT_EQ(plot->chart.groups[0].series.size(), 2u);
    EXPECT_EQ(plot->chart.groups[0].series[1].label, "GO");
}

TEST_F(PlotsTest, MediansOfARecalibratedSetStartFifteenLater) {
    std::optional<Plot> plot = PlotMedians(Db(), Recalibrated());
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->state.plotType, PlotType::RecalibratedMedians);
    EXPECT_EQ(plot->chart.styleSet, kRecalibratedMediansStyles);
    EXPECT_EQ(plot->chart.xAxis.minimum, std::optional<double>(20.0));
    EXPECT_EQ(plot->chart.groups[0].series[0].points.front().x, 35.0);
    EXPECT_EQ(plot->chart.groups[0].series[0].label, "JM#");

    EXPECT_TRUE(AddMedianSeries(Db(), *plot, {m_jm, false}));
    ASSERT_EQ(plot->chart.groups[1].series.size(), 1u);
    EXPECT_EQ(plot->chart.groups[1].series[0].points.front().x, 20.0);
    EXPECT_EQ(plot->chart.groups[1].series[0].style.pattern, LinePattern::Solid);
}

TEST_F(PlotsTest, QuartilesAxisIgnoresInfiniteValues) {
    EstimatesArray records(23);
    records[20] = {0, 0, 0, 0, 0, 0, 1.0, 2.0, 5.0, 1e307};
    records[21] = {0, 0, 0, 0, 0, 0, 1.5, 2.5, 1e30, 4.0};
    records[22] = {0, 0, 0, 0, 0, 0, 2.0, 3.0, 6.0, 7.5};
    const int set = m_project.AddEstimatesSet(m_dataSet, 5, 20, 20, 22, records);
    // A recalibrated selection still shows the quartiles of its estimates set.
    CurrentSelection selection = test::SelectionOf("DS", set, 20, 40, m_recalibrated);
    std::optional<Plot> plot = PlotQuartilesAndMttf(Db(), selection);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->caption,
              "PLOT: DS (Jelinski-Moranda - Maximum Likelihood) - Quartiles + MTTF ");
    EXPECT_EQ(plot->chart.header, "Quartiles and MTTF of Jelinski-Moranda for dataset DS");
    EXPECT_EQ(plot->chart.yAxis.maximum, std::optional<double>(7.5));
    EXPECT_EQ(plot->state.plotType, PlotType::Quartiles);
    EXPECT_EQ(plot->state.setSize, 40);
    const std::vector<ChartSeries>& series = plot->chart.groups[0].series;
    ASSERT_EQ(series.size(), 4u);
    EXPECT_EQ(series[0].label, "Upper quartiles");
    EXPECT_EQ(series[1].label, "MTTF");
    EXPECT_EQ(series[2].label, "Medians");
    EXPECT_EQ(series[3].label, "Lower quartiles");
    // Sentinels are drawn as stored.
    EXPECT_EQ(Ys(series[0]), (std::vector<double>{5.0, 1e30, 6.0}));
    EXPECT_EQ(Ys(series[1]), (std::vector<double>{1e307, 4.0, 7.5}));
    EXPECT_EQ(Xs(series[3]), (std::vector<double>{20, 21, 22}));
}

TEST_F(PlotsTest, FailureDataPlots) {
    std::optional<Plot> times = PlotFailureTimes(Db(), Raw());
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(times->caption, "PLOT: DS - Failure times");
    EXPECT_EQ(times->chart.header, "Failure data for dataset DS");
    EXPECT_EQ(times->chart.y2Axis.title, "Time (cumulative)");
    EXPECT_FALSE(times->chart.y2Axis.shown);
    ASSERT_EQ(times->chart.groups.size(), 2u);
    EXPECT_EQ(times->chart.groups[1].axis, VerticalAxis::Y2);
    const ChartSeries& interfailure = times->chart.groups[0].series[0];
    const ChartSeries& cumulative = times->chart.groups[1].series[0];
    EXPECT_EQ(interfailure.label, "Interfailure times");
    EXPECT_TRUE(interfailure.shown);
    EXPECT_EQ(cumulative.label, "Cumulative times");
    EXPECT_FALSE(cumulative.shown);
    EXPECT_EQ(interfailure.points[2], (ChartPoint{3.0, 3.0}));
    EXPECT_EQ(cumulative.points[2], (ChartPoint{3.0, 6.0}));
    EXPECT_EQ(times->state.plotType, PlotType::FailureTimes);

    std::optional<Plot> counts = PlotCumulativeFailures(Db(), Raw());
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->caption, "PLOT: DS - Cumulative failures");
    EXPECT_EQ(counts->chart.groups[0].type, ChartType::Area);
    const ChartSeries& series = counts->chart.groups[0].series[0];
    EXPECT_EQ(series.label, "Cumulative failures");
    ASSERT_EQ(series.points.size(), 40u);
    EXPECT_EQ(series.points[3], (ChartPoint{10.0, 4.0}));
    EXPECT_EQ(counts->state.plotType, PlotType::CumulativeFailures);

    CurrentSelection unknown = Raw();
    unknown.dataSetName = "XX";
    EXPECT_FALSE(PlotFailureTimes(Db(), unknown).has_value());
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{"There is no dataset named \"XX\"."});
}

TEST_F(PlotsTest, TrendPlotsOfTheRawData) {
    // x(i) = i, so T(i) = i (i + 1) / 2: the earlier times average i (i + 1) / 6, which makes
    // u(i) = -sqrt((i - 1) / 3), and tau(i) = (i + 1) / 2.
    std::optional<Plot> laplace = PlotLaplaceTrend(Db(), Raw());
    ASSERT_TRUE(laplace.has_value());
    EXPECT_EQ(laplace->caption, "PLOT: DS - Laplace trend test");
    EXPECT_EQ(laplace->state.plotType, PlotType::LaplaceTrend);
    const ChartDescription& chart = laplace->chart;
    EXPECT_EQ(chart.header, "Laplace trend test for dataset DS");
    EXPECT_EQ(chart.xAxis.title, "Failure index");
    EXPECT_EQ(chart.yAxis.title, "Laplace factor u(i)");
    ASSERT_EQ(chart.groups.size(), 2u);
    const ChartSeries& factors = chart.groups[0].series.at(0);
    EXPECT_EQ(factors.label, "Laplace factor");
    ASSERT_EQ(factors.points.size(), 39u);
    for (int i = 2; i <= 40; ++i) {
        EXPECT_EQ(factors.points[i - 2].x, i);
        EXPECT_CLOSE(factors.points[i - 2].y, -std::sqrt((i - 1) / 3.0), 1e-13);
    }
    // The critical lines over failures 2..40: -5 %, +5 %, -1 %, +1 %, each pair named once.
    const struct {
        double y;
        const char* label;
        LinePattern pattern;
    } lines[] = {{-1.6448536, "5 % critical values ±1.645", LinePattern::Dashed},
                 {1.6448536, "", LinePattern::Dashed},
                 {-2.3263479, "1 % critical values ±2.326", LinePattern::Dotted},
                 {2.3263479, "", LinePattern::Dotted}};
    ASSERT_EQ(chart.groups[1].series.size(), 4u);
    // u(40) = -sqrt(13), beyond the 1 % line.
    ASSERT_EQ(chart.labels.size(), 1u);
    EXPECT_EQ(chart.labels[0].text,
              "u(40) = -3.606\nreliability growth\n(significant at the 1 % level)");
    for (std::size_t k = 0; k < 4; ++k) {
        const ChartSeries& line = chart.groups[1].series[k];
        EXPECT_EQ(line.label, lines[k].label);
        EXPECT_EQ(line.style.pattern, lines[k].pattern);
        EXPECT_EQ(line.style.colour, kPalette[1]);
        ASSERT_EQ(line.points.size(), 2u);
        EXPECT_EQ(line.points[0].x, 2.0);
        EXPECT_EQ(line.points[1].x, 40.0);
        EXPECT_CLOSE(line.points[0].y, lines[k].y, 1e-7);
        EXPECT_EQ(line.points[1].y, line.points[0].y);
    }

    std::optional<Plot> average = PlotRunningAverage(Db(), Raw());
    ASSERT_TRUE(average.has_value());
    EXPECT_EQ(average->caption, "PLOT: DS - Running average");
    EXPECT_EQ(average->chart.header, "Running average for dataset DS");
    EXPECT_EQ(average->state.plotType, PlotType::RunningAverage);
    ASSERT_EQ(average->chart.groups.size(), 1u);
    const ChartSeries& tau = average->chart.groups[0].series.at(0);
    EXPECT_EQ(tau.label, "Running average");
    EXPECT_EQ(tau.style.colour, kPalette[3]);
    ASSERT_EQ(tau.points.size(), 40u);
    for (int i = 1; i <= 40; ++i) {
        EXPECT_EQ(tau.points[i - 1].x, i);
        EXPECT_CLOSE(tau.points[i - 1].y, (i + 1) / 2.0, 1e-15);
    }

    m_sink.Clear();
    CurrentSelection unknown = Raw();
    unknown.dataSetName = "nothing";
    EXPECT_FALSE(PlotLaplaceTrend(Db(), unknown).has_value());
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{"There is no dataset named \"nothing\"."});
}

TEST_F(PlotsTest, BuildPlotAsksOnlyForWhatTheKindNeeds) {
    std::vector<std::string> asked;
    auto choices = [&asked](std::optional<int> start, std::optional<PredictionSetRef> reference) {
        PlotChoices choose;
        choose.start = [&asked, start](const PlotStartBounds&) {
            asked.push_back("start");
            return start;
        };
        choose.reference = [&asked, reference] {
            asked.push_back("reference");
            return reference;
        };
        return choose;
    };
    const PredictionSetRef go{m_go, false};
    struct Case {
        PlotType kind;
        std::optional<int> start;
        std::optional<PredictionSetRef> reference;
        std::vector<std::string> asked;
        bool drawn;
    };
    const Case cases[] = {
        {PlotType::FailureTimes, 25, go, {}, true},
        {PlotType::CumulativeFailures, 25, go, {}, true},
        {PlotType::Quartiles, 25, go, {}, true},
        {PlotType::RawMedians, 25, go, {}, true},
        {PlotType::RecalibratedMedians, 25, go, {}, false},
        {PlotType::RawUPlots, 25, go, {"start"}, true},
        {PlotType::RawYPlots, std::nullopt, go, {"start"}, false},
        {PlotType::LogPlr, 25, go, {"reference", "start"}, true},
        {PlotType::LogPlr, 25, std::nullopt, {"reference"}, false},
        {PlotType::LaplaceTrend, 25, go, {}, true},
        {PlotType::RunningAverage, 25, go, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        asked.clear();
        std::optional<Plot> plot = BuildPlot(Db(), c.kind, Raw(), choices(c.start, c.reference));
        EXPECT_EQ(asked, c.asked);
        ASSERT_EQ(plot.has_value(), c.drawn);
        if (!plot) continue;
        EXPECT_EQ(plot->state.plotType, c.kind);
        if (!c.asked.empty()) {
            EXPECT_EQ(plot->state.PlotStart(), 25);
        }
        if (c.kind == PlotType::LogPlr) {
            EXPECT_EQ(plot->state.referenceSetId, m_go);
        }
    }
}

TEST(PlotStartRange, CrossedBoundsAreRefused) {
    test::RecordingSink sink;
    // 21 to 35 failures with the range starting at 20: no start from 35 on has a successor.
    EXPECT_FALSE(PlotStartRange(PlotType::LogPlr, 20, 35, false).has_value());
    EXPECT_FALSE(PlotStartRange(PlotType::RawUPlots, 20, 25, true).has_value());
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{
                  "There are too few failures after the range start for this plot: its start "
                  "must be at least 35 and at most 34.",
                  "There are too few failures after the range start for this plot: its start "
                  "must be at least 35 and at most 24."}));
    sink.Clear();
    EXPECT_FALSE(PlotStartRange(PlotType::Quartiles, 20, 136, false).has_value());
    EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
}  // namespace tamsel
