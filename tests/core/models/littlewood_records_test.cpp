// The records of the Littlewood-family models for given fitted values: parameters, quartiles,
// means and the predictive distribution at the next time, against the textbook formulas, and
// their sentinels where a mean or quartile does not exist.
#include <gtest/gtest.h>

#include <array>
#include <boost/math/quadrature/exp_sinh.hpp>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/sentinels.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::OnLine;
using test::Series;
using Real = boost::multiprecision::cpp_bin_float_50;

const double kQuartileLevels[] = {0.25, 0.5, 0.75};

std::array<double, 3> Quartiles(const EstimateRecord& record) {
    return {record.lowQ, record.median, record.uppQ};
}

// The textbook values of a Littlewood or Littlewood NHPP record, to 50 digits.
struct Textbook {
    Real param1;
    Real alpha;
    Real mttf;
    std::array<Real, 3> quartiles;
    Real cdf;
    Real pdf;
};

Textbook LiTextbook(const Series& d, std::int32_t i, double remaining, double beta) {
    Real sum = 0;
    for (std::int32_t j = 1; j <= i; ++j) sum += log(1 + Real(d.t[j]) / beta);
    Real alpha = i / (sum + Real(remaining) * log(1 + Real(d.t[i]) / beta));
    Real a = remaining * alpha;
    Real b = Real(beta) + d.t[i];
    Real next = d.x[i + 1];
    Real survival = pow(b / (b + next), a);
    Textbook result{Real(remaining) + i,      alpha, b / (a - 1), {}, 1 - survival,
                    a * survival / (b + next)};
    for (std::size_t k = 0; k < 3; ++k) {
        result.quartiles[k] = b * (pow(Real(1 - kQuartileLevels[k]), -1 / a) - 1);
    }
    return result;
}

Textbook LnhppTextbook(const Series& d, std::int32_t i, double remaining, double beta) {
    Real end = d.t[i];
    Real mu = Real(remaining) + i;
    Real alpha = log(1 + i / Real(remaining)) / log(1 + end / beta);
    Real rEnd = pow(1 + end / beta, -alpha);
    Real lambda = alpha * mu * rEnd / (beta + end);
    Real m = (beta + end) * lambda / alpha;
    Real r = (1 + 1 / alpha) / m;
    Real next = d.x[i + 1];
    Real rNext = pow(1 + (end + next) / beta, -alpha);
    Real survival = exp(-mu * (rEnd - rNext));
    Textbook result{mu, alpha,        (1 + r) / lambda,
                    {}, 1 - survival, alpha * mu * rNext * survival / (beta + end + next)};
    for (std::size_t k = 0; k < 3; ++k) {
        Real v = 1 + log(Real(1 - kQuartileLevels[k])) * pow(1 + end / beta, alpha) / mu;
        Real e = exp(log(v) / alpha);
        result.quartiles[k] = (end + beta) * (1 - e) / e;
    }
    return result;
}

// Down to a trillion remaining faults, where the rewrites that keep digits matter.
TEST(LittlewoodRecord, MatchesTheTextbookFormulasToFiftyDigits) {
    Series sys1 = test::FromDataFile("sys1.txt");
    using RecordAt = EstimateRecord (*)(const FailureSeries&, const FailureSeries&, std::int32_t,
                                        std::int32_t, double, double);
    struct Case {
        const char* model;
        RecordAt record;
        Textbook (*textbook)(const Series&, std::int32_t, double, double);
        std::int32_t i;
        double remaining;
        double beta;
    };
    for (const Case& c : {Case{"Li", &RecordLi, &LiTextbook, 40, 25.0, 3000.0},
                          Case{"Li", &RecordLi, &LiTextbook, 100, 1e12, 500.0},
                          Case{"Li", &RecordLi, &LiTextbook, 100, 1e12, 1e13},
                          Case{"LNHPP", &RecordLNHPP, &LnhppTextbook, 40, 30.0, 2000.0},
                          Case{"LNHPP", &RecordLNHPP, &LnhppTextbook, 100, 1e12, 500.0},
                          Case{"LNHPP", &RecordLNHPP, &LnhppTextbook, 100, 1e12, 1e9}}) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.remaining) + " " +
                     std::to_string(c.beta));
        EstimateRecord record = c.record(sys1.x, sys1.t, c.i, 136, c.remaining, c.beta);
        Textbook expected = c.textbook(sys1, c.i, c.remaining, c.beta);
        EXPECT_CLOSE(record.param1, static_cast<double>(expected.param1), 1e-15);
        EXPECT_CLOSE(record.param2, static_cast<double>(expected.alpha), 1e-13);
        EXPECT_EQ(record.param3, c.beta);
        EXPECT_EQ(record.logLhd, 0.0);
        EXPECT_CLOSE(record.mttf, static_cast<double>(expected.mttf), 1e-12);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_CLOSE(Quartiles(record)[k], static_cast<double>(expected.quartiles[k]), 1e-12)
                << kQuartileLevels[k];
        }
        EXPECT_CLOSE(record.cdf, static_cast<double>(expected.cdf), 1e-12);
        EXPECT_CLOSE(record.pdf, static_cast<double>(expected.pdf), 1e-12);
    }
}

// Pareto predictions with shape s and scale b: Littlewood-Verrall from the ends (first, last)
// of the line of scales, Keiller-Littlewood from the ratio of the ends of the line of inverse
// shapes and the scale.
TEST(ParetoRecord, FieldsFollowTheFittedValues) {
    Series sys1 = test::FromDataFile("sys1.txt");
    struct Expected {
        double param1, param2, param3;
    };
    auto lv = [&](std::int32_t i, double first, double last) {
        double sum = 0.0;
        for (std::int32_t j = 1; j <= i; ++j)
            sum += std::log1p(sys1.x[j] / OnLine(j, i, first, last));
        double slope = (last - first) / (i - 1);
        return Expected{i / sum, first - slope, slope};
    };
    auto kl = [&](std::int32_t i, double ratio, double beta) {
        double sum = 0.0;
        for (std::int32_t j = 1; j <= i; ++j) {
            sum += std::log1p(sys1.x[j] / beta) / OnLine(j, i, 1.0, ratio);
        }
        double first = sum / i;  // 1 / s(1)
        double slope = (ratio * first - first) / (i - 1);
        return Expected{first - slope, slope, beta};
    };
    struct Case {
        const char* what;
        bool lv;
        std::int32_t i;
        EstimateRecord record;
        Expected expected;
    };
    for (const Case& c : {
             Case{"LV", true, 40, RecordLV(sys1.x, 40, 136, 120.0, 900.0), lv(40, 120.0, 900.0)},
             Case{"LV equal ends", true, 60, RecordLV(sys1.x, 60, 136, 750.0, 750.0),
                  lv(60, 750.0, 750.0)},
             Case{"KL", false, 40, RecordKL(sys1.x, 40, 136, 3.0, 800.0), kl(40, 3.0, 800.0)},
             Case{"KL unit ratio", false, 60, RecordKL(sys1.x, 60, 136, 1.0, 2000.0),
                  kl(60, 1.0, 2000.0)},
             Case{"KL tiny ratio", false, 40, RecordKL(sys1.x, 40, 136, 1e-12, 500.0),
                  kl(40, 1e-12, 500.0)},
         }) {
        SCOPED_TRACE(c.what);
        const EstimateRecord& r = c.record;
        EXPECT_CLOSE(r.param1, c.expected.param1, 1e-13);
        EXPECT_CLOSE(r.param2, c.expected.param2, 1e-13);
        EXPECT_CLOSE(r.param3, c.expected.param3, 1e-13);
        EXPECT_EQ(r.logLhd, 0.0);
        // The prediction is that of the stored parameters: LV's scale and KL's inverse shape
        // are their lines at i, summed exactly (Alpha1 + Alpha2 i cancels for a tiny ratio).
        const long double line = c.lv ? static_cast<long double>(r.param3) * c.i + r.param2
                                      : static_cast<long double>(r.param2) * c.i + r.param1;
        const double s = c.lv ? r.param1 : static_cast<double>(1.0L / line);
        const double b = c.lv ? static_cast<double>(line) : r.param3;
        EXPECT_CLOSE(r.mttf, b / (s - 1.0), 1e-12);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_CLOSE(Quartiles(r)[k], b * std::expm1(-std::log1p(-kQuartileLevels[k]) / s),
                         1e-12)
                << kQuartileLevels[k];
        }
        const double next = sys1.x[c.i + 1];
        const double survival = std::exp(-s * std::log1p(next / b));
        EXPECT_CLOSE(r.cdf, 1.0 - survival, 1e-12);
        EXPECT_CLOSE(r.pdf, s * survival / (next + b), 1e-12);
    }
}

TEST(LittlewoodFamily, ShapeAtMostOneGivesInfiniteMeanAndFiniteQuartiles) {
    Series sys1 = test::FromDataFile("sys1.txt");
    struct Case {
        const char* model;
        EstimateRecord record;
        std::function<double(const EstimateRecord&)> shape;
        double scale;
    };
    // Few remaining faults: (N - i) alpha < 1; scales of 1 against interfailure times of
    // hundreds: shapes 1 / mean ln(1 + x) < 1.
    for (const Case& c : {
             Case{"Li", RecordLi(sys1.x, sys1.t, 30, 136, 0.5, 2000.0),
                  [](const EstimateRecord& r) { return 0.5 * r.param2; }, 2000.0 + sys1.t[30]},
             Case{"LV", RecordLV(sys1.x, 50, 136, 1.0, 1.0),
                  [](const EstimateRecord& r) { return r.param1; }, 1.0},
             Case{"KL", RecordKL(sys1.x, 50, 136, 1.0, 1.0),
                  [](const EstimateRecord& r) { return 1.0 / r.param1; }, 1.0},
         }) {
        SCOPED_TRACE(c.model);
        const double s = c.shape(c.record);
        ASSERT_LE(s, 1.0);
        EXPECT_EQ(c.record.mttf, 1e307);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_CLOSE(Quartiles(c.record)[k],
                         c.scale * (std::pow(1.0 - kQuartileLevels[k], -1.0 / s) - 1.0), 1e-12);
        }
        EXPECT_LT(c.record.uppQ, 1e30);
    }
    for (auto mttf : {&MttfLV, &MttfKL}) {
        EXPECT_EQ(mttf(1.0, 10.0), 1e307);
        EXPECT_CLOSE(mttf(3.0, 10.0), 5.0, 1e-15);
    }
    // No remaining fault: the next failure never comes.
    EstimateRecord none = RecordLi(sys1.x, sys1.t, 30, 136, 0.0, 2000.0);
    EXPECT_EQ(none.mttf, 1e307);
    EXPECT_EQ(none.median, 1e30);
    EXPECT_EQ(none.cdf, 0.0);
    EXPECT_EQ(none.pdf, kVanishing);
}

TEST(LittlewoodFamily, PercentileEndsAreZeroAndInfinite) {
    const std::pair<const char*, std::function<double(double p)>> percentiles[] = {
        {"Li", [](double p) { return PercentileLi(p, 3.0, 400.0); }},
        {"LNHPP", [](double p) { return PercentileLNHPP(p, 300.0, 2.0, 100.0, 1600.0); }},
        {"LV", [](double p) { return PercentileLV(p, 400.0, 3.0); }},
        {"KL", [](double p) { return PercentileKL(p, 400.0, 3.0); }},
    };
    for (const auto& [model, at] : percentiles) {
        EXPECT_EQ(at(0.0), 0.0) << model;
        EXPECT_EQ(at(1.0), 1e30) << model;
        // 400 ((1 - 0.875)^(-1/3) - 1) = 400 for the Pareto models.
        if (std::string(model) != "LNHPP") {
            EXPECT_CLOSE(at(0.875), 400.0, 1e-14) << model;
        }
    }
}

// Running weights w1 += 1 / (n - 1) end a hair away from 1 and can make psi(n) negative for a
// huge first end and a tiny last end; the fit's psi(n) is the last end itself.
TEST(LvObjective, TinyLastEndAfterHugeFirstEndStaysFinite) {
    Series sys1 = test::FromDataFile("sys1.txt");
    for (std::int32_t n : {21, 49, 62, 68}) {
        std::array<double, 2> p{1e7, 0.0};
        std::array<double, 2> g{};
        EXPECT_LT(ObjectiveLV(p, g, n, 1e-15, sys1.x), 1e100) << n;
        EXPECT_TRUE(std::isfinite(g[0])) << n;
    }
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
        EstimateRecord record =
            PrepareLNHPP(sys1.x, sys1.t, i, test::ReferenceSettings())(i).record;
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

}  // namespace
}  // namespace tamsel
