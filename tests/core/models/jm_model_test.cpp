#include "tamsel/models/jm_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model_test_support.h"
#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

using test::FromDataFile;
using test::FromInterfailure;
using test::ReferenceSettings;
using test::Series;

EstimateRecord FitJM(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareJM(series.x, series.t, rangeEnd, ReferenceSettings())(i).record;
}

// The log-likelihood of failures 1..i maximised over Lambda for this N.
double ProfileLogLikelihood(const Series& series, std::int32_t i, double n) {
    double weighted = 0.0;
    double logs = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) {
        weighted += (n - j + 1) * series.x[j];
        logs += std::log(n - j + 1);
    }
    return logs + i * std::log(i / weighted) - i;
}

// The N >= i that maximises the profile, over u = ln(1 + N - i) for N - i in [0, 1e7].
double ProfileArgMax(const Series& series, std::int32_t i) {
    auto at = [&](double u) { return ProfileLogLikelihood(series, i, i + std::expm1(u)); };
    return i + std::expm1(test::GridArgMax(at, 0.0, std::log1p(1e7)));
}

TEST(JelinskiMoranda, EveryIndexMaximisesTheLikelihood) {
    for (const char* file : {"ntds.txt", "sys1.txt", "musa_sys3.txt"}) {
        Series series = FromDataFile(file);
        for (std::int32_t i = 2; i <= series.Count(); ++i) {
            SCOPED_TRACE(std::string(file) + " at " + std::to_string(i));
            EstimateRecord record = FitJM(series, i, series.Count());
            double best = ProfileArgMax(series, i);
            if (record.param1 == i) {
                // All faults found: the profile falls from N = i on.
                EXPECT_LT(best - i, 1e-3 * i);
            } else if (record.param1 == kInfiniteFaults) {
                // No fault reduction: the profile still rises at N = 1e6.
                EXPECT_GT(best, 1e6);
            } else {
                // Where the profile is flat the grid search places its maximum only to
                // about the square root of the rounding error.
                EXPECT_CLOSE(record.param1, best, 1e-4);
                EXPECT_GE(ProfileLogLikelihood(series, i, record.param1),
                          ProfileLogLikelihood(series, i, best) - 1e-9);
            }
        }
    }
}

TEST(JelinskiMoranda, FirstIndexFindsAllFaults) {
    Series series = FromInterfailure({4.0, 7.0});
    EstimateRecord record = FitJM(series, 1, 2);
    EXPECT_EQ(record.param1, 1.0);
    EXPECT_EQ(record.param2, 0.25);
    EXPECT_EQ(record.mttf, 0.0);
    EXPECT_EQ(record.cdf, 0.0);
    EXPECT_EQ(record.pdf, kVanishing);
    EXPECT_CLOSE(record.median, std::numbers::ln2 / kVanishing, 1e-15);
}

// At i = 2 all faults are found exactly when x(2) >= 2 x(1); no fault reduction when
// x(2) < x(1); in between the minimiser decides. Equal times reach the minimiser too, whose
// profile rises without end. A second time of zero must not reach the second limit test,
// which would divide by it.
TEST(JelinskiMoranda, SecondIndexCasesFollowTheLimitTests) {
    enum class Kind { AllFound, NoReduction, Regular };
    struct Case {
        double x1, x2;
        Kind kind;
    };
    for (const Case& c : {Case{3, 30, Kind::AllFound}, Case{3, 6, Kind::AllFound},
                          Case{3, 5, Kind::Regular}, Case{3, 3, Kind::NoReduction},
                          Case{3, 2, Kind::NoReduction}, Case{115, 0, Kind::NoReduction}}) {
        SCOPED_TRACE(std::to_string(c.x1) + ", " + std::to_string(c.x2));
        Series series = FromInterfailure({c.x1, c.x2, 1.0});
        EstimateRecord record = FitJM(series, 2, 3);
        double time = c.x1 + c.x2;
        switch (c.kind) {
            case Kind::AllFound:
                EXPECT_EQ(record.param1, 2.0);
                EXPECT_CLOSE(record.param2, 2.0 / (3 * time - (c.x1 + 2 * c.x2)), 1e-15);
                EXPECT_EQ(record.mttf, 0.0);
                EXPECT_EQ(record.cdf, 0.0);
                EXPECT_EQ(record.pdf, kVanishing);
                break;
            case Kind::NoReduction:
                EXPECT_EQ(record.param1, kInfiniteFaults);
                EXPECT_EQ(record.param2, kVanishing);
                EXPECT_EQ(record.mttf, 0.0);
                EXPECT_CLOSE(record.median, std::numbers::ln2 * time / 2.0, 1e-15);
                EXPECT_CLOSE(record.cdf, -std::expm1(-2.0 / time), 1e-15);
                break;
            case Kind::Regular:
                EXPECT_GT(record.param1, 2.0);
                EXPECT_LT(record.param1, kInfiniteFaults);
                EXPECT_CLOSE(record.param1, ProfileArgMax(series, 2), 1e-6);
                EXPECT_GT(record.mttf, 0.0);
                break;
        }
    }
}

// Just short of x(2) = 2 x(1) the maximum lies barely above N = 2; where the minimiser
// cannot place it above N = i within its tolerance, all faults count as found.
TEST(JelinskiMoranda, MaximumAtTheFoundFaultsIsAllFaultsFound) {
    for (double shortfall : {1e-3, 1e-9, 1e-12}) {
        SCOPED_TRACE(shortfall);
        EstimateRecord record = FitJM(FromInterfailure({1.0, 2.0 - shortfall, 1.0}), 2, 3);
        if (shortfall > 1e-8) {
            EXPECT_CLOSE(record.param1, 2.0 + shortfall, 1e-3);
            EXPECT_GT(record.mttf, 0.0);
        } else {
            EXPECT_EQ(record.param1, 2.0);
            EXPECT_EQ(record.mttf, 0.0);
            EXPECT_EQ(record.pdf, kVanishing);
        }
        EXPECT_GT(record.median, 0.0);
    }
}

TEST(JelinskiMoranda, ConstantTimesHaveNoFaultReduction) {
    Series series = FromInterfailure(std::vector<double>(30, 1.0));
    for (std::int32_t i = 2; i < 30; ++i) {
        SCOPED_TRACE(i);
        EstimateRecord record = FitJM(series, i, 30);
        EXPECT_EQ(record.param1, kInfiniteFaults);
        EXPECT_EQ(record.param2, kVanishing);
        EXPECT_EQ(record.mttf, 0.0);
        // The quartiles are those of the exponential distribution with mean T / i = 1.
        EXPECT_CLOSE(record.lowQ, -std::log(0.75), 1e-15);
        EXPECT_CLOSE(record.median, std::numbers::ln2, 1e-15);
        EXPECT_CLOSE(record.uppQ, std::log(4.0), 1e-15);
        EXPECT_CLOSE(record.cdf, 1.0 - std::exp(-1.0), 1e-15);
    }
}

// Interfailure times equal to their expectations under N0 faults of hazard 1 / N0: the
// maximum lies at N0, and beyond 999999 it counts as no fault reduction.
TEST(JelinskiMoranda, ProfileMaximumBeyondTheSentinelHasNoFaultReduction) {
    for (double n0 : {1e3, 1e5, 5e5, 2e6, 1e7}) {
        SCOPED_TRACE(n0);
        std::vector<double> times;
        for (int j = 1; j <= 30; ++j) times.push_back(n0 / (n0 - j + 1));
        EstimateRecord record = FitJM(FromInterfailure(times), 30, 30);
        if (n0 < kInfiniteFaults) {
            EXPECT_CLOSE(record.param1, n0, 1e-6);
            EXPECT_CLOSE(record.param2, 1.0 / n0, 1e-6);
        } else {
            EXPECT_EQ(record.param1, kInfiniteFaults);
            EXPECT_EQ(record.param2, kVanishing);
            EXPECT_EQ(record.mttf, 0.0);
        }
    }
}

TEST(JelinskiMoranda, ObjectiveIsTheNegativeProfileInY) {
    // With y = 1 / (N - n + R): -ObjectiveJM(y) + n ln(n / T) - n is the profile.
    Series series = FromDataFile("ntds.txt");
    const std::int32_t n = 26;
    double r = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) r += series.t[j];
    r /= series.t[n];
    for (double faults : {26.5, 31.0, 40.0, 200.0}) {
        double y = 1.0 / (faults - n + r);
        double profile = -ObjectiveJM(y, n, r) + n * std::log(n / series.t[n]) - n;
        EXPECT_CLOSE(profile, ProfileLogLikelihood(series, n, faults), 1e-12);
    }
    EXPECT_EQ(ObjectiveJM(0.0, n, r), 0.0);
    EXPECT_TRUE(std::isinf(ObjectiveJM(2.0 / r, n, r)));
}

}  // namespace
}  // namespace tamsel
