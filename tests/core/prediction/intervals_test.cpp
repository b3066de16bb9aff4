#include "tamsel/prediction/intervals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tamsel/models/du_model.h"
#include "tamsel/models/jm_model.h"
#include "test_support.h"

namespace tamsel {
namespace {

struct Data {
    FailureSeries x{0.0};
    FailureSeries t{0.0};
    std::int32_t n = 0;
};

Data Sys1() {
    Data data;
    for (double value : test::ReadDataValues("sys1.txt")) {
        data.x.push_back(value);
        data.t.push_back(data.t.back() + value);
    }
    data.n = static_cast<std::int32_t>(data.x.size()) - 1;
    return data;
}

MinimisationSettings Reference() { return {300, 1e-15, 1e-8, 0.4, 1e-7}; }

StoredFit Stored(const EstimateRecord& r, std::int32_t i) {
    return {i, r.param1, r.param2, r.param3, r.median, 0.0};
}

// JM's log-likelihood with Lambda at its maximum for N, and with N at its maximum for Lambda
// (the root of sum 1 / (N - j + 1) = Lambda T, by bisection): written apart from the code under
// test.
double JMLogLikelihood(const Data& d, double n, double lambda) {
    double sum = d.n * std::log(lambda);
    for (int j = 1; j <= d.n; ++j) sum += std::log(n - j + 1) - lambda * (n - j + 1) * d.x[j];
    return sum;
}
double JMProfileInN(const Data& d, double n) {
    double w = 0.0;
    for (int j = 1; j <= d.n; ++j) w += (n - j + 1) * d.x[j];
    return JMLogLikelihood(d, n, d.n / w);
}
double JMProfileInLambda(const Data& d, double lambda) {
    double low = d.n - 1.0;
    double high = 1e12;
    for (int k = 0; k < 300; ++k) {
        const double middle = 0.5 * (low + high);
        double slope = -lambda * d.t[d.n];
        for (int j = 1; j <= d.n; ++j) slope += 1.0 / (middle - j + 1);
        (slope > 0.0 ? low : high) = middle;
    }
    return JMLogLikelihood(d, 0.5 * (low + high), lambda);
}

const ModelInfo& Model(const char* code) { return *FindModel(code); }

TEST(ParameterIntervals, ProfileEndsLieWhereTheProfileDropsByTheChiSquareHalfQuantile) {
    const Data d = Sys1();
    const StoredFit fit = Stored(PrepareJM(d.x, d.t, d.n, Reference())(d.n).record, d.n);
    const ParameterIntervals result =
        ParameterIntervalsAt(Model("JM"), d.x, d.t, fit, FitOutcome::Converged);
    ASSERT_EQ(result.method, IntervalMethod::ProfileLikelihood);
    ASSERT_EQ(result.status, IntervalStatus::Computed);
    const double top = JMLogLikelihood(d, fit.param1, fit.param2);
    const ParameterInterval& n = result.parameters[0];
    const ParameterInterval& lambda = result.parameters[1];
    EXPECT_LT(n.lower, fit.param1);
    EXPECT_GT(n.upper, fit.param1);
    EXPECT_LT(lambda.lower, fit.param2);
    EXPECT_GT(lambda.upper, fit.param2);
    for (double end : {n.lower, n.upper}) {
        EXPECT_CLOSE_ABS(JMProfileInN(d, end), top - kProfileDrop, 1e-6);
    }
    for (double end : {lambda.lower, lambda.upper}) {
        EXPECT_CLOSE_ABS(JMProfileInLambda(d, end), top - kProfileDrop, 1e-6);
    }

    // A limit fit has no finite interval.
    const ParameterIntervals limit =
        ParameterIntervalsAt(Model("JM"), d.x, d.t, fit, FitOutcome::Limit);
    EXPECT_EQ(limit.status, IntervalStatus::NoFiniteInterval);
    EXPECT_EQ(limit.parameters[0].upper, std::numeric_limits<double>::infinity());
}

// Duane's observed information in (ln Beta, ln Alpha) at the maximum is i [[1 + (Beta ln T)^2,
// Beta ln T], [Beta ln T, 1]], whose inverse has the diagonal 1 / i and (1 + (Beta ln T)^2) / i.
TEST(ParameterIntervals, ObservedInformationIntervalsMatchDuanesClosedForm) {
    const Data d = Sys1();
    const StoredFit fit = Stored(PrepareDu(d.x, d.t, d.n)(d.n).record, d.n);
    const ParameterIntervals result =
        ParameterIntervalsAt(Model("Du"), d.x, d.t, fit, FitOutcome::Converged);
    ASSERT_EQ(result.method, IntervalMethod::ObservedInformation);
    ASSERT_EQ(result.status, IntervalStatus::Computed);
    const double beta = fit.param1;
    const double alpha = fit.param2;
    const double spread = beta * std::log(d.t[d.n]);
    const double halfBeta = kWaldQuantile / std::sqrt(d.n);
    const double halfAlpha = kWaldQuantile * std::sqrt((1.0 + spread * spread) / d.n);
    EXPECT_CLOSE(result.parameters[0].lower, beta * std::exp(-halfBeta), 1e-6);
    EXPECT_CLOSE(result.parameters[0].upper, beta * std::exp(halfBeta), 1e-6);
    EXPECT_CLOSE(result.parameters[1].lower, alpha * std::exp(-halfAlpha), 1e-6);
    EXPECT_CLOSE(result.parameters[1].upper, alpha * std::exp(halfAlpha), 1e-6);
}

}  // namespace
}  // namespace tamsel
