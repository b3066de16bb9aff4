#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "tamsel/models/model_table.h"
#include "tamsel/prediction/forecast.h"
#include "test_support.h"

namespace tamsel {
namespace {

struct Fitted {
    FailureSeries x{0.0};
    FailureSeries t{0.0};
    StoredFit fit;
    ParameterIntervals intervals;
};

// A model fitted to all of SYS1, as a run stores it, with its intervals.
Fitted FitSys1(const char* code) {
    Fitted f;
    for (double value : test::ReadDataValues("sys1.txt")) {
        f.x.push_back(value);
        f.t.push_back(f.t.back() + value);
    }
    const auto n = static_cast<std::int32_t>(f.x.size()) - 1;
    const ModelInfo& model = *FindModel(code);
    const IndexResult r = model.prepare(f.x, f.t, n, {300, 1e-15, 1e-8, 0.4, 1e-7})(n);
    f.fit = {n, r.record.param1, r.record.param2, r.record.param3, r.record.median, f.t[n]};
    f.intervals = ParameterIntervalsAt(model, f.x, f.t, f.fit, r.termination.outcome);
    return f;
}

constexpr double kMission = 1000.0;

using Function = std::function<double(const Fitted&, double, double)>;

struct Quantity {
    const char* name;
    std::optional<QuantityInterval> ForecastIntervals::*member;
    Function value;
};

struct ProfileCase {
    const char* code;
    Function logL;  // the model's log-likelihood in its two parameters
    double offset;  // of the first parameter's log grid: JM's N - n + 1 > 0
    std::vector<Quantity> quantities;
};

double Sum(const Fitted& f, const std::function<double(int)>& term) {
    double sum = 0.0;
    for (int j = 1; j <= f.fit.index; ++j) sum += term(j);
    return sum;
}

// JM's log-likelihood, written apart from the code under test.
double JMLogLikelihood(const Fitted& f, double n, double lambda) {
    return f.fit.index * std::log(lambda) +
           Sum(f, [&](int j) { return std::log(n - j + 1) - lambda * (n - j + 1) * f.x[j]; });
}

// Each end of JM's parameter intervals lies where that parameter's profile (Lambda at its best
// in closed form; N at its best by bisection on the score) drops by the chi-square half
// quantile.
TEST(ParameterIntervals, ProfileEndsLieWhereTheProfileDropsByTheChiSquareHalfQuantile) {
    const Fitted f = FitSys1("JM");
    const std::int32_t n = f.fit.index;
    const auto inN = [&](double faults) {
        return JMLogLikelihood(f, faults,
                               n / Sum(f, [&](int j) { return (faults - j + 1) * f.x[j]; }));
    };
    const auto inLambda = [&](double lambda) {
        double low = n - 1.0;
        double high = 1e12;
        for (int k = 0; k < 300; ++k) {
            const double middle = 0.5 * (low + high);
            const double slope =
                Sum(f, [&](int j) { return 1.0 / (middle - j + 1); }) - lambda * f.t[n];
            (slope > 0.0 ? low : high) = middle;
        }
        return JMLogLikelihood(f, 0.5 * (low + high), lambda);
    };
    ASSERT_EQ(f.intervals.method, IntervalMethod::ProfileLikelihood);
    ASSERT_EQ(f.intervals.status, IntervalStatus::Computed);
    const double level = JMLogLikelihood(f, f.fit.param1, f.fit.param2) - kProfileDrop;
    const ParameterInterval& faults = f.intervals.parameters[0];
    const ParameterInterval& lambda = f.intervals.parameters[1];
    EXPECT_LT(faults.lower, f.fit.param1);
    EXPECT_GT(faults.upper, f.fit.param1);
    EXPECT_LT(lambda.lower, f.fit.param2);
    EXPECT_GT(lambda.upper, f.fit.param2);
    for (double end : {faults.lower, faults.upper}) EXPECT_CLOSE_ABS(inN(end), level, 1e-6);
    for (double end : {lambda.lower, lambda.upper}) EXPECT_CLOSE_ABS(inLambda(end), level, 1e-6);
    // A limit fit has no finite interval.
    const ParameterIntervals limit =
        ParameterIntervalsAt(*FindModel("JM"), f.x, f.t, f.fit, FitOutcome::Limit);
    EXPECT_EQ(limit.status, IntervalStatus::NoFiniteInterval);
    EXPECT_EQ(limit.parameters[0].upper, std::numeric_limits<double>::infinity());
}

// The intervals of JM and GO are the ranges of each quantity over the likelihood-ratio region,
// here found by brute force on a fine grid of the parameters' logarithms, with the
// likelihoods and quantities written out apart from the code under test. The grid falls short
// of the steep corner of JM's median near N = n, hence 1 %.
TEST(ForecastIntervals, ProfileRegionMatchesAGridSearch) {
    const ProfileCase cases[] = {
        {"GO",
         [](const Fitted& f, double mu, double phi) {
             const double n = f.fit.index;
             return n * std::log(mu * phi) - phi * Sum(f, [&](int j) { return f.t[j]; }) -
                    mu * -std::expm1(-phi * f.fit.time);
         },
         0.0,
         {{"intensity", &ForecastIntervals::intensity,
           [](const Fitted& f, double mu, double phi) {
               return mu * phi * std::exp(-phi * f.fit.time);
           }},
          {"faults remaining", &ForecastIntervals::faultsRemaining,
           [](const Fitted& f, double mu, double phi) { return mu * std::exp(-phi * f.fit.time); }},
          {"reliability", &ForecastIntervals::reliability,
           [](const Fitted& f, double mu, double phi) {
               return std::exp(-mu * std::exp(-phi * f.fit.time) * -std::expm1(-phi * kMission));
           }}}},
        {"JM",
         &JMLogLikelihood,
         -1.0,
         {{"median", &ForecastIntervals::median,
           [](const Fitted& f, double n, double lambda) {
               return std::log(2.0) / ((n - f.fit.index) * lambda);
           }},
          {"reliability", &ForecastIntervals::reliability,
           [](const Fitted& f, double n, double lambda) {
               return std::exp(-(n - f.fit.index) * lambda * kMission);
           }}}},
    };
    constexpr int kGrid = 400;
    for (const ProfileCase& c : cases) {
        const Fitted f = FitSys1(c.code);
        ASSERT_TRUE(f.intervals.region.has_value()) << c.code;
        const ForecastIntervals got =
            ForecastIntervalsAt(*FindModel(c.code), f.fit, *f.intervals.region, {kMission, {}});
        const double level = c.logL(f, f.fit.param1, f.fit.param2) - kProfileDrop;
        const ParameterInterval& p1 = f.intervals.parameters[0];
        const ParameterInterval& p2 = f.intervals.parameters[1];
        ASSERT_TRUE(std::isfinite(p1.upper) && std::isfinite(p2.upper)) << c.code;
        const double shift = c.offset + f.fit.index * (c.offset != 0.0);
        std::vector<double> low(c.quantities.size(), INFINITY);
        std::vector<double> high(c.quantities.size(), -INFINITY);
        for (int a = 0; a <= kGrid; ++a) {
            const double v1 =
                shift + (p1.lower - shift) *
                            std::pow((p1.upper - shift) / (p1.lower - shift), a / double(kGrid));
            for (int b = 0; b <= kGrid; ++b) {
                const double v2 = p2.lower * std::pow(p2.upper / p2.lower, b / double(kGrid));
                if (c.logL(f, v1, v2) < level) continue;
                for (std::size_t k = 0; k < c.quantities.size(); ++k) {
                    low[k] = std::min(low[k], c.quantities[k].value(f, v1, v2));
                    high[k] = std::max(high[k], c.quantities[k].value(f, v1, v2));
                }
            }
        }
        for (std::size_t k = 0; k < c.quantities.size(); ++k) {
            const Quantity& q = c.quantities[k];
            ASSERT_TRUE((got.*q.member).has_value()) << c.code << " " << q.name;
            EXPECT_CLOSE((got.*q.member)->lower, low[k], 1e-2) << c.code << " " << q.name;
            EXPECT_CLOSE((got.*q.member)->upper, high[k], 1e-2) << c.code << " " << q.name;
        }
    }
}

// Duane's intervals by the delta method on the log scale, with the observed information and
// the gradients taken by hand in (log Beta, log Alpha).
TEST(ForecastIntervals, DuaneDeltaMethodMatchesTheAnalyticOne) {
    const Fitted f = FitSys1("Du");
    ASSERT_TRUE(f.intervals.region.has_value());
    const ForecastIntervals got =
        ForecastIntervalsAt(*FindModel("Du"), f.fit, *f.intervals.region, {kMission, {}});
    const double b = f.fit.param1;
    const double a = f.fit.param2;
    const double time = f.fit.time;
    const double logT = std::log(time);
    double s = 0.0;
    for (int j = 1; j <= f.fit.index; ++j) s += std::log(f.t[j]);
    const double power = a * std::pow(time, b);
    // Information in (B, A) = (log Beta, log Alpha) from l = n (A + B) + (b - 1) S - a T^b.
    const double iBB = power * b * logT * (1.0 + b * logT) - b * s;
    const double iBA = power * b * logT;
    const double iAA = power;
    const double det = iBB * iAA - iBA * iBA;
    const double cBB = iAA / det;
    const double cBA = -iBA / det;
    const double cAA = iBB / det;
    auto interval = [&](double value, double dB, double dA) {
        const double half =
            kWaldQuantile * std::sqrt(dB * dB * cBB + 2 * dB * dA * cBA + dA * dA * cAA);
        return QuantityInterval{value * std::exp(-half), value * std::exp(half)};
    };
    const double later = std::pow(time + kMission, b);
    const double expected = a * (later - std::pow(time, b));
    const struct {
        const char* name;
        std::optional<QuantityInterval> got;
        QuantityInterval want;
    } quantities[] = {
        {"intensity", got.intensity, interval(a * b * std::pow(time, b - 1), 1 + b * logT, 1)},
        {"expected failures", got.expectedFailures,
         interval(expected,
                  b * (later * std::log(time + kMission) - std::pow(time, b) * logT) /
                      (later - std::pow(time, b)),
                  1)},
    };
    for (const auto& q : quantities) {
        ASSERT_TRUE(q.got.has_value()) << q.name;
        EXPECT_CLOSE(q.got->lower, q.want.lower, 1e-5) << q.name;
        EXPECT_CLOSE(q.got->upper, q.want.upper, 1e-5) << q.name;
    }
    EXPECT_FALSE(got.faultsRemaining.has_value());  // Duane counts no faults
}

}  // namespace
}  // namespace tamsel
