// Forecasts checked against simulations of each fitted model, written here from the models'
// definitions (intensities, fault detection times, gamma-mixed rates), not from the formulas
// under test; their intervals against likelihoods written apart; information criteria.
#include "tamsel/prediction/forecast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/special_functions/digamma.hpp>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "tamsel/models/model_table.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/harmonic.h"
#include "tamsel/prediction/information_criteria.h"
#include "test_support.h"

namespace tamsel {
namespace {

using Rng = std::mt19937_64;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kRuns = 200000;

double Uniform(Rng& rng) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); }
double Exponential(Rng& rng, double rate) { return -std::log1p(-Uniform(rng)) / rate; }

// The reference inference method.
const MinimisationSettings kReference{300, 1e-15, 1e-8, 0.4, 1e-7};

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
    const IndexResult r = model.prepare(f.x, f.t, n, kReference)(n);
    f.fit = {n, r.record.param1, r.record.param2, r.record.param3, r.record.median, f.t[n]};
    f.intervals = ParameterIntervalsAt(model, f.x, f.t, f.fit, r.termination.outcome);
    return f;
}

// One simulated future from failure n: the time to the next failure (infinite when none comes
// before horizon) and the number of failures within the mission.
struct Future {
    double next = kInf;
    int inMission = 0;
};
using Simulator = std::function<Future(Rng&, double mission)>;

// A non-homogeneous Poisson process with a non-increasing intensity after T, by thinning.
Simulator Thinning(std::function<double(double)> intensity, double horizon) {
    return [intensity, horizon](Rng& rng, double mission) {
        const double bound = intensity(0.0);
        Future future;
        for (double s = Exponential(rng, bound); s <= horizon; s += Exponential(rng, bound)) {
            if (Uniform(rng) * bound > intensity(s)) continue;
            if (future.next == kInf) future.next = s;
            if (s > mission) break;
            ++future.inMission;
        }
        return future;
    };
}

// remaining faults, each found after T at an independent time drawn by detect.
Simulator Faults(int remaining, std::function<double(Rng&)> detect) {
    return [remaining, detect](Rng& rng, double mission) {
        Future future;
        for (int k = 0; k < remaining; ++k) {
            const double s = detect(rng);
            future.next = std::min(future.next, s);
            if (s <= mission) ++future.inMission;
        }
        return future;
    };
}

// An exponential time whose rate is Gamma(shape, rate scale): the next failure only.
double GammaMixed(Rng& rng, double shape, double scale) {
    return Exponential(rng, std::gamma_distribution<double>(shape, 1.0 / scale)(rng));
}
Simulator NextOnly(double shape, double scale) {
    return [shape, scale](Rng& rng, double) { return Future{GammaMixed(rng, shape, scale), 0}; };
}

struct Case {
    const char* code;
    StoredFit fit;
    double mission;
    std::function<double(double)> intensity;  // after T, where the model has one
    Simulator simulate;
};

std::vector<Case> Cases() {
    // Planted fits at n = 30 with realistic scales; intensities written from each model's
    // mean value function.
    auto go = [](double s) { return 60.0 * 0.002 * std::exp(-0.002 * (500.0 + s)); };
    auto mo = [](double s) { return 8.0 / (50.0 + 300.0 + s); };
    auto du = [](double s) { return 2.0 * 0.6 * std::pow(500.0 + s, -0.4); };
    auto lnhpp = [](double s) {
        return 50.0 * 1.5 / 400.0 * std::pow(1.0 + (600.0 + s) / 400.0, -2.5);
    };
    auto pareto = [](double shape, double scale) {
        return [shape, scale](Rng& rng) {
            return scale * (std::pow(1.0 - Uniform(rng), -1.0 / shape) - 1.0);
        };
    };
    return {
        {"JM",
         {30, 40.0, 0.004, 0.0, std::log(2.0) / 0.04, 1000.0},
         10.0,
         nullptr,
         Faults(10, [](Rng& rng) { return Exponential(rng, 0.004); })},
        {"Du", {30, 0.6, 2.0, 0.0, 0.0, 500.0}, 10.0, du, Thinning(du, 2000.0)},
        {"MO", {30, 50.0, 8.0, 0.0, 0.0, 300.0}, 20.0, mo, Thinning(mo, 1e6)},
        {"GO", {30, 60.0, 0.002, 0.0, 0.0, 500.0}, 20.0, go, Thinning(go, 1e4)},
        {"Li", {30, 45.0, 2.0, 300.0, 0.0, 700.0}, 20.0, nullptr, Faults(15, pareto(2.0, 1000.0))},
        {"LNHPP", {30, 50.0, 1.5, 400.0, 0.0, 600.0}, 20.0, lnhpp, Thinning(lnhpp, 1e6)},
        {"LV", {30, 4.0, 10.0, 2.0, 0.0, 0.0}, 20.0, nullptr, NextOnly(4.0, 70.0)},
        {"KL", {30, 0.05, 0.005, 100.0, 0.0, 0.0}, 20.0, nullptr, NextOnly(5.0, 100.0)},
    };
}

// A simulated proportion or mean agrees within five standard errors.
::testing::AssertionResult Agrees(double simulated, double standardError, double expected) {
    return test::IsClose(simulated, expected, 0.0, 5.0 * standardError + 1e-12);
}

TEST(Forecast, NextFailureAndMissionAgreeWithSimulation) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.code);
        const ModelInfo& model = *FindModel(c.code);
        const Forecast f = ForecastAt(model, c.fit, {c.mission, std::nullopt});
        Rng rng(20261207);
        double survived = 0, belowLower = 0, belowMedian = 0, aboveUpper = 0, count = 0,
               countSq = 0;
        for (int run = 0; run < kRuns; ++run) {
            const Future future = c.simulate(rng, c.mission);
            survived += future.next > c.mission;
            belowLower += future.next < f.lower;
            belowMedian += future.next < f.median;
            aboveUpper += future.next > f.upper;
            count += future.inMission;
            countSq += static_cast<double>(future.inMission) * future.inMission;
        }
        auto share = [](double k) { return k / kRuns; };
        auto se = [](double p) { return std::sqrt(p * (1.0 - p) / kRuns); };
        EXPECT_TRUE(Agrees(share(survived), se(*f.reliability), *f.reliability));
        EXPECT_TRUE(Agrees(share(belowLower), se(0.05), 0.05));
        EXPECT_TRUE(Agrees(share(belowMedian), se(0.5), 0.5));
        EXPECT_TRUE(Agrees(share(aboveUpper), se(0.05), 0.05));
        if (f.expectedFailures) {
            const double mean = count / kRuns;
            const double sd = std::sqrt(countSq / kRuns - mean * mean);
            EXPECT_TRUE(Agrees(mean, sd / std::sqrt(kRuns), *f.expectedFailures));
        }
        // The intensity is the hazard of the next interfailure time at 0, and the mission's
        // reliability that time's survival.
        EXPECT_CLOSE(*f.intensity, model.predictive->at(c.fit, 0.0).pdf, 1e-12);
        EXPECT_CLOSE(*f.reliability, 1.0 - model.predictive->at(c.fit, c.mission).cdf, 1e-12);
        if (c.intensity) {
            EXPECT_CLOSE(*f.intensity, c.intensity(0.0), 1e-12);
        }
    }
}

TEST(Forecast, FaultsRemaining) {
    const std::vector<Case> cases = Cases();
    auto remaining = [&](int k) {
        return ForecastAt(*FindModel(cases[k].code), cases[k].fit, {}).faultsRemaining;
    };
    EXPECT_CLOSE(*remaining(0), 10.0, 1e-15);                        // JM: N - n
    EXPECT_CLOSE(*remaining(3), 60.0 * std::exp(-1.0), 1e-14);       // GO: Mu - m(T)
    EXPECT_CLOSE(*remaining(4), 15.0, 1e-15);                        // Li: N - n
    EXPECT_CLOSE(*remaining(5), 50.0 * std::pow(2.5, -1.5), 1e-14);  // LNHPP: Mu R(T)
    for (int k : {1, 2, 6, 7})
        EXPECT_FALSE(ForecastAt(*FindModel(cases[k].code), cases[k].fit, {}).countsFaults);
    StoredFit homogeneous{30, kInfiniteFaults, kVanishing, 0.0, 100.0, 1000.0};
    const Forecast unbounded = ForecastAt(*FindModel("JM"), homogeneous, {});
    EXPECT_TRUE(unbounded.countsFaults);
    EXPECT_FALSE(unbounded.faultsRemaining);
    EXPECT_CLOSE(*unbounded.intensity, 0.03, 1e-15);  // i / T
}

// The further time or fixes to a target: where the intensity reaches it (closed-form
// intensities), or the simulated time of the fixes it takes.
TEST(Forecast, TargetIntensity) {
    const std::vector<Case> cases = Cases();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const ModelInfo& model = *FindModel(c.code);
        const double now = *ForecastAt(model, c.fit, {}).intensity;
        EXPECT_EQ(ForecastAt(model, c.fit, {std::nullopt, now * 1.01}).target->status,
                  TargetReach::Status::Reached);
        const TargetReach reach = *ForecastAt(model, c.fit, {std::nullopt, now * 0.4}).target;
        ASSERT_EQ(reach.status, TargetReach::Status::After);
        if (c.intensity) {
            EXPECT_CLOSE(c.intensity(reach.time), now * 0.4, 1e-10);
        }
    }
    // Li: the expected intensity m Alpha (Beta + T)^Alpha / (Beta + T + u)^(Alpha + 1).
    const TargetReach li =
        *ForecastAt(*FindModel("Li"), cases[4].fit, {std::nullopt, 0.012}).target;
    EXPECT_CLOSE(15.0 * 2.0 * std::pow(1000.0, 2.0) / std::pow(1000.0 + li.time, 3.0), 0.012,
                 1e-12);

    struct FixCase {
        int caseIndex;
        double target;
        double fixes;
        std::function<double(Rng&, int j)> interfailure;  // after the j-th further fix
    };
    const std::vector<FixCase> fixCases{
        {0, 0.015, 7, [](Rng& rng, int j) { return Exponential(rng, (10 - j) * 0.004); }},
        {6, 0.03, 32, [](Rng& rng, int j) { return GammaMixed(rng, 4.0, 70.0 + 2.0 * j); }},
        {7, 0.03, 27,
         [](Rng& rng, int j) { return GammaMixed(rng, 1.0 / (0.2 + 0.005 * j), 100.0); }},
    };
    for (const FixCase& fc : fixCases) {
        const Case& c = cases[fc.caseIndex];
        SCOPED_TRACE(c.code);
        const TargetReach reach =
            *ForecastAt(*FindModel(c.code), c.fit, {std::nullopt, fc.target}).target;
        ASSERT_EQ(reach.status, TargetReach::Status::After);
        EXPECT_EQ(reach.fixes, fc.fixes);
        Rng rng(7);
        double sum = 0, sumSq = 0;
        for (int run = 0; run < kRuns / 4; ++run) {
            double time = 0;
            for (int j = 0; j < fc.fixes; ++j) time += fc.interfailure(rng, j);
            sum += time;
            sumSq += time * time;
        }
        const double runs = kRuns / 4;
        const double mean = sum / runs;
        EXPECT_TRUE(Agrees(mean, std::sqrt((sumSq / runs - mean * mean) / runs), reach.time));
    }
}

// Littlewood NHPP and Littlewood records at their MO limit forecast exactly what the MO fit
// they stand for forecasts (a = Beta, Beta0 = Mu Alpha or (N - n) Alpha), not a process with
// kInfiniteFaults failures in all; the homogeneous limit is the Poisson process of rate i / T.
TEST(Forecast, LimitRecordsAreTheMOProcess) {
    const double a = 250.0;
    const double beta0 = 40.0;
    const double time = 1000.0;
    const double rate = 30.0 / time;
    const StoredFit mo{30, a, beta0, 0.0, 100.0, time};
    const StoredFit poisson{
        30, kInfiniteQuartile, 30.0 / std::log1p(time / kInfiniteQuartile), rate, 100.0, time};
    const double remaining = kInfiniteFaults - 30;
    for (const auto& [code, fit, exactFit] :
         {std::tuple{"LNHPP",
                     StoredFit{30, kInfiniteFaults, beta0 / kInfiniteFaults, a, 100.0, time}, mo},
          {"Li", StoredFit{30, kInfiniteFaults, beta0 / remaining, a, 100.0, time}, mo},
          {"Li",
           StoredFit{30, kInfiniteFaults, kInfiniteShape, kInfiniteShape * remaining / rate, 100.0,
                     time},
           poisson}}) {
        SCOPED_TRACE(code);
        for (double target : {1e-4, 0.02}) {
            const ForecastRequest request{500.0, target};
            const Forecast limit = ForecastAt(*FindModel(code), fit, request);
            const Forecast exact = ForecastAt(*FindModel("MO"), exactFit, request);
            EXPECT_CLOSE(*limit.intensity, *exact.intensity, 1e-12);
            EXPECT_CLOSE(*limit.expectedFailures, *exact.expectedFailures, 1e-12);
            EXPECT_CLOSE(*limit.reliability, *exact.reliability, 1e-12);
            EXPECT_EQ(limit.target->status, exact.target->status);
            EXPECT_CLOSE(limit.target->time, exact.target->time, 1e-12);
            EXPECT_FALSE(limit.faultsRemaining);
        }
    }
}

TEST(Forecast, TargetsNeverReached) {
    const StoredFit homogeneousJM{30, kInfiniteFaults, kVanishing, 0.0, 100.0, 1000.0};
    const StoredFit homogeneousGO{30, kInfiniteFaults, 0.0, 0.03, 0.0, 1000.0};
    const StoredFit growingDu{30, 1.2, 0.01, 0.0, 0.0, 1000.0};
    const StoredFit flatLV{30, 4.0, 70.0, 0.0, 0.0, 0.0};
    const StoredFit flatKL{30, 0.2, -0.001, 100.0, 0.0, 0.0};
    for (const auto& [code, fit] : {std::pair{"JM", homogeneousJM},
                                    {"GO", homogeneousGO},
                                    {"Du", growingDu},
                                    {"LV", flatLV},
                                    {"KL", flatKL}}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(ForecastAt(*FindModel(code), fit, {std::nullopt, 1e-6}).target->status,
                  TargetReach::Status::Never);
    }
    // LV with Alpha <= 1: reached with certainty, after an infinite expected time.
    const TargetReach heavy =
        *ForecastAt(*FindModel("LV"), {30, 0.8, 10.0, 2.0, 0.0, 0.0}, {std::nullopt, 0.001}).target;
    EXPECT_EQ(heavy.status, TargetReach::Status::After);
    EXPECT_EQ(heavy.time, kInf);
}

// A recalibrated prediction's next failure and forecast at index k come from the function
// that recalibrated prediction k: the same values as the whole set's recalibration.
TEST(Forecast, RecalibratedNextFailureMatchesTheRecalibratedSet) {
    const Fitted sys1 = FitSys1("MO");
    const FailureSeries& x = sys1.x;
    const FailureSeries& t = sys1.t;
    const ModelInfo& model = *FindModel("MO");
    const std::int32_t start = 20;
    const std::int32_t end = sys1.fit.index;
    EstimatesArray estimates;
    ASSERT_EQ(model.estimate(x, t, start, end, kReference, estimates, RunControl()).status,
              EstimationStatus::Completed);
    // Prediction k = 1.. is the fit at failure index start + k - 1.
    std::vector<double> u{0.0}, f{0.0};
    for (std::int32_t i = start; i < end; ++i) {
        u.push_back(estimates[i].cdf);
        f.push_back(estimates[i].pdf);
    }
    const SplineSettings method{300, 4, 1.0, 15};
    const SplineRecalibration whole = CubSpl(u, f, method, RunControl());
    for (const int k : {16, 60, 115}) {
        SCOPED_TRACE(k);
        const std::int32_t i = start + k - 1;
        const SplineRecalibration upToK = CubSpl(
            {u.begin(), u.begin() + k + 1}, {f.begin(), f.begin() + k + 1}, method, RunControl());
        ASSERT_TRUE(upToK.last);
        const EstimateRecord& row = estimates[i];
        const StoredFit fit{i, row.param1, row.param2, row.param3, row.median, t[i]};
        const PredictivePoint next = RecalibratedAt(model, fit, *upToK.last, x[i + 1]);
        EXPECT_CLOSE(next.cdf, whole.recalCdf[k], 1e-15);
        EXPECT_CLOSE(next.pdf, whole.recalPdf[k], 1e-15);
        const Forecast forecast = RecalibratedForecastAt(model, fit, *upToK.last, {1000.0, {}});
        EXPECT_CLOSE(forecast.median, model.predictive->quantile(fit, whole.level50[k]), 1e-15);
        EXPECT_LT(forecast.lower, forecast.median);
        EXPECT_LT(forecast.median, forecast.upper);
        EXPECT_CLOSE(*forecast.reliability,
                     1.0 - RecalibratedAt(model, fit, *upToK.last, 1000.0).cdf, 1e-15);
        EXPECT_FALSE(forecast.intensity);
        EXPECT_FALSE(forecast.mttf);
        EXPECT_FALSE(forecast.countsFaults);
    }
}

TEST(ReciprocalSum, AgreesWithDigammaDifferences) {
    for (double x : {0.3, 1.0, 1.4616321449683623, 7.5, 10.0, 123.25, 1e6})
        EXPECT_CLOSE_ABS(Digamma(x), boost::math::digamma(x),
                         1e-14 * std::max(1.0, std::abs(boost::math::digamma(x))));
    for (const auto& [d, k] : {std::pair{10.0, 5L},
                               {9.5, 10L},
                               {1e6 + 0.25, 100L},
                               {1e9, 5000L},
                               {5000.5, 5000L},
                               {3.7, 4L}}) {
        SCOPED_TRACE(d);
        long double exact = 0;
        for (long j = 0; j < k; ++j) exact += 1.0L / (static_cast<long double>(d) - j);
        EXPECT_CLOSE(ReciprocalSum(d, k), static_cast<double>(exact), 1e-13);
    }
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

TEST(InformationCriteria, FreeParametersOfFitsAndTheirLimits) {
    const double inf = kInfiniteFaults;
    const double shape = kInfiniteShape;
    const struct {
        const char* what;
        int model;
        double p1, p2, p3;
        int k;
    } cases[] = {
        {"JM", 1, 141.9, 3.5e-5, 0, 2},
        {"JM homogeneous", 1, inf, kVanishing, 0.0015, 1},
        {"Du homogeneous record", 2, 1.0, 0.01, 0, 1},
        {"MO homogeneous", 3, kInfiniteQuartile, 136.0, 0.0015, 1},
        {"GO homogeneous", 4, inf, 0, 0.0015, 1},
        {"Li", 5, 150, 0.3, 1000, 3},
        {"Li, MO limit", 5, inf, 4.3e-5, 3956.5, 2},
        {"Li, JM limit", 5, 141.9, shape, shape / 3.5e-5, 2},
        {"Li, homogeneous", 5, inf, shape, shape * (inf - 136) / 0.0015, 1},
        {"LNHPP, GO limit", 6, 142.9, shape, shape / 3.4e-5, 2},
        {"LNHPP, homogeneous", 6, inf, shape, shape * inf / 0.0015, 1},
        {"LV", 7, 7.43, 84.4, 54.6, 3},
        {"LV, exponential limit", 7, 2e30, 3e31, 1e28, 2},
        {"KL", 8, 0.0055, 0.0019, 3581, 3},
        {"KL, exponential limit", 8, 1e-33, 1e-35, 0.25 * shape, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FreeParameters(*FindModel(c.model), {136, c.p1, c.p2, c.p3, 0, 0}), c.k)
            << c.what;
    }
}

TEST(InformationCriteria, FromTheStoredLogLikelihood) {
    const ModelInfo& jm = *FindModel(1);
    std::optional<InformationCriteria> criteria = CriteriaOf(jm, {50, 60, 0.01, 0, 0, 0}, -100.0);
    ASSERT_TRUE(criteria.has_value());
    EXPECT_CLOSE(criteria->aic, 204.0, 1e-15);
    EXPECT_CLOSE(criteria->bic, 2 * std::log(50.0) + 200.0, 1e-15);
    // Sets made before the log-likelihood was kept hold 0 there.
    EXPECT_FALSE(CriteriaOf(jm, {50, 60, 0.01, 0, 0, 0}, 0.0).has_value());
    EXPECT_FALSE(CriteriaOf(jm, {50, 60, 0.01, 0, 0, 0}, NAN).has_value());
}

}  // namespace
}  // namespace tamsel
