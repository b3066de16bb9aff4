#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tamsel/models/jm_model.h"
#include "tamsel/recalibration/recalibration.h"
#include "test_support.h"

namespace tamsel {
namespace {

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
