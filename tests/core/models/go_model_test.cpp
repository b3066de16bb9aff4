#include "tamsel/models/go_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model_test_support.h"
#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

using test::FromCumulative;
using test::FromDataFile;
using test::ReferenceSettings;
using test::Series;

EstimateRecord FitGO(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareGO(series.x, series.t, rangeEnd, ReferenceSettings())(i).record;
}

// The log-likelihood of failures 1..i (sum of the failure times sum, last one at time)
// maximised over Mu for this Phi.
double ProfileLogLikelihood(std::int32_t i, double sum, double time, double phi) {
    double mu = i / -std::expm1(-phi * time);
    return i * std::log(mu) + i * std::log(phi) - phi * sum - i;
}

double ProfileLogLikelihood(const Series& series, std::int32_t i, double phi) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += series.t[j];
    return ProfileLogLikelihood(i, sum, series.t[i], phi);
}

// The Phi in [1e-10 / T, i / sum t(j)] that maximises the profile, over ln Phi.
double ProfileArgMax(const Series& series, std::int32_t i) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += series.t[j];
    const double time = series.t[i];
    auto at = [&](double u) { return ProfileLogLikelihood(i, sum, time, std::exp(u)); };
    return std::exp(test::GridArgMax(at, std::log(1e-10 / time), std::log(i / sum)));
}

TEST(GoelOkumoto, EveryRegularIndexMaximisesTheLikelihood) {
    for (const char* file : {"ntds.txt", "sys1.txt", "csr3.txt", "ss1b.txt"}) {
        Series series = FromDataFile(file);
        for (std::int32_t i = 2; i <= series.Count(); ++i) {
            EstimateRecord record = FitGO(series, i, series.Count());
            if (record.param1 == kInfiniteFaults) continue;
            SCOPED_TRACE(std::string(file) + " at " + std::to_string(i));
            double best = ProfileArgMax(series, i);
            // The likelihood decides; where the profile is flat (ss1b) a likelihood within
            // 1e-9 of the maximum leaves Phi uncertain to a few 1e-4.
            EXPECT_CLOSE(record.param2, best, 1e-3);
            EXPECT_GE(ProfileLogLikelihood(series, i, record.param2),
                      ProfileLogLikelihood(series, i, best) - 1e-9);
            EXPECT_CLOSE(record.param1 * -std::expm1(-record.param2 * series.t[i]), i, 1e-14);
        }
    }
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

TEST(GoelOkumoto, GrowthGoesToTheMinimiser) {
    // Failure times 1, 2, 4, 20: m = 6.75 <= T / 2 = 10.
    Series series = FromCumulative({1, 2, 4, 20, 30});
    EstimateRecord record = FitGO(series, 4, 5);
    EXPECT_GT(1.0 / record.param2, 6.75);
    EXPECT_CLOSE(record.param2, ProfileArgMax(series, 4), 1e-6);
    EXPECT_CLOSE(record.param1, 4.0 / (1.0 - std::exp(-20.0 * record.param2)), 1e-14);
    EXPECT_EQ(record.mttf, kInfiniteMttf);
    double survival = 0.0;
    EXPECT_EQ(record.cdf, CdfGO(20.0, 10.0, record.param2, record.param1, survival));
    EXPECT_CLOSE(record.pdf,
                 record.param2 * record.param1 * std::exp(-30.0 * record.param2) * survival, 1e-15);
}

TEST(GoelOkumoto, UpperQuartileIsInfiniteWhenTheDistributionNeverReachesIt) {
    Series series = FromDataFile("musa_sys3.txt");
    int infinite = 0;
    for (std::int32_t i = 20; i <= series.Count(); ++i) {
        EstimateRecord record = FitGO(series, i, series.Count());
        if (record.param1 == kInfiniteFaults) continue;
        SCOPED_TRACE(i);
        double remaining = record.param1 * std::exp(-record.param2 * series.t[i]);
        bool reached = -std::expm1(-remaining) > 0.75;
        EXPECT_EQ(record.uppQ == kInfiniteQuartile, !reached);
        infinite += reached ? 0 : 1;
        EXPECT_EQ(record.mttf, kInfiniteMttf);
    }
    EXPECT_GT(infinite, 0);
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

}  // namespace
}  // namespace tamsel
