#include "tamsel/models/du_model.h"

#include <gtest/gtest.h>

#include <boost/math/quadrature/exp_sinh.hpp>
#include <cmath>
#include <numbers>

#include "model_test_support.h"
#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

using test::FromCumulative;
using test::Series;

EstimateRecord FitDu(const Series& series, std::int32_t i, std::int32_t rangeEnd) {
    return PrepareDu(series.x, series.t, rangeEnd)(i).record;
}

// The integral of the survival function exp(-Alpha ((T + s)^Beta - T^Beta)) over s >= 0.
double IntegratedSurvival(double beta, double alpha, double time) {
    boost::math::quadrature::exp_sinh<double> integrator;
    double base = std::pow(time, beta);
    auto survival = [&](double s) { return std::exp(-alpha * (std::pow(time + s, beta) - base)); };
    return integrator.integrate(survival, 1e-14);
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

TEST(Duane, MeanIsTheIntegralOfTheSurvivalFunction) {
    const double time = 1000.0;
    for (double beta : {0.5, 1.0, 2.0}) {
        for (std::int32_t i = 2; i <= 500; ++i) {
            SCOPED_TRACE(std::to_string(beta) + " at " + std::to_string(i));
            double alpha = i / std::pow(time, beta);
            const Guarded mean = MttfDu(beta, alpha, i, time);
            EXPECT_CLOSE(mean.value.value(), IntegratedSurvival(beta, alpha, time), 1e-10);
            EXPECT_EQ(mean.fault, MathFault::None);
        }
    }
    // Small Beta puts i below a + 1, where the upper gamma function is 1 - P.
    for (std::int32_t i = 2; i <= 30; ++i) {
        SCOPED_TRACE(i);
        double beta = 0.05;
        double alpha = i / std::pow(time, beta);
        const Guarded mean = MttfDu(beta, alpha, i, time);
        EXPECT_CLOSE(mean.value.value(), IntegratedSurvival(beta, alpha, time), 1e-9);
        EXPECT_EQ(mean.fault, MathFault::None);
    }
}

TEST(Duane, MeanBeyondTheDoublesIsInfinite) {
    // a = 1000: e^i Gamma(a) / (Beta Alpha^a) is about e^2942, where Gamma(a) alone overflows.
    const double beta = 1e-3;
    const double time = 500.0;
    double alpha = 20 / std::pow(time, beta);
    const Guarded mean = MttfDu(beta, alpha, 20, time);
    EXPECT_EQ(mean.value, kInfiniteMttf);
    EXPECT_EQ(mean.fault, MathFault::None);
}

TEST(Duane, DistributionFunctionSaturatesBeyondTheExponentFloor) {
    double survival = -1.0;
    EXPECT_EQ(CdfDu(10.0, 1000.0, 1.0, 1.0, survival), 1.0);
    EXPECT_EQ(survival, 0.0);
    EXPECT_CLOSE(CdfDu(10.0, 699.0, 1.0, 1.0, survival), 1.0, 1e-15);
    EXPECT_CLOSE(survival, std::exp(-699.0), 1e-12);
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

}  // namespace
}  // namespace tamsel
