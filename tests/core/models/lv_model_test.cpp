#include "tamsel/models/lv_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Point3;
using test::Series;

// psi(j) on the line through (1, first) and (n, last).
double Psi(std::int32_t j, std::int32_t n, double first, double last) {
    return (first * (n - j) + last * (j - 1)) / (n - 1);
}

// ln L of x(1..n) from the density alpha psi^alpha / (psi + x)^(alpha + 1), written as
// (alpha / psi) (1 + x / psi)^-(alpha + 1).
double LvLogLikelihood(const FailureSeries& x, std::int32_t n, double alpha,
                       const std::function<double(std::int32_t)>& psi) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(alpha / psi(j)) - (alpha + 1.0) * std::log1p(x[j] / psi(j));
    }
    return sum;
}

TEST(LvObjective, IsTheNegativeProfileLogLikelihood) {
    Series sys1 = test::FromDataFile("sys1.txt");
    test::Simulator random(71);
    for (int k = 0; k < 40; ++k) {
        std::int32_t n = 10 + 3 * k;
        double p1 = std::exp(-1.0 + 9.0 * std::exp(-random.Exponential(1.0)));
        double p2 = std::exp(-1.0 + 9.0 * std::exp(-random.Exponential(1.0)));
        double first = p1 * p1 + 1e-15;
        double last = p2 * p2 + 1e-15;
        auto psi = [&](std::int32_t j) { return Psi(j, n, first, last); };
        // The maximum over alpha.
        double profile = -test::GoldenSectionMinimum(
            [&](double logAlpha) { return -LvLogLikelihood(sys1.x, n, std::exp(logAlpha), psi); },
            -40.0, 40.0);
        std::array<double, 2> g{};
        EXPECT_CLOSE(ObjectiveLV(std::array{p1, p2}, g, n, 1e-15, sys1.x), -profile, 1e-11)
            << "n " << n << " p " << p1 << ", " << p2;
    }
}

// Running weights w1 += 1 / (n - 1) end a hair away from 1 and can make psi(n) negative for a
// huge first end and a tiny last end; the fit's psi(n) is the last end itself.
TEST(LvObjective, TinyLastEndAfterHugeFirstEndStaysFinite) {
    Series sys1 = test::FromDataFile("sys1.txt");
    for (std::int32_t n : {21, 49, 62, 68}) {
        std::array<double, 2> p{1e7, 0.0};
        std::array<double, 2> g{};
        double f = ObjectiveLV(p, g, n, 1e-15, sys1.x);
        EXPECT_LT(f, 1e100) << n;
        EXPECT_TRUE(std::isfinite(g[0])) << n;
    }
}

TEST(LvRecord, FieldsFollowTheFittedEnds) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 40;
    const double first = 120.0;
    const double last = 900.0;
    EstimateRecord record = RecordLV(sys1.x, i, 136, first, last);
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += std::log(1.0 + sys1.x[j] / Psi(j, i, first, last));
    double alpha = i / sum;
    EXPECT_CLOSE(record.param1, alpha, 1e-13);
    EXPECT_CLOSE(record.param3, 20.0, 1e-15);   // (900 - 120) / 39
    EXPECT_CLOSE(record.param2, 100.0, 1e-15);  // 120 - 20
    EXPECT_EQ(record.logLhd, 0.0);
    EXPECT_CLOSE(record.mttf, last / (alpha - 1.0), 1e-13);
    EXPECT_CLOSE(record.uppQ, last * (std::pow(0.25, -1.0 / alpha) - 1.0), 1e-12);
    double survival = std::pow(1.0 + sys1.x[i + 1] / last, -alpha);
    EXPECT_CLOSE(record.cdf, 1.0 - survival, 1e-12);
    EXPECT_CLOSE(record.pdf, alpha * survival / (sys1.x[i + 1] + last), 1e-12);
}

TEST(LvRecord, EqualEndsGiveZeroSlope) {
    Series sys1 = test::FromDataFile("sys1.txt");
    EstimateRecord record = RecordLV(sys1.x, 60, 136, 750.0, 750.0);
    EXPECT_EQ(record.param3, 0.0);
    EXPECT_EQ(record.param2, 750.0);
}

TEST(LvRecord, ShapeAtMostOneGivesInfiniteMeanAndFiniteQuartiles) {
    Series sys1 = test::FromDataFile("sys1.txt");
    // psi = 1 against interfailure times of hundreds: alpha = 1 / mean ln(1 + x) < 1.
    EstimateRecord record = RecordLV(sys1.x, 50, 136, 1.0, 1.0);
    ASSERT_LE(record.param1, 1.0);
    EXPECT_EQ(record.mttf, 1e307);
    EXPECT_CLOSE(record.lowQ, std::pow(0.75, -1.0 / record.param1) - 1.0, 1e-12);
    EXPECT_CLOSE(record.uppQ, std::pow(0.25, -1.0 / record.param1) - 1.0, 1e-12);
    EXPECT_LT(record.uppQ, 1e30);
    EXPECT_EQ(MttfLV(1.0, 10.0), 1e307);
    EXPECT_CLOSE(MttfLV(3.0, 10.0), 5.0, 1e-15);
}

// Interfailure times drawn from the model with alpha = 4, psi(j) = 20 + 5 j.
TEST(LvEstimate, RecoversPlantedParameters) {
    const double alpha = 4.0;
    const double beta1 = 20.0;
    const double beta2 = 5.0;
    const std::int32_t n = 300;
    test::Simulator random(2024);
    std::vector<double> times;
    for (std::int32_t j = 1; j <= n; ++j) {
        times.push_back((beta1 + beta2 * j) * std::expm1(random.Exponential(1.0) / alpha));
    }
    Series data = test::FromInterfailure(times);
    EstimatesArray estimates;
    ASSERT_EQ(EstimateLV(data.x, data.t, n, n, test::ReferenceSettings(), estimates, {}).status,
              EstimationStatus::Completed);
    const EstimateRecord& fit = estimates[n];
    auto nll = [&](const Point3& q) {
        return -LvLogLikelihood(data.x, n, q[0], [&](std::int32_t j) { return q[1] + q[2] * j; });
    };
    Point3 se = test::StandardErrors(nll, {fit.param1, fit.param2, fit.param3});
    EXPECT_LT(std::fabs(fit.param1 - alpha), 3.0 * se[0]) << fit.param1 << " se " << se[0];
    EXPECT_LT(std::fabs(fit.param2 - beta1), 3.0 * se[1]) << fit.param2 << " se " << se[1];
    EXPECT_LT(std::fabs(fit.param3 - beta2), 3.0 * se[2]) << fit.param3 << " se " << se[2];
    std::printf("planted: alpha %.4g (se %.3g), beta1 %.4g (se %.3g), beta2 %.4g (se %.3g)\n",
                fit.param1, se[0], fit.param2, se[1], fit.param3, se[2]);
}

// Fits at every index of the default range of sys1 and ntds are maxima of the likelihood.
TEST(LvEstimate, FitsAreLikelihoodMaxima) {
    auto view = [](const Series& data, std::int32_t i, const EstimateRecord& r) {
        // (ln alpha, ln psi(1), ln psi(i)), inside the fit's box psi <= 1e14.
        return test::StoredFit{
            [&data, i](const Point3& q) {
                double first = std::exp(q[1]);
                double last = std::exp(q[2]);
                return LvLogLikelihood(data.x, i, std::exp(q[0]),
                                       [&](std::int32_t j) { return Psi(j, i, first, last); });
            },
            {std::log(r.param1), std::log(r.param2 + r.param3), std::log(r.param2 + r.param3 * i)},
            {{-200.0, std::log(1e-15), std::log(1e-15)}, {200.0, std::log(1e14), std::log(1e14)}}};
    };
    // The fit stops once |g| < 1e-7 in (p1, p2): where the likelihood rises slowly along a
    // ridge, that leaves up to about 1e-4 unclimbed.
    double largest = test::LargestShortfallOnReferenceData(&EstimateLV, view, 2e-4);
    std::printf("largest log-likelihood shortfall %.3g\n", largest);
}

}  // namespace
}  // namespace tamsel
