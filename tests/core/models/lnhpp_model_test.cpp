#include "tamsel/models/lnhpp_model.h"

#include <gtest/gtest.h>

#include <array>
#include <boost/math/quadrature/exp_sinh.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <cstdio>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/mo_model.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Point3;
using test::Series;

// ln L = sum ln lambda(t_j) - m(T) of failures 1..n observed up to T = t(n), with the
// intensity lambda(t) = mu (alpha / beta) (1 + t / beta)^-(alpha + 1) and
// m(T) = mu (1 - (1 + T / beta)^-alpha).
double LnhppLogLikelihood(const FailureSeries& t, std::int32_t n, double mu, double alpha,
                          double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(mu * alpha / beta) - (alpha + 1.0) * std::log1p(t[j] / beta);
    }
    return sum + mu * std::expm1(-alpha * std::log1p(t[n] / beta));
}

// The alpha with m(T) = n, by bisection on ln alpha.
double AlphaByBisection(double mu, double beta, double end, std::int32_t n) {
    double lo = -80.0;
    double hi = 80.0;
    for (int k = 0; k < 200; ++k) {
        double mid = 0.5 * (lo + hi);
        double m = -mu * std::expm1(-std::exp(mid) * std::log1p(end / beta));
        (m < n ? lo : hi) = mid;
    }
    return std::exp(0.5 * (lo + hi));
}

TEST(LnhppObjective, IsTheNegativeLogLikelihoodWithAlphaFromTheMeanValue) {
    Series sys1 = test::FromDataFile("sys1.txt");
    test::Simulator random(61);
    for (int k = 0; k < 40; ++k) {
        std::int32_t n = 10 + 3 * k;
        double p1 = std::exp(-2.0 + 10.0 * std::exp(-random.Exponential(1.0)));
        double p2 = std::exp(12.0 * std::exp(-random.Exponential(1.0)));
        double mu = n + p1 * p1 + 1e-15;
        double beta = p2 * p2 + 1e-15;
        double alpha = AlphaByBisection(mu, beta, sys1.t[n], n);
        std::array<double, 2> g{};
        EXPECT_CLOSE(ObjectiveLNHPP(std::array{p1, p2}, g, n, 1e-15, sys1.t[n], sys1.t),
                     -LnhppLogLikelihood(sys1.t, n, mu, alpha, beta), 1e-11)
            << "n " << n << " p " << p1 << ", " << p2;
    }
}

TEST(LnhppRecord, FieldsFollowTheFittedValues) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 40;
    const double remaining = 30.0;
    const double beta = 2000.0;
    EstimateRecord record = RecordLNHPP(sys1.x, sys1.t, i, 136, remaining, beta);
    // The textbook forms, without the rewrites that keep digits.
    double end = sys1.t[i];
    double mu = i + remaining;
    double alpha = std::log(1.0 + i / remaining) / std::log(1.0 + end / beta);
    double rEnd = std::pow(1.0 + end / beta, -alpha);
    double lambda = alpha * mu * rEnd / (beta + end);
    double m = (beta + end) * lambda / alpha;
    double r = (1.0 + 1.0 / alpha) / m;
    EXPECT_CLOSE(record.param1, mu, 1e-15);
    EXPECT_CLOSE(record.param2, alpha, 1e-13);
    EXPECT_EQ(record.param3, beta);
    EXPECT_CLOSE(record.mttf, (1.0 + r) / (lambda * (1.0 - std::exp(-m))), 1e-12);
    double v = 1.0 + std::log(0.5) * std::pow(1.0 + end / beta, alpha) / mu;
    double e = std::exp(std::log(v) / alpha);
    EXPECT_CLOSE(record.median, (end + beta) * (1.0 - e) / e, 1e-11);
    double next = sys1.x[i + 1];
    double rNext = std::pow(1.0 + (end + next) / beta, -alpha);
    double survival = std::exp(-mu * (rEnd - rNext));
    EXPECT_CLOSE(record.cdf, 1.0 - survival, 1e-11);
    EXPECT_CLOSE(record.pdf, alpha * mu * rNext * survival / (beta + end + next), 1e-11);
}

TEST(LnhppRecord, FewRemainingFailuresGiveNoMeanAndUnreachableQuartiles) {
    Series sys1 = test::FromDataFile("sys1.txt");
    // M = 0.5 expected further failures: r = (1 + 1 / alpha) / M >= 1, and a further failure
    // occurs with probability 1 - e^(-0.5) = 0.39 only.
    EstimateRecord record = RecordLNHPP(sys1.x, sys1.t, 40, 136, 0.5, 2000.0);
    EXPECT_EQ(record.mttf, 0.0);
    EXPECT_GT(record.lowQ, 0.0);
    EXPECT_LT(record.lowQ, 1e30);
    EXPECT_EQ(record.median, 1e30);
    EXPECT_EQ(record.uppQ, 1e30);
}

TEST(LnhppMttf, ExpectedFailuresDecideTheCorrection) {
    const double alpha = 2.0;
    const double beta = 100.0;
    const double end = 300.0;
    struct Case {
        double expected;  // M
        double occurs;    // D
    };
    for (Case c : {Case{2.0, 1.0 - std::exp(-2.0)}, Case{699.0, 1.0 - std::exp(-699.0)},
                   Case{700.0, 1.0}, Case{800.0, 1.0}}) {
        double lambda = c.expected * alpha / (beta + end);
        double r = 1.5 / c.expected;
        EXPECT_CLOSE(MttfLNHPP(lambda, alpha, beta, end), (1.0 + r) / (lambda * c.occurs), 1e-14)
            << c.expected;
    }
    // r = (1 + 1 / alpha) / M >= 1: no mean is reported.
    EXPECT_EQ(MttfLNHPP(1.5 * alpha / (beta + end), alpha, beta, end), 0.0);
    EXPECT_EQ(MttfLNHPP(1.0 * alpha / (beta + end), alpha, beta, end), 0.0);
}

TEST(LnhppPercentile, BeyondTheChanceOfAFurtherFailureIsInfinite) {
    // M = mu (1 + T / beta)^-alpha = 1: a further failure occurs with probability 0.632.
    const double end = 300.0;
    const double alpha = 2.0;
    const double beta = 100.0;
    const double mu = 16.0;
    EXPECT_LT(PercentileLNHPP(0.6, end, alpha, beta, mu), 1e30);
    EXPECT_EQ(PercentileLNHPP(0.64, end, alpha, beta, mu), 1e30);
    EXPECT_EQ(PercentileLNHPP(1.0, end, alpha, beta, mu), 1e30);
    EXPECT_EQ(PercentileLNHPP(0.0, end, alpha, beta, mu), 0.0);
    // The median q solves e^(-M (1 - (400 / (400 + q))^2)) = 0.5.
    double q = PercentileLNHPP(0.5, end, alpha, beta, mu);
    EXPECT_CLOSE(std::exp(-(1.0 - std::pow(400.0 / (400.0 + q), 2.0))), 0.5, 1e-14);
}

// The stored mean is the first-order approximation (1 + r) / lambda of the mean time to the
// next failure given that one occurs; it agrees with the integral of the conditional survival
// function to second order in r = (1 + 1 / alpha) / M.
TEST(LnhppRecord, MeanApproximatesTheConditionalMean) {
    Series sys1 = test::FromDataFile("sys1.txt");
    int compared = 0;
    for (std::int32_t i : {25, 40, 60, 90, 120, 136}) {
        EstimateRecord record = PrepareLNHPP(sys1.x, sys1.t, i, test::ReferenceSettings())(i);
        const double expected = record.param1 - i;  // M
        const double alpha = record.param2;
        const double scale = record.param3 + sys1.t[i];
        const double r = (1.0 + 1.0 / alpha) / expected;
        if (r >= 1.0) {
            EXPECT_EQ(record.mttf, 0.0) << i;
            continue;
        }
        const double never = std::exp(-expected);
        auto survival = [&](double s) {
            double arrived = -expected * std::expm1(-alpha * std::log1p(s / scale));
            return (std::exp(-arrived) - never) / (1.0 - never);
        };
        boost::math::quadrature::exp_sinh<double> integrator;
        double mean = integrator.integrate(survival, 1e-12);
        EXPECT_CLOSE(record.mttf, mean, 2.0 * r * r) << i << " r " << r;
        ++compared;
    }
    EXPECT_GT(compared, 3);
}

// The record's textbook formulas evaluated with 50 significant digits.
TEST(LnhppRecord, AccurateWithATrillionRemainingFailures) {
    using Real = boost::multiprecision::cpp_bin_float_50;
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 100;
    const double remaining = 1e12;
    for (double beta : {500.0, 1e9}) {
        EstimateRecord record = RecordLNHPP(sys1.x, sys1.t, i, 136, remaining, beta);
        Real end = sys1.t[i];
        Real mu = Real(remaining) + i;
        Real alpha = log(1 + i / Real(remaining)) / log(1 + end / beta);
        Real rEnd = pow(1 + end / beta, -alpha);
        Real lambda = alpha * mu * rEnd / (beta + end);
        Real m = (beta + end) * lambda / alpha;
        Real r = (1 + 1 / alpha) / m;
        EXPECT_CLOSE(record.param2, static_cast<double>(alpha), 1e-13) << beta;
        EXPECT_CLOSE(record.mttf, static_cast<double>((1 + r) / lambda), 1e-12) << beta;
        for (auto [p, quartile] :
             {std::pair{0.25, record.lowQ}, {0.5, record.median}, {0.75, record.uppQ}}) {
            Real v = 1 + log(Real(1 - p)) * pow(1 + end / beta, alpha) / mu;
            Real e = exp(log(v) / alpha);
            EXPECT_CLOSE(quartile, static_cast<double>((end + beta) * (1 - e) / e), 1e-12)
                << beta << " " << p;
        }
        Real next = sys1.x[i + 1];
        Real rNext = pow(1 + (end + next) / beta, -alpha);
        Real survival = exp(-mu * (rEnd - rNext));
        EXPECT_CLOSE(record.cdf, static_cast<double>(1 - survival), 1e-12) << beta;
        EXPECT_CLOSE(record.pdf,
                     static_cast<double>(alpha * mu * rNext * survival / (beta + end + next)),
                     1e-12)
            << beta;
    }
}

// Failure times of the process with mu = 1000, alpha = 2, beta = 100 up to the time where
// m(t) = 950, by transforming the arrivals of a unit-rate Poisson process.
TEST(LnhppEstimate, RecoversPlantedParameters) {
    const double mu = 1000.0;
    const double alpha = 2.0;
    const double beta = 100.0;
    test::Simulator random(2024);
    std::vector<double> times;
    for (double arrival = random.Exponential(1.0); arrival < 950.0;
         arrival += random.Exponential(1.0)) {
        times.push_back(beta * std::expm1(-std::log1p(-arrival / mu) / alpha));
    }
    Series data = test::FromCumulative(times);
    const std::int32_t n = data.Count();
    EstimatesArray estimates;
    ASSERT_EQ(EstimateLNHPP(data.x, data.t, n, n, test::ReferenceSettings(), estimates, {}).status,
              EstimationStatus::Completed);
    const EstimateRecord& fit = estimates[n];
    auto nll = [&](const Point3& q) { return -LnhppLogLikelihood(data.t, n, q[0], q[1], q[2]); };
    Point3 se = test::StandardErrors(nll, {fit.param1, fit.param2, fit.param3});
    EXPECT_LT(std::fabs(fit.param1 - mu), 3.0 * se[0]) << fit.param1 << " se " << se[0];
    EXPECT_LT(std::fabs(fit.param2 - alpha), 3.0 * se[1]) << fit.param2 << " se " << se[1];
    EXPECT_LT(std::fabs(fit.param3 - beta), 3.0 * se[2]) << fit.param3 << " se " << se[2];
    std::printf("planted n %d: mu %.4g (se %.3g), alpha %.4g (se %.3g), beta %.4g (se %.3g)\n", n,
                fit.param1, se[0], fit.param2, se[1], fit.param3, se[2]);
}

// Fits at every index of the default range of sys1 and ntds are maxima of the likelihood.
TEST(LnhppEstimate, FitsAreLikelihoodMaxima) {
    auto view = [](const Series& data, std::int32_t i, const EstimateRecord& r) {
        // (ln(mu - i), ln alpha, ln beta), inside the fit's box mu - i, beta <= 1e14.
        return test::StoredFit{
            [&data, i](const Point3& q) {
                return LnhppLogLikelihood(data.t, i, i + std::exp(q[0]), std::exp(q[1]),
                                          std::exp(q[2]));
            },
            {std::log(r.param1 - i), std::log(r.param2), std::log(r.param3)},
            {{std::log(1e-15), -200.0, std::log(1e-15)}, {std::log(1e14), 200.0, std::log(1e14)}}};
    };
    // The fit stops once |g| < 1e-7 in (p1, p2): where the likelihood rises slowly along a
    // ridge, that leaves up to about 1e-4 unclimbed.
    double largest = test::LargestShortfallOnReferenceData(&EstimateLNHPP, view, 2e-4);
    std::printf("largest log-likelihood shortfall %.3g\n", largest);
}

// Where the likelihood rises towards mu -> infinity (most indices of sys1, all of the
// later ones) the model becomes the Musa-Okumoto model: the predictions agree.
TEST(LnhppEstimate, LimitFitsAgreeWithMusaOkumoto) {
    Series sys1 = test::FromDataFile("sys1.txt");
    EstimatesArray fit;
    EstimatesArray mo;
    ASSERT_EQ(EstimateLNHPP(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), fit, {}).status,
              EstimationStatus::Completed);
    ASSERT_EQ(EstimateMO(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), mo, {}).status,
              EstimationStatus::Completed);
    int limits = 0;
    double largest = 0.0;
    for (std::int32_t i = 20; i <= 136; ++i) {
        if (fit[i].param1 - i < 1e6) continue;
        ++limits;
        largest = std::max(largest, std::fabs(fit[i].median / mo[i].median - 1.0));
        EXPECT_CLOSE(fit[i].median, mo[i].median, 1e-3) << i;
        // The stored mean is first-order in r (see MeanApproximatesTheConditionalMean).
        EXPECT_CLOSE(fit[i].mttf, mo[i].mttf, 1e-2) << i;
    }
    EXPECT_GT(fit[136].param1 - 136, 1e6);
    EXPECT_GT(limits, 50);
    std::printf("%d limit fits, medians within %.3g of Musa-Okumoto's\n", limits, largest);
}

}  // namespace
}  // namespace tamsel
