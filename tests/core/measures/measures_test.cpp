#include "tamsel/measures/measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "tamsel/measures/kolmogorov.h"
#include "tamsel/measures/plot_types.h"
#include "tamsel/measures/trend.h"
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
        // A recalibrated u a rounding error outside [0, 1] is read as its end.
        {{0.5, 1.0 + 1e-12, -1e-12}, {ln2 / (ln2 + kCap), 1.0, 1.0}, std::nullopt},
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

struct Reference {
    int n;
    double d;
    double p;       // P(D_n >= d)
    double relTol;  // the doubled one-sided tail (p < 0.01) is within 1e-7
};

// Computed independently with 60-digit arithmetic by kolmogorov_reference.py: the Poissonised
// count of uniform points between the band's breakpoints, no matrix power. The n = 10,000
// values come from the same recursion in long double.
TEST(KolmogorovPValue, AgreesWithReferenceValues) {
    const Reference references[] = {
        // The checks engineers quote.
        {101, 0.1708, 0.0047952163956967706, 1e-7},
        {10, 0.3, 0.2705355748, 1e-10},
        {101, 0.1334, 0.049923563041420716, 1e-10},
        {3, 0.4, 0.59466666666666667, 1e-12},
        {5, 0.5, 0.112, 1e-12},
        {20, 0.1, 0.97625509459215497, 1e-12},
        {20, 0.2, 0.35272017362341605, 1e-12},
        {20, 0.35, 0.0107549634443905, 1e-9},
        {50, 0.05, 0.99902380984618836, 1e-12},
        {50, 0.25, 0.0030657620198706339, 1e-7},
        {200, 0.12, 0.0057457604928326021, 1e-7},
        // The right tail, where the matrix gives way to the one-sided formula.
        {20, 0.65, 8.7500485309315691e-9, 1e-7},
        {50, 0.4, 9.8635633644100786e-8, 1e-7},
        {101, 0.2, 0.0005121344197541075, 1e-7},
        {101, 0.25, 4.7647358928715104e-6, 1e-7},
        {200, 0.16, 6.117093237574896e-5, 1e-7},
        // From n = 10,000 on, the limiting distribution: within 1 %.
        {10000, 0.01, 0.268219128, 1e-2},
        {10000, 0.017, 0.006106326641, 1e-2},
        // Closed forms: d <= 1/(2n): every sample is that far off; 1/(2n) < d <= 1/n:
        // P(D < d) = n! (2d - 1/n)^n; d >= 1 - 1/n: P(D >= d) = 2 (1 - d)^n; d >= 1: impossible.
        {1, 0.5, 1.0, 1e-12},
        {4, 0.125, 1.0, 1e-12},
        {4, 0.2, 1.0 - 24.0 * std::pow(0.4 - 0.25, 4), 1e-12},
        {7, 1.0 / 7, 1.0 - 5040.0 * std::pow(1.0 / 7, 7), 1e-12},
        {1, 0.9, 0.2, 1e-12},
        {2, 0.6, 2.0 * 0.16, 1e-12},
        {6, 0.9, 2.0 * std::pow(0.1, 6), 1e-12},
        {3, 1.0, 0.0, 0.0},
        {3, 1.5, 0.0, 0.0},
        {3, 0.0, 1.0, 0.0},
    };
    for (const Reference& r : references) {
        SCOPED_TRACE(testing::Message() << "n=" << r.n << " d=" << r.d);
        EXPECT_CLOSE(KolmogorovPValue(r.n, r.d), r.p, r.relTol);
    }
}

TEST(KolmogorovPValue, FallsWithTheDistanceAcrossEveryMethod) {
    // Crossing from the matrix to the one-sided tail (at p = 0.01) must not reverse the order
    // of p-values by more than the methods' agreement.
    for (int n : {5, 60, 150, 12000}) {
        double previous = 1.0;
        for (double x = 0.3; x < 3.0; x += 0.01) {
            const double p = KolmogorovPValue(n, x / std::sqrt(n));
            EXPECT_LE(p, previous * (1.0 + 1e-7)) << "n=" << n << " x=" << x;
            EXPECT_GE(p, 0.0);
            previous = p;
        }
    }
}

TEST(KolmogorovCriticalDistance, InvertsThePValue) {
    struct Case {
        int n;
        double alpha;
        double d;  // the same reference computation, inverted by bisection
        double absTol;
    };
    const Case cases[] = {
        {1, 0.05, 0.975, 1e-9},  // 2 (1 - d) = alpha
        {6, 0.05, 0.519262, 1e-6},   {10, 0.05, 0.409246, 1e-6},  {10, 0.01, 0.488932, 1e-6},
        {101, 0.05, 0.133372, 1e-6}, {101, 0.01, 0.160022, 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << c.n << " alpha=" << c.alpha);
        const double d = KolmogorovCriticalDistance(c.n, c.alpha);
        EXPECT_CLOSE_ABS(d, c.d, c.absTol);
        EXPECT_CLOSE(KolmogorovPValue(c.n, d), c.alpha, 1e-6);
    }
    // Large n: the limit's own quantile, 1.3581 / (sqrt(n) + 0.12 + 0.11 / sqrt(n)).
    EXPECT_CLOSE(KolmogorovCriticalDistance(40000, 0.05), 1.35810 / (200.0 + 0.12 + 0.00055), 1e-4);
}

TEST(LaplaceFactors, ClosedFormsOnSmallSeries) {
    struct Case {
        std::vector<double> cumulative;
        std::vector<std::optional<double>> expected;
    };
    const Case cases[] = {
        // By hand: u(2) = (1 - 3/2) / (3 sqrt(1/12)), u(3) = (2 - 3) / (6 sqrt(1/24)).
        {{1.0, 3.0, 6.0}, {std::nullopt, -1.0 / std::sqrt(3.0), -std::sqrt(2.0 / 3.0)}},
        // Failures at a constant pace: the earlier times average T(i)/2 exactly.
        {{1.0, 2.0, 3.0, 4.0, 5.0}, {std::nullopt, 0.0, 0.0, 0.0, 0.0}},
        // T(j) = j^2: the earlier times average i (2i - 1) / 6, u(i) = -(i+1)/(6i) sqrt(12 (i-1)).
        {{1.0, 4.0, 9.0, 16.0},
         {std::nullopt, -0.25 * std::sqrt(12.0), -2.0 / 9 * std::sqrt(24.0),
          -5.0 / 24 * std::sqrt(36.0)}},
        // Simultaneous failures after a long wait: decay.
        {{1.0, 1.0, 1.0}, {std::nullopt, std::sqrt(3.0), std::sqrt(6.0)}},
        // A failure at time 0 has no factor, and still counts among the earlier ones.
        {{0.0, 0.0, 5.0}, {std::nullopt, std::nullopt, -std::sqrt(6.0)}},
        {{4.0}, {std::nullopt}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        const std::vector<std::optional<double>> factors = LaplaceFactors(c.cumulative);
        ASSERT_EQ(factors.size(), c.expected.size());
        for (std::size_t k = 0; k < factors.size(); ++k) {
            ASSERT_EQ(factors[k].has_value(), c.expected[k].has_value()) << "failure " << k + 1;
            if (factors[k]) {
                EXPECT_CLOSE_ABS(*factors[k], *c.expected[k], 1e-14);
            }
        }
    }
}

TEST(LaplaceVerdict, OneSidedFivePercentLevel) {
    struct Case {
        double u;
        TrendVerdict verdict;
        const char* text;
    };
    const Case cases[] = {
        {-1.65, TrendVerdict::Growth, "reliability growth"},
        {-3.0, TrendVerdict::Growth, "reliability growth"},
        {-1.64, TrendVerdict::NoTrend, "no significant trend"},
        {0.0, TrendVerdict::NoTrend, "no significant trend"},
        {1.64, TrendVerdict::NoTrend, "no significant trend"},
        {1.65, TrendVerdict::Decay, "reliability decay"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LaplaceVerdict(c.u), c.verdict) << c.u;
        EXPECT_EQ(TrendVerdictText(LaplaceVerdict(c.u)), c.text);
    }
    // The critical values are the normal quantiles: Phi(-1.6449) = 0.05, Phi(-2.3263) = 0.01.
    EXPECT_CLOSE(0.5 * std::erfc(kLaplace5 / std::sqrt(2.0)), 0.05, 1e-12);
    EXPECT_CLOSE(0.5 * std::erfc(kLaplace1 / std::sqrt(2.0)), 0.01, 1e-12);
}

TEST(ClampRangeEntry, NumbersRoundedAndClampedOtherTextKeepsTheValue) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"40", 40},   {" 37 ", 37},   {"+36", 36},    {"10", 35},     {"-5", 35},
        {"200", 135}, {"1e300", 135}, {"40.4", 40},   {"40.6", 41},   {"40.5", 40},
        {"41.5", 42}, {"4e1", 40},    {"abc", 50},    {"", 50},       {"3x", 50},
        {"inf", 50},  {"nan", 50},    {"134.5", 134}, {"135.5", 135},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClampRangeEntry(c.text, 50, 35, 135), c.expected) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace tamsel
