#include "tamsel/measures/measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "tamsel/measures/kolmogorov.h"
#include "test_support.h"

namespace tamsel {
namespace {

// -ln(1e-30): what a u of 1 or a density of 0 contributes.
const double kCap = -std::log(1e-30);

TEST(KolmogorovDistance, LargestGapOnEitherSideOfEachStep) {
    struct Case {
        std::vector<double> sample;
        std::vector<double> positions;
        double expected;
    };
    const Case cases[] = {
        // |0.9 - 0.6| from the step before the last point.
        {{0.1, 0.3, 0.6, 0.9}, {0.2, 0.4, 0.6, 0.8}, 0.3},
        // All on their positions: the gap to the step below, 1 / (n + 1).
        {{0.25, 0.5, 0.75}, {0.25, 0.5, 0.75}, 0.25},
        // A sample far left of its positions.
        {{0.0, 0.0}, {1.0 / 3, 2.0 / 3}, 2.0 / 3},
        {{}, {}, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_CLOSE_ABS(KolmogorovDistance(c.sample, c.positions), c.expected, 1e-15);
    }
}

// x: the normalised running sum of -ln(1 - u); y: i / n.
TEST(YPlotCurve, NormalisedRunningSumOfMinusLogSurvival) {
    const double ln2 = std::log(2.0);
    struct Case {
        std::vector<double> u;
        std::vector<double> x;
        std::optional<double> distance;
    };
    const Case cases[] = {
        // Equal u-values lie on their positions.
        {std::vector<double>(8, 0.5), {0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 0.875, 1.0}, 0.125},
        // Largest gap: 1 against the first position 1/3, from the second point's step.
        {{0.5, 0.75, 0.0}, {ln2 / (3 * ln2), 1.0, 1.0}, 2.0 / 3},
        // A u of 1 adds the logarithm cap.
        {{0.5, 1.0}, {ln2 / (ln2 + kCap), 1.0}, std::nullopt},
        // Every x is 0, so the sum is 0: all x are 0 instead of 0 / 0.
        {{0.0, 0.0}, {0.0, 0.0}, 1.0},
        {{}, {}, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.u.size() << " values");
        const MeasureCurve curve = YPlotCurve(c.u);
        ASSERT_EQ(curve.points.size(), c.x.size());
        for (std::size_t i = 0; i < c.x.size(); ++i) {
            EXPECT_CLOSE_ABS(curve.points[i].x, c.x[i], 1e-14);
            EXPECT_CLOSE_ABS(curve.points[i].y, (i + 1.0) / c.x.size(), 1e-15);
        }
        if (c.distance) {
            EXPECT_CLOSE_ABS(curve.distance, *c.distance, 1e-14);
        }
    }
}

TEST(YPlotCurve, OutliersAreClamped) {
    // A recalibrated u a rounding error outside [0, 1] is read as its end.
    MeasureCurve clamped = YPlotCurve(std::vector<double>{0.5, 1.0 + 1e-12, -1e-12});
    MeasureCurve ends = YPlotCurve(std::vector<double>{0.5, 1.0, 0.0});
    EXPECT_EQ(clamped.points, ends.points);
    EXPECT_EQ(clamped.distance, ends.distance);
}

TEST(MeasureCurve, SignificanceOfTheStandardStatistic) {
    // u-plot: D_4 of (0.1, 0.3, 0.6, 0.9) against the uniform is 2/4 - 0.3 = 0.2, not the 0.3
    // shown against the plotting positions; in (1/8, 1/4], P(D_4 < d) = 4! (2d - 1/4)^4.
    const std::vector<double> values{0.1, 0.3, 0.6, 0.9};
    const MeasureCurve u = UPlotCurve(values);
    ASSERT_EQ(u.points.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(u.points[i].x, values[i]);
        EXPECT_CLOSE_ABS(u.points[i].y, (i + 1) / 5.0, 1e-15);  // positions i / (n + 1)
    }
    EXPECT_CLOSE_ABS(u.distance, 0.3, 1e-15);
    EXPECT_EQ(u.testedPoints, 4);
    ASSERT_TRUE(u.pValue.has_value());
    EXPECT_CLOSE(*u.pValue, 1.0 - 24.0 * std::pow(0.15, 4), 1e-12);

    // y-plot of (0.5, 0.75, 0): only y(1) = ln 2 / ln 8 = 1/3 and y(2) = 1 are tested, not
    // y(3) = 1: D_2 = max(1/2 - 1/3, 1/3, 1 - 1/2, 1 - 1) = 1/2, P(D_2 >= 1/2) = 2 (1/2)^2.
    const MeasureCurve y = YPlotCurve(std::vector<double>{0.5, 0.75, 0.0});
    EXPECT_EQ(y.testedPoints, 2);
    ASSERT_TRUE(y.pValue.has_value());
    EXPECT_CLOSE(*y.pValue, 0.5, 1e-12);

    // A single u: nothing to test on a y-plot; nothing at all without u-values.
    EXPECT_FALSE(YPlotCurve(std::vector<double>{0.3}).pValue.has_value());
    EXPECT_FALSE(UPlotCurve(std::vector<double>{}).pValue.has_value());
    EXPECT_TRUE(UPlotCurve(std::vector<double>{0.3}).pValue.has_value());
}

TEST(BiasVerdict, TheWorseOfTheTwoBelowFivePercent) {
    struct Case {
        std::optional<double> u;
        std::optional<double> y;
        const char* verdict;
    };
    const Case cases[] = {
        {0.0048, 0.3, "biased (u-plot p=0.005)"},
        {0.3, 0.0100, "drifting (y-plot p=0.01)"},
        {0.01, 0.002, "drifting (y-plot p=0.002)"},
        {0.002, 0.01, "biased (u-plot p=0.002)"},
        {0.0001, std::nullopt, "biased (u-plot p<0.001)"},
        {0.05, 0.05, "no evidence of bias"},
        {0.6, std::nullopt, "no evidence of bias"},
        {std::nullopt, std::nullopt, "no evidence of bias"},
    };
    for (const Case& c : cases) EXPECT_EQ(BiasVerdict(c.u, c.y), c.verdict);
}

TEST(LogPlrCurve, RunningLogRatioOverSharedIndices) {
    const std::vector<PredictionRow> plotted = {{35, 0.1, 0.5}, {36, 0.2, 0.25}, {37, 0.3, 0.0}};
    // The reference starts earlier and stops earlier: only 35 and 36 pair.
    const std::vector<PredictionRow> reference = {{34, 0.5, 9.0}, {35, 0.4, 0.125}, {36, 0.5, 0.5}};
    std::vector<ChartPoint> points = LogPlrCurve(plotted, reference);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].x, 35.0);
    EXPECT_CLOSE(points[0].y, std::log(0.5 / 0.125), 1e-14);
    EXPECT_EQ(points[1].x, 36.0);
    EXPECT_CLOSE(points[1].y, std::log(0.5 / 0.125) + std::log(0.25 / 0.5), 1e-14);
}

TEST(LogPlrCurve, ZeroDensityAndDisjointSets) {
    // A density of 0, or below it by rounding, contributes ln(1e-30).
    const std::vector<PredictionRow> plotted = {{20, 0.5, 0.0}, {21, 0.5, -1e-20}};
    const std::vector<PredictionRow> reference = {{20, 0.5, 1.0}, {21, 0.5, 1.0}};
    std::vector<ChartPoint> points = LogPlrCurve(plotted, reference);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_CLOSE(points[0].y, -kCap, 1e-14);
    EXPECT_CLOSE(points[1].y, -2 * kCap, 1e-14);

    const std::vector<PredictionRow> later = {{22, 0.5, 1.0}};
    EXPECT_TRUE(LogPlrCurve(plotted, later).empty());
    EXPECT_TRUE(LogPlrCurve({}, reference).empty());
}

TEST(QuartilesAxisMaximum, SentinelsOfInfiniteValuesDoNotWidenTheAxis) {
    using V = std::vector<double>;
    EXPECT_EQ(QuartilesAxisMaximum(V{3.0, 9.0}, V{4.0, 7.0}), 9.0);
    EXPECT_EQ(QuartilesAxisMaximum(V{3.0, 1e30}, V{1e307, 2.0}), 3.0);
    EXPECT_EQ(QuartilesAxisMaximum(V{1e30}, V{1e307}), 0.0);
}

}  // namespace
}  // namespace tamsel
