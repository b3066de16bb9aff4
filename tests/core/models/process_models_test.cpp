// The Jelinski-Moranda, Duane, Goel-Okumoto and Musa-Okumoto fits at their closed forms,
// limits and planted maxima.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model_test_support.h"
#include "tamsel/models/du_model.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/mo_model.h"
#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

using test::FromCumulative;
using test::FromDataFile;
using test::FromInterfailure;
using test::ReferenceSettings;
using test::Series;

EstimateRecord FitJM(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareJM(series.x, series.t, rangeEnd, ReferenceSettings())(i).record;
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
                EXPECT_GT(record.mttf, 0.0);
                break;
        }
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

EstimateRecord FitDu(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareDu(series.x, series.t, rangeEnd)(i).record;
}

TEST(Duane, ClosedFormFitOnTwoFailures) {
    Series series = FromCumulative({1.0, std::numbers::e, 4.0});
    EstimateRecord record = FitDu(series, 2, 3);
    EXPECT_CLOSE(record.param1, 2.0, 1e-15);
    EXPECT_CLOSE(record.param2, 2.0 / (std::numbers::e * std::numbers::e), 1e-15);
    EXPECT_CLOSE(record.param2 * std::pow(std::numbers::e, record.param1), 2.0, 1e-15);
    EXPECT_EQ(record.param3, 0.0);
    // 2 ln(Alpha Beta) + (Beta - 1) sum ln t(j) - Alpha T^Beta at the maximum.
    EXPECT_CLOSE(record.logLhd, 2.0 * std::log(4.0 / (std::numbers::e * std::numbers::e)) - 1.0,
                 1e-14);
    double survival = 0.0;
    EXPECT_EQ(record.cdf,
              CdfDu(std::numbers::e, 4.0 - std::numbers::e, 2.0, record.param2, survival));
    EXPECT_GT(record.cdf, 0.0);
    EXPECT_EQ(FitDu(series, 2, 2).cdf, 0.0);
    EXPECT_EQ(FitDu(series, 2, 2).pdf, 0.0);
}

TEST(Duane, UndefinedFitsStoreTheHomogeneousProcess) {
    struct Case {
        const char* what;
        std::vector<double> cumulative;
        std::int32_t i;
    };
    for (const Case& c :
         {Case{"equal cumulative times", {115, 115, 200}, 2},
          Case{"a first time of zero", {0, 5, 12, 20}, 3}, Case{"the first failure", {7, 9}, 1}}) {
        SCOPED_TRACE(c.what);
        Series series = FromCumulative(c.cumulative);
        EstimateRecord record = FitDu(series, c.i, series.Count());
        double time = series.t[c.i];
        EXPECT_EQ(record.param1, 1.0);
        EXPECT_CLOSE(record.param2, c.i / time, 1e-15);
        EXPECT_CLOSE(record.mttf, time / c.i, 1e-13);
        EXPECT_CLOSE(record.median, std::numbers::ln2 * time / c.i, 1e-12);
        EXPECT_CLOSE(record.cdf, 1.0 - std::exp(-c.i / time * series.x[c.i + 1]), 1e-13);
    }
    // All failures at time 0: the rate is infinite and stored as 1e30.
    EstimateRecord record = FitDu(FromCumulative({0, 0, 0, 0}), 3, 4);
    EXPECT_EQ(record.param1, 1.0);
    EXPECT_EQ(record.param2, kInfiniteQuartile);
    EXPECT_TRUE(std::isfinite(record.mttf));
    EXPECT_TRUE(std::isfinite(record.pdf));
}

EstimateRecord FitGO(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareGO(series.x, series.t, rangeEnd, ReferenceSettings())(i).record;
}

TEST(GoelOkumoto, NoGrowthGivesTheHomogeneousLimit) {
    // Failure times 1, 2, 3, 4: m = 2.5 > T / 2 = 2.
    Series series = FromCumulative({1, 2, 3, 4, 6});
    EstimateRecord record = FitGO(series, 4, 5);
    EXPECT_EQ(record.param1, kInfiniteFaults);
    EXPECT_EQ(record.param2, 0.0);
    EXPECT_EQ(record.param3, 1.0);
    EXPECT_EQ(record.mttf, 1.0);
    EXPECT_CLOSE(record.lowQ, -std::log(0.75), 1e-15);
    EXPECT_CLOSE(record.median, std::numbers::ln2, 1e-15);
    EXPECT_CLOSE(record.uppQ, std::log(4.0), 1e-15);
    EXPECT_CLOSE(record.cdf, 1.0 - std::exp(-2.0), 1e-15);
    EXPECT_CLOSE(record.pdf, std::exp(-2.0), 1e-15);
}

TEST(GoelOkumoto, DistributionsStopWhereNoFurtherFailureIsExpected) {
    // Mu e^(-Phi T) = 0.5 more failures are expected: the distribution stops at 1 - e^-0.5.
    double stop = -std::expm1(-0.5);
    EXPECT_EQ(PercentileGO(stop + 1e-9, std::log(100.0) / 100.0, 100.0, 50.0), kInfiniteQuartile);
    EXPECT_LT(PercentileGO(stop - 1e-9, std::log(100.0) / 100.0, 100.0, 50.0), 1e30);
    double survival = -1.0;
    EXPECT_EQ(CdfGO(0.0, 1.0, 1.0, 1e6, survival), 1.0);
    EXPECT_EQ(survival, 0.0);
    EXPECT_EQ(PercentileHpp(0.5, kVanishing), kInfiniteQuartile);
    EXPECT_EQ(CdfHpp(701.0, 1.0), 1.0);
}

EstimateRecord FitMO(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareMO(series.x, series.t, rangeEnd, ReferenceSettings())(i).record;
}

TEST(MusaOkumoto, FitAtTheLowerEndHasUnitScale) {
    // A first failure at time 0 draws the maximum to a = 0; the search stops at theta0,
    // where beta0 = 1 up to rounding.
    Series series = FromInterfailure({0.0, 10.0, 5.0});
    EstimateRecord record = FitMO(series, 2, 3);
    EXPECT_CLOSE(record.param2, 1.0, 1e-6);
    double scale = record.param1 + 10.0;
    EXPECT_GE(record.mttf, 1e6 * scale);
    // With beta0 = 1 the quartiles are (a + T) (1 / (1 - p) - 1).
    EXPECT_CLOSE(record.lowQ, scale / 3.0, 1e-6);
    EXPECT_CLOSE(record.median, scale, 1e-6);
    EXPECT_CLOSE(record.uppQ, 3.0 * scale, 1e-6);
}

}  // namespace
}  // namespace tamsel
