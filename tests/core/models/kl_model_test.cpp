#include "tamsel/models/kl_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Point3;
using test::Series;

// ln L of x(1..n) from the density s beta^s / (beta + x)^(s + 1), written as
// (s / beta) (1 + x / beta)^-(s + 1), with shape(j) = s(j).
double KlLogLikelihood(const FailureSeries& x, std::int32_t n, double beta,
                       const std::function<double(std::int32_t)>& shape) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(shape(j) / beta) - (shape(j) + 1.0) * std::log1p(x[j] / beta);
    }
    return sum;
}

// 1 / s(j) on the line through (1, first) and (n, last).
double InverseShape(std::int32_t j, std::int32_t n, double first, double last) {
    return (first * (n - j) + last * (j - 1)) / (n - 1);
}

TEST(KlObjective, IsTheNegativeProfileLogLikelihood) {
    Series sys1 = test::FromDataFile("sys1.txt");
    test::Simulator random(81);
    for (int k = 0; k < 40; ++k) {
        std::int32_t n = 10 + 3 * k;
        double p1 = std::exp(-2.0 + 4.0 * std::exp(-random.Exponential(1.0)));
        double p2 = std::exp(-1.0 + 9.0 * std::exp(-random.Exponential(1.0)));
        double ratio = p1 * p1 + 1e-15;
        double beta = p2 * p2 + 1e-15;
        // The maximum over the level 1 / s(1).
        double profile = -test::GoldenSectionMinimum(
            [&](double logFirst) {
                double first = std::exp(logFirst);
                return -KlLogLikelihood(sys1.x, n, beta, [&](std::int32_t j) {
                    return 1.0 / InverseShape(j, n, first, ratio * first);
                });
            },
            -40.0, 40.0);
        std::array<double, 2> g{};
        EXPECT_CLOSE(ObjectiveKL(std::array{p1, p2}, g, n, 1e-15, sys1.x), -profile, 1e-11)
            << "n " << n << " p " << p1 << ", " << p2;
    }
}

TEST(KlRecord, FieldsFollowTheFittedRatioAndScale) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 40;
    const double ratio = 3.0;
    const double beta = 800.0;
    EstimateRecord record = RecordKL(sys1.x, i, 136, ratio, beta);
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) {
        sum += std::log(1.0 + sys1.x[j] / beta) / InverseShape(j, i, 1.0, ratio);
    }
    double first = sum / i;  // 1 / s(1)
    double b1 = (ratio * first - first) / (i - 1);
    double b0 = first - b1;
    double s = 1.0 / (b0 + b1 * i);
    EXPECT_CLOSE(record.param1, b0, 1e-13);
    EXPECT_CLOSE(record.param2, b1, 1e-13);
    EXPECT_EQ(record.param3, beta);
    EXPECT_EQ(record.logLhd, 0.0);
    EXPECT_CLOSE(record.mttf, beta / (s - 1.0), 1e-12);
    EXPECT_CLOSE(record.lowQ, beta * (std::pow(0.75, -1.0 / s) - 1.0), 1e-12);
    double survival = std::pow(1.0 + sys1.x[i + 1] / beta, -s);
    EXPECT_CLOSE(record.cdf, 1.0 - survival, 1e-12);
    EXPECT_CLOSE(record.pdf, s * survival / (sys1.x[i + 1] + beta), 1e-12);
}

TEST(KlRecord, UnitRatioGivesEqualShapes) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 60;
    const double beta = 2000.0;
    EstimateRecord record = RecordKL(sys1.x, i, 136, 1.0, beta);
    EXPECT_EQ(record.param2, 0.0);
    // One Pareto shape for every failure: s = i / sum ln(1 + x / beta).
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += std::log1p(sys1.x[j] / beta);
    EXPECT_CLOSE(record.param1, sum / i, 1e-13);
    EXPECT_CLOSE(record.mttf, beta / (i / sum - 1.0), 1e-12);
}

// For a ratio far below 1, Alpha1 + Alpha2 i cancels: the prediction uses 1 / s(i) = A / s(1).
TEST(KlRecord, TinyRatioKeepsThePredictionShape) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 40;
    const double ratio = 1e-12;
    const double beta = 500.0;
    EstimateRecord record = RecordKL(sys1.x, i, 136, ratio, beta);
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) {
        sum += std::log1p(sys1.x[j] / beta) / InverseShape(j, i, 1.0, ratio);
    }
    double s = i / (ratio * sum);
    EXPECT_CLOSE(record.mttf, beta / (s - 1.0), 1e-12);
    EXPECT_CLOSE(record.median, beta * std::expm1(std::log(2.0) / s), 1e-12);
}

TEST(KlRecord, ShapeAtMostOneGivesInfiniteMeanAndFiniteQuartiles) {
    Series sys1 = test::FromDataFile("sys1.txt");
    // beta = 1 against interfailure times of hundreds: s(i) = 1 / mean ln(1 + x) < 1.
    EstimateRecord record = RecordKL(sys1.x, 50, 136, 1.0, 1.0);
    double s = 1.0 / record.param1;
    ASSERT_LE(s, 1.0);
    EXPECT_EQ(record.mttf, 1e307);
    EXPECT_CLOSE(record.uppQ, std::pow(0.25, -1.0 / s) - 1.0, 1e-12);
    EXPECT_LT(record.uppQ, 1e30);
    EXPECT_EQ(MttfKL(1.0, 10.0), 1e307);
    EXPECT_CLOSE(MttfKL(3.0, 10.0), 5.0, 1e-15);
}

// Fits at every index of the default range of sys1 and ntds are maxima of the likelihood.
TEST(KlEstimate, FitsAreLikelihoodMaxima) {
    auto view = [](const Series& data, std::int32_t i, const EstimateRecord& r) {
        // (ln 1 / s(1), ln 1 / s(i), ln beta), inside the fit's box s(1) / s(i), beta <= 1e14.
        return test::StoredFit{
            [&data, i](const Point3& q) {
                if (q[1] - q[0] > std::log(1e14) || q[1] - q[0] < std::log(1e-15)) {
                    return -std::numeric_limits<double>::infinity();
                }
                double first = std::exp(q[0]);
                double last = std::exp(q[1]);
                return KlLogLikelihood(data.x, i, std::exp(q[2]), [&](std::int32_t j) {
                    return 1.0 / InverseShape(j, i, first, last);
                });
            },
            {std::log(r.param1 + r.param2), std::log(r.param1 + r.param2 * i), std::log(r.param3)},
            {{-200.0, -200.0, std::log(1e-15)}, {200.0, 200.0, std::log(1e14)}}};
    };
    // The fit stops once |g| < 1e-7 in (p1, p2): where the likelihood rises slowly along a
    // ridge, that leaves up to about 1e-4 unclimbed.
    double largest = test::LargestShortfallOnReferenceData(&EstimateKL, view, 2e-4);
    std::printf("largest log-likelihood shortfall %.3g\n", largest);
}

}  // namespace
}  // namespace tamsel
