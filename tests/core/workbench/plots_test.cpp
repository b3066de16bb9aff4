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

    const ChartDescription& chart = plot->chart;
    ASSERT_EQ(chart.groups.size(), 2u);
    // The diagonal, then the 5 % band of the six u-values: +-0.519262 (n = 6).
    ASSERT_EQ(chart.groups[0].series.size(), 3u);
    EXPECT_EQ(chart.groups[0].series[0].points, (std::vector<ChartPoint>{{0.0, 0.0}, {1.0, 1.0}}));
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
    const ChartSeries& series = chart.groups[1].series.at(0);
    // Rows 34..39: u = 15/21 .. 20/21 at positions 1/7 .. 6/7; D = 15/21 at the first point.
    ASSERT_EQ(series.points.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_CLOSE(series.points[k].x, (15.0 + k) / 21, 1e-15);
        EXPECT_CLOSE(series.points[k].y, (k + 1) / 7.0, 1e-15);
    }
    // D_6 of the same values is 15/21 too: P(D_6 >= 15/21) = 0.00129.
    EXPECT_EQ(series.label, "JM ks=0.714 p=0.001");
    EXPECT_EQ(series.style.colour, FindModelStyle("JM")->colour);

    // A recalibrated set uses all its rows: D_5 = 1/6 has p = 0.995.
    std::optional<Plot> recalibrated = PlotUPlots(Db(), Recalibrated(), 35);
    ASSERT_TRUE(recalibrated.has_value());
    EXPECT_EQ(recalibrated->state.plotType, PlotType::MixedUPlots);
    const ChartSeries& mixed = recalibrated->chart.groups[1].series[0];
    EXPECT_EQ(Xs(mixed), (std::vector<double>{1.0 / 6, 2.0 / 6, 3.0 / 6, 4.0 / 6, 5.0 / 6}));
    EXPECT_EQ(mixed.label, "JM# ks=0.167 p=0.995");
}

TEST_F(PlotsTest, YPlotOfTheLastObservedRows) {
    std::optional<Plot> plot = PlotYPlots(Db(), Raw(), 38);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->state.plotType, PlotType::MixedYPlots);
    // Rows 38 and 39: u = 19/21 and 20/21, so x = ln(21/2) and ln(21).
    const ChartSeries& series = plot->chart.groups[1].series[0];
    ASSERT_EQ(series.points.size(), 2u);
    const double first = std::log(10.5);
    EXPECT_CLOSE(series.points[0].x, first / (first + std::log(21.0)), 1e-14);
    EXPECT_EQ(series.points[1].x, 1.0);
    EXPECT_EQ(Ys(series), (std::vector<double>{0.5, 1.0}));
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

TEST_F(PlotsTest, LogPlrAgainstAReferenceAndAChangedReference) {
    std::optional<Plot> plot = PlotLogPlr(Db(), Raw(), {m_go, false}, 35);
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->state.rangeLag, 15);
    EXPECT_EQ(plot->state.referenceSetId, m_go);
    EXPECT_FALSE(plot->state.refRecFlag);
    const ChartSeries& series = plot->chart.groups.at(0).series.at(0);
    EXPECT_EQ(series.label, "JM:GO");
    // Densities 1/i against 2/i: each observation adds ln(1/2).
    EXPECT_EQ(Xs(series), (std::vector<double>{35, 36, 37, 38, 39}));
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_CLOSE(series.points[k].y, -(k + 1.0) * std::log(2.0), 1e-13);
    }
    EXPECT_EQ(plot->chart.labels.at(0).text, "next ref: GO");

    EXPECT_TRUE(AddPlrSeries(Db(), *plot, {m_recalibrated, true}));
    EXPECT_EQ(plot->chart.groups[0].series[1].label, "JM#:GO");
    EXPECT_CLOSE(plot->chart.groups[0].series[1].points.back().y, 5 * std::log(0.25), 1e-13);

    // A new reference is for the curves added next; those drawn stay.
    const std::vector<ChartPoint> before = plot->chart.groups[0].series[0].points;
    EXPECT_TRUE(ChangeNextReference(Db(), *plot, {m_recalibrated, true}));
    EXPECT_EQ(plot->chart.labels[0].text, "next ref: JM#");
    EXPECT_EQ(plot->state.referenceSetId, m_recalibrated);
    EXPECT_TRUE(plot->state.refRecFlag);
    EXPECT_EQ(plot->chart.groups[0].series[0].points, before);
    EXPECT_TRUE(AddSetToPlot(Db(), *plot, {m_go, false}));
    EXPECT_EQ(plot->chart.groups[0].series[2].label, "GO:JM#");
    EXPECT_CLOSE(plot->chart.groups[0].series[2].points.front().y, std::log(4.0), 1e-13);

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
    // Nothing to test: no p-value and no band.
    for (const Plot* plot : {&*uPlot, &*yPlot}) {
        EXPECT_TRUE(plot->chart.groups[1].series[0].points.empty());
        EXPECT_EQ(plot->chart.groups[1].series[0].label, "JM ks=0.000");
        EXPECT_EQ(plot->chart.groups[0].series.size(), 1u);
    }
    EXPECT_TRUE(plr->chart.groups[0].series[0].points.empty());
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(PlotsTest, MediansOfRawAndRecalibratedSets) {
    std::optional<Plot> plot = PlotMedians(Db(), Raw());
    ASSERT_TRUE(plot.has_value());
    EXPECT_EQ(plot->state.plotType, PlotType::RawMedians);
    ASSERT_EQ(plot->chart.groups.size(), 2u);
    // Every row, the last one included.
    const ChartSeries& series = plot->chart.groups[0].series.at(0);
    ASSERT_EQ(series.points.size(), 21u);
    EXPECT_EQ(series.points.front(), (ChartPoint{20.0, 200.0}));
    EXPECT_EQ(series.points.back(), (ChartPoint{40.0, 400.0}));
    // Raw and recalibrated sets each go to their own group.
    EXPECT_TRUE(AddSetToPlot(Db(), *plot, {m_recalibrated, true}));
    EXPECT_TRUE(AddSetToPlot(Db(), *plot, {m_go, false}));
    ASSERT_EQ(plot->chart.groups[1].series.size(), 1u);
    EXPECT_EQ(plot->chart.groups[1].series[0].points.front(), (ChartPoint{35.0, 350.0}));
    EXPECT_EQ(plot->chart.groups[1].series[0].style.pattern, LinePattern::Dashed);
    ASSERT_EQ(plot->chart.groups[0].series.size(), 2u);
    EXPECT_EQ(plot->chart.groups[0].series[1].label, "GO");

    std::optional<Plot> recalibrated = PlotMedians(Db(), Recalibrated());
    ASSERT_TRUE(recalibrated.has_value());
    EXPECT_EQ(recalibrated->state.plotType, PlotType::RecalibratedMedians);
    EXPECT_EQ(recalibrated->chart.xAxis.minimum, std::optional<double>(20.0));
    EXPECT_EQ(recalibrated->chart.groups[0].series[0].points.front().x, 35.0);
    EXPECT_TRUE(AddMedianSeries(Db(), *recalibrated, {m_jm, false}));
    ASSERT_EQ(recalibrated->chart.groups[1].series.size(), 1u);
    EXPECT_EQ(recalibrated->chart.groups[1].series[0].points.front().x, 20.0);
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
    EXPECT_EQ(plot->chart.yAxis.maximum, std::optional<double>(7.5));
    const std::vector<ChartSeries>& series = plot->chart.groups[0].series;
    ASSERT_EQ(series.size(), 4u);
    // Upper quartiles, MTTF, medians, lower quartiles; sentinels are drawn as stored.
    EXPECT_EQ(Ys(series[0]), (std::vector<double>{5.0, 1e30, 6.0}));
    EXPECT_EQ(Ys(series[1]), (std::vector<double>{1e307, 4.0, 7.5}));
    EXPECT_EQ(Ys(series[2]), (std::vector<double>{2.0, 2.5, 3.0}));
    EXPECT_EQ(Xs(series[3]), (std::vector<double>{20, 21, 22}));
}

TEST_F(PlotsTest, PlotsOfTheRawData) {
    std::optional<Plot> times = PlotFailureTimes(Db(), Raw());
    ASSERT_TRUE(times.has_value());
    ASSERT_EQ(times->chart.groups.size(), 2u);
    EXPECT_EQ(times->chart.groups[0].series[0].points[2], (ChartPoint{3.0, 3.0}));
    EXPECT_EQ(times->chart.groups[1].series[0].points[2], (ChartPoint{3.0, 6.0}));

    std::optional<Plot> counts = PlotCumulativeFailures(Db(), Raw());
    ASSERT_TRUE(counts.has_value());
    const ChartSeries& series = counts->chart.groups[0].series[0];
    ASSERT_EQ(series.points.size(), 40u);
    EXPECT_EQ(series.points[3], (ChartPoint{10.0, 4.0}));

    // x(i) = i, so T(i) = i (i + 1) / 2: the earlier times average i (i + 1) / 6, which makes
    // u(i) = -sqrt((i - 1) / 3), and tau(i) = (i + 1) / 2.
    std::optional<Plot> laplace = PlotLaplaceTrend(Db(), Raw());
    ASSERT_TRUE(laplace.has_value());
    const ChartDescription& chart = laplace->chart;
    ASSERT_EQ(chart.groups.size(), 2u);
    const ChartSeries& factors = chart.groups[0].series.at(0);
    ASSERT_EQ(factors.points.size(), 39u);
    for (int i = 2; i <= 40; ++i) {
        EXPECT_EQ(factors.points[i - 2].x, i);
        EXPECT_CLOSE(factors.points[i - 2].y, -std::sqrt((i - 1) / 3.0), 1e-13);
    }
    // The critical lines over failures 2..40: -5 %, +5 %, -1 %, +1 %.
    const double critical[] = {-1.6448536, 1.6448536, -2.3263479, 2.3263479};
    ASSERT_EQ(chart.groups[1].series.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const ChartSeries& line = chart.groups[1].series[k];
        ASSERT_EQ(line.points.size(), 2u);
        EXPECT_EQ(Xs(line), (std::vector<double>{2.0, 40.0}));
        EXPECT_CLOSE(line.points[0].y, critical[k], 1e-7);
        EXPECT_EQ(line.points[1].y, line.points[0].y);
    }
    // u(40) = -sqrt(13), beyond the 1 % line.
    EXPECT_EQ(chart.labels.at(0).text,
              "u(40) = -3.606\nreliability growth\n(significant at the 1 % level)");

    std::optional<Plot> average = PlotRunningAverage(Db(), Raw());
    ASSERT_TRUE(average.has_value());
    const ChartSeries& tau = average->chart.groups.at(0).series.at(0);
    ASSERT_EQ(tau.points.size(), 40u);
    for (int i = 1; i <= 40; ++i) {
        EXPECT_EQ(tau.points[i - 1].x, i);
        EXPECT_CLOSE(tau.points[i - 1].y, (i + 1) / 2.0, 1e-15);
    }

    CurrentSelection unknown = Raw();
    unknown.dataSetName = "XX";
    EXPECT_FALSE(PlotLaplaceTrend(Db(), unknown).has_value());
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{"There is no dataset named \"XX\"."});
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
