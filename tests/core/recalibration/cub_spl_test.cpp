#include "tamsel/recalibration/cub_spl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "tamsel/models/jm_model.h"
#include "tamsel/recalibration/recalibration.h"
#include "test_support.h"

namespace tamsel {
namespace {

const SplineSettings kStoredMethod{300, 4, 1.0, 15};

TEST(UPlot, InsertsInOrderAndCountsEqualValuesOnce) {
    UPlot plot;
    EXPECT_EQ(plot.Abscissae(), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(plot.Counts(), (std::vector<int>{0, 1}));
    for (double u : {0.5, 0.2, 0.9, 0.5 + 5e-16, 0.2 - 9e-16, 0.7, 0.7 + 2e-15}) plot.Add(u);
    EXPECT_EQ(plot.Abscissae(), (std::vector<double>{0.0, 0.2, 0.5, 0.7, 0.7 + 2e-15, 0.9, 1.0}));
    EXPECT_EQ(plot.Counts(), (std::vector<int>{0, 2, 2, 1, 1, 1, 1}));
    // Seven u-values and the sentinel's count.
    const std::vector<double> y = plot.Ordinates(8);
    EXPECT_EQ(y.front(), 0.0);
    EXPECT_CLOSE(y[2], 4.0 / 8.0, 1e-15);
    EXPECT_EQ(y.back(), 1.0);
}

TEST(UPlot, EndValuesCountAtTheSentinels) {
    UPlot plot;
    for (double u : {0.0, 1.0, -1e-12, 1.0 + 1e-12, std::nan("")}) plot.Add(u);
    EXPECT_EQ(plot.Abscissae(), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(plot.Counts(), (std::vector<int>{3, 3}));
    EXPECT_CLOSE(plot.Ordinates(6)[0], 0.5, 1e-15);
}

// M raw predictions of exponential interfailure times of rate 1 made with rate factor: u
// is the predicted Cdf, f the predicted Pdf at the observed time. Element 0 unused.
struct RawPredictions {
    std::vector<double> u{0.0};
    std::vector<double> f{0.0};
};

RawPredictions ExponentialPredictions(std::mt19937& random, int m, double factor) {
    std::exponential_distribution<double> time(1.0);
    RawPredictions raw;
    for (int k = 1; k <= m; ++k) {
        const double x = time(random);
        raw.u.push_back(-std::expm1(-factor * x));
        raw.f.push_back(factor * std::exp(-factor * x));
    }
    return raw;
}

struct Run {
    RawPredictions raw;
    SplineRecalibration result;
};

// Recalibrates m exponential predictions drawn with the given seed by the stored method.
Run Recalibrate(unsigned seed, int m, double factor, const RunControl& control = RunControl()) {
    std::mt19937 random(seed);
    RawPredictions raw = ExponentialPredictions(random, m, factor);
    SplineRecalibration result = CubSpl(raw.u, raw.f, kStoredMethod, control);
    return {std::move(raw), std::move(result)};
}

// The u-plot distance from uniformity of values[first..last].
double Kolmogorov(const std::vector<double>& values, int first, int last) {
    std::vector<double> u(values.begin() + first, values.begin() + last + 1);
    std::sort(u.begin(), u.end());
    const double n = static_cast<double>(u.size());
    double d = 0.0;
    for (std::size_t i = 0; i < u.size(); ++i) {
        d = std::max({d, std::abs(u[i] - (i + 1) / (n + 1)), std::abs(u[i] - i / (n + 1))});
    }
    return d;
}

TEST(CubSpl, TheFirstOffsetIndexesGetNoValues) {
    // With no more predictions than the offset there is no fit, and that is no failure.
    const SplineRecalibration few = Recalibrate(2, 15, 1.0).result;
    EXPECT_EQ(few.status, SplineStatus::Succeeded);
    EXPECT_EQ(few.recalCdf, std::vector<double>(16, 0.0));

    const SplineRecalibration result = Recalibrate(1, 40, 1.0).result;
    EXPECT_EQ(result.status, SplineStatus::Succeeded);
    ASSERT_EQ(result.recalCdf.size(), 41u);
    for (const std::vector<double>* output :
         {&result.recalCdf, &result.recalPdf, &result.level25, &result.level50, &result.level75}) {
        for (int k = 0; k <= 15; ++k) EXPECT_EQ((*output)[k], 0.0) << "index " << k;
        for (int k = 16; k <= 40; ++k) EXPECT_NE((*output)[k], 0.0) << "index " << k;
    }
}

TEST(CubSpl, WaitsForSixUPlotPoints) {
    // Three distinct values: the u-plot reaches 6 points when the fourth distinct value
    // (u(20)) has been added, at index 21.
    std::vector<double> u(31, 0.5);
    for (int k = 1; k <= 19; ++k) u[k] = 0.1 * (1 + k % 3);
    u[20] = 0.9;
    for (int k = 21; k <= 30; ++k) u[k] = 0.05 * k - 0.6;
    const std::vector<double> f(31, 1.0);
    const SplineRecalibration result = CubSpl(u, f, kStoredMethod, RunControl());
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(result.recalCdf[k], 0.0) << "index " << k;
    for (int k = 21; k <= 30; ++k) EXPECT_NE(result.recalCdf[k], 0.0) << "index " << k;
}

// Predictions drawn with rate factor 1 are well calibrated: G(q) = q. With factor 2,
// u = 1 - V^2 with V uniform, so G(q) = 1 - sqrt(1 - q), whose levels G^-1(1/4, 1/2, 3/4) are
// 0.4375, 0.75, 0.9375. From the first index checked the u-plot has some hundreds of points,
// whose distance from the truth is of the order 1 / sqrt(100) at most.
TEST(CubSpl, LearnsTheBiasOfThePredictions) {
    struct Case {
        unsigned seed;
        int m;
        double factor;
        int from;
        double cdfTol;
        double levels[3];
        double levelTol;
        double (*g)(double);
        double (*gPrime)(double);
    };
    const auto same = [](double q) { return q; };
    const auto biased = [](double q) { return 1.0 - std::sqrt(1.0 - q); };
    const auto biasedSlope = [](double q) { return 0.5 / std::sqrt(1.0 - q); };
    const Case cases[] = {
        {3, 400, 1.0, 100, 0.1, {0.25, 0.5, 0.75}, 0.06, same, nullptr},
        {4, 1000, 2.0, 400, 0.05, {0.4375, 0.75, 0.9375}, 0.03, biased, biasedSlope},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "factor " << c.factor);
        const auto [raw, result] = Recalibrate(c.seed, c.m, c.factor);
        ASSERT_EQ(result.status, SplineStatus::Succeeded);
        for (int k = c.from; k <= c.m; ++k) {
            const double u = raw.u[k];
            EXPECT_CLOSE_ABS(result.recalCdf[k], c.g(u), c.cdfTol) << "index " << k;
            // A derivative of a fit to a few hundred points; the tails are left out.
            if (c.gPrime && u > 0.1 && u < 0.9) {
                EXPECT_CLOSE(result.recalPdf[k], raw.f[k] * c.gPrime(u), 0.3) << "index " << k;
            }
        }
        EXPECT_CLOSE_ABS(result.level25[c.m], c.levels[0], c.levelTol);
        EXPECT_CLOSE_ABS(result.level50[c.m], c.levels[1], c.levelTol);
        EXPECT_CLOSE_ABS(result.level75[c.m], c.levels[2], c.levelTol);
    }
}

TEST(CubSpl, StaysInsideTheUnitIntervalAndShrinksTheUPlotDistanceOfBiasedPredictions) {
    // The fitted curves need not pass through the corners of the u-plot: at extreme u-values
    // G* would stray outside [0, 1] in most of these runs. For biased predictions the distance
    // falls from 0.22-0.31 to 0.04-0.09, to at most 0.34 of what it was.
    for (double factor : {0.5, 1.0, 2.0}) {
        for (unsigned seed = 1; seed <= 5; ++seed) {
            SCOPED_TRACE(::testing::Message() << "factor " << factor << " seed " << seed);
            const auto [raw, result] = Recalibrate(seed, 200, factor);
            for (int k = 16; k <= 200; ++k) {
                EXPECT_GE(result.recalCdf[k], 0.0) << "index " << k;
                EXPECT_LE(result.recalCdf[k], 1.0) << "index " << k;
            }
            if (factor != 1.0) {
                EXPECT_LT(Kolmogorov(result.recalCdf, 16, 200), 0.4 * Kolmogorov(raw.u, 16, 200));
            }
        }
    }
}

// A cancel stops after the index it arrives at; one requested before the run starts (the caller
// clears its flag when it launches the run) must not be wiped out.
TEST(CubSpl, ReportsProgressAndStopsAfterTheIndexOfACancel) {
    test::CancellingProgress progress(20);
    const SplineRecalibration result = Recalibrate(5, 40, 1.0, progress.Control()).result;
    EXPECT_EQ(result.status, SplineStatus::Cancelled);
    EXPECT_EQ(progress.Starts(), 1);
    EXPECT_EQ(progress.Maximum(), 40);
    EXPECT_EQ(progress.Ends(), 1);
    ASSERT_FALSE(progress.Steps().empty());
    EXPECT_EQ(progress.Steps().back(), 20);
    EXPECT_NE(result.recalCdf[20], 0.0);
    EXPECT_EQ(result.recalCdf[21], 0.0);

    test::CancellingProgress early;
    early.Flag() = true;
    EXPECT_EQ(Recalibrate(6, 30, 1.0, early.Control()).result.status, SplineStatus::Cancelled);
    EXPECT_TRUE(early.Steps().empty());
}

constexpr std::int32_t kStart = 10;  // row 2 is failure index i = 11
constexpr std::int32_t kOffset = 1;
constexpr double kI = 11.0;
constexpr double kT = 250.0;

RawFits OneRow(double p1, double p2, double p3, double median = 0.0) {
    return RawFits{{0, 0, p1}, {0, 0, p2}, {0, 0, p3}, {0, 0, median}, {0, 0, kT}};
}

SplineRecalibration Levels(double q25, double q50, double q75) {
    SplineRecalibration levels;
    levels.level25 = {0, 0, q25};
    levels.level50 = {0, 0, q50};
    levels.level75 = {0, 0, q75};
    return levels;
}

// Each model's predictive distribution function in closed form, written out here so that
// a parameter passed in the wrong place shows.
TEST(RecalibratedQuartiles, EachModelsQuartileHasTheRecalibratedLevelAsItsProbability) {
    struct Case {
        int model;
        RawFits fits;
        std::function<double(double)> cdf;  // null: every quartile is the sentinel
        double sentinel = 0.0;
    };
    const double ln2 = std::log(2.0);
    const Case cases[] = {
        {1, OneRow(30.0, 0.01, 0.0, ln2 / 0.19), [](double x) { return -std::expm1(-0.19 * x); }},
        {2, OneRow(0.7, 0.3, 0.0),
         [](double x) { return -std::expm1(-0.3 * (std::pow(kT + x, 0.7) - std::pow(kT, 0.7))); }},
        {3, OneRow(40.0, 5.0, 0.0),
         [](double x) { return 1.0 - std::pow((40 + kT) / (40 + kT + x), 5.0); }},
        {4, OneRow(30.0, 0.002, 0.0),
         [](double x) {
             return -std::expm1(-30.0 * (std::exp(-0.002 * kT) - std::exp(-0.002 * (kT + x))));
         }},
        {4, OneRow(999999.0, 0.0, 0.04), [](double x) { return -std::expm1(-0.04 * x); }},
        {5, OneRow(14.0, 2.0, 100.0),
         [](double x) { return 1.0 - std::pow((100 + kT) / (100 + kT + x), (14 - kI) * 2.0); }},
        {6, OneRow(60.0, 1.5, 900.0),
         [](double x) {
             auto m = [](double t) { return 60.0 * (1.0 - std::pow(900.0 / (900.0 + t), 1.5)); };
             return -std::expm1(-(m(kT + x) - m(kT)));
         }},
        {7, OneRow(3.0, 4.0, 2.0),
         [](double x) { return 1.0 - std::pow((4 + 2 * kI) / (4 + 2 * kI + x), 3.0); }},
        {8, OneRow(0.1, 0.02, 50.0),
         [](double x) { return 1.0 - std::pow(50.0 / (50.0 + x), 1.0 / (0.1 + 0.02 * kI)); }},
        // Limits: all faults found (the stored median is that of the vanishing rate 1e-30), no
        // shape or no scale.
        {1, OneRow(kI, 0.01, 0.0, PercentileJM(0.5, 1e-30)), nullptr, 1e30},
        {5, OneRow(kI, 2.0, 100.0), nullptr, 1e30},
        {7, OneRow(3.0, -30.0, 2.0), nullptr, 1e-30},
        {8, OneRow(-1.0, 0.02, 50.0), nullptr, 1e-30},
    };
    const SplineRecalibration levels = Levels(0.3, 0.6, 0.85);
    for (const Case& c : cases) {
        const std::optional<QuartileArrays> q =
            RecalibratedQuartiles(c.model, kStart, kOffset, c.fits, levels);
        ASSERT_TRUE(q) << "model " << c.model;
        EXPECT_EQ(q->lowQ[1], 0.0);
        if (!c.cdf) {
            EXPECT_EQ(q->lowQ[2], c.sentinel) << "model " << c.model;
            EXPECT_EQ(q->median[2], c.sentinel) << "model " << c.model;
            EXPECT_EQ(q->uppQ[2], c.sentinel) << "model " << c.model;
            continue;
        }
        // The quartiles come from closed forms: only rounding separates the round trip.
        EXPECT_CLOSE(c.cdf(q->lowQ[2]), 0.3, 1e-9) << "model " << c.model;
        EXPECT_CLOSE(c.cdf(q->median[2]), 0.6, 1e-9) << "model " << c.model;
        EXPECT_CLOSE(c.cdf(q->uppQ[2]), 0.85, 1e-9) << "model " << c.model;
    }
}

TEST(RecalibratedQuartiles, ALevelOutsideTheUnitIntervalGivesZeroAndIsCounted) {
    const std::optional<QuartileArrays> q =
        RecalibratedQuartiles(2, kStart, kOffset, OneRow(0.7, 0.3, 0.0), Levels(-0.01, 0.5, 1.2));
    ASSERT_TRUE(q);
    EXPECT_EQ(q->lowQ[2], 0.0);
    EXPECT_GT(q->median[2], 0.0);
    EXPECT_EQ(q->uppQ[2], 0.0);
    EXPECT_EQ(q->levelFaults, 2);
}

}  // namespace
}  // namespace tamsel
