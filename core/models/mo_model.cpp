#include "tamsel/models/mo_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "fit_support.h"
#include "pareto.h"
#include "process_support.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/log_sum.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

constexpr double kNudge = 2e-16;
constexpr double kStartOffset = 10.0;
constexpr double kLargestTheta = 1e8;

double ProfileMO(double theta, std::int32_t n, double t, const FailureSeries& cumulative) {
    double a = theta * theta;
    LogSum sum;
    for (std::int32_t j = 1; j <= n; ++j) sum.Add(a + cumulative[j]);
    return sum.Value() + n * std::log(std::log1p(t / a));
}

// sqrt(T / (e^i - 1)) written so that e^i never overflows; it underflows to 0 for i beyond
// about 1490, where the true value is below every double.
double LowestTheta(std::int32_t i, double t) {
    return std::sqrt(t / -std::expm1(-static_cast<double>(i))) * std::exp(-0.5 * i);
}

// The grid covers a / T from e^-18 to e^18; beyond, the profile is within rounding of the
// homogeneous limit or far below the maximum. A first failure far before T extends it down:
// the profile Sum ln(a + t(j)) + i ln ln(1 + T / a) falls with a until a ln(T / a) is about
// the harmonic mean of the t(j), never below t(1), so its minimum lies above
// t(1) / (2 ln(T / t(1))), within kBelowFirst of ln(t(1) / T) on the grid's scale.
constexpr int kLogScaleReach = 18;
constexpr double kBelowFirst = 10.0;

double GridLow(double first, double time) {
    // A first failure at 0 (singular) leaves the grid as it is; the logarithms are taken apart
    // so that a ratio below the doubles keeps its own.
    if (!(first > 0.0)) return -kLogScaleReach;
    return std::fmin(-kLogScaleReach, std::floor(std::log(first) - std::log(time) - kBelowFirst));
}

// The homogeneous limit a -> infinity with beta0 / (a + T) held at the rate i / T: a is
// kInfiniteQuartile, Param3 the rate, and the predictions are the exponential distribution's.
void HomogeneousRecord(EstimateRecord& record, const FailureSeries& x, double time, std::int32_t i,
                       std::int32_t rangeEnd) {
    const double rate = i / time;
    record.param1 = kInfiniteQuartile;
    record.param2 = i / std::log1p(time / kInfiniteQuartile);
    record.param3 = rate;
    record.logLhd = HppLogLhd(i, time);
    record.mttf = 1.0 / rate;
    record.lowQ = PercentileHpp(0.25, rate);
    record.median = PercentileHpp(0.5, rate);
    record.uppQ = PercentileHpp(0.75, rate);
    if (i < rangeEnd) {
        record.cdf = CdfHpp(x[i + 1], rate);
        record.pdf = rate * std::exp(-rate * x[i + 1]);
    }
}

// The next interfailure time after T is Pareto with shape Beta0 and scale a + T. Near the
// homogeneous limit Beta0 runs to 1e15 and beyond, where only the expm1 and log1p forms of
// the Pareto functions keep any digit.
Pareto ParetoMO(const StoredFit& fit) { return MakePareto(fit.param2, fit.param1 + fit.time); }

}  // namespace

double ObjectiveMO(double theta, std::int32_t n, double t, const FailureSeries& cumulative) {
    double value = ProfileMO(theta, n, t, cumulative);
    if (std::isfinite(value)) return value;
    value = ProfileMO(theta + kNudge, n, t, cumulative);
    return std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
}

double PercentileMO(double p, double a, double t, double beta0) {
    if (!IsProbability(p)) return 0.0;
    return ParetoQuantile(p, MakePareto(beta0, a + t));
}

IndexFit PrepareMO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    return [&x, &t, rangeEnd, settings](std::int32_t i) {
        const double time = t[i];
        const double theta0 = LowestTheta(i, time);
        const auto profile = [&](double theta) { return ObjectiveMO(theta, i, time, t); };
        const Minimise1DResult defined =
            Minimise1D(profile, theta0 + kStartOffset, theta0, kLargestTheta,
                       settings.relativePrecision, settings.absolutePrecision, settings.maxIter);
        // The defined start can end in a local minimum or at its bound; the grid on
        // ln(a / T) sees the whole profile in the data's own unit.
        const auto scaled = [&](double u) { return profile(std::sqrt(time * std::exp(u))); };
        const double low = GridLow(t[1], time);
        const Minimise1DResult grid = GridMinimise1D(
            scaled, low, kLogScaleReach, static_cast<std::int32_t>(kLogScaleReach - low),
            settings.relativePrecision, settings.absolutePrecision, settings.maxIter);
        // A failure at time 0 draws the maximum to a = 0, where the likelihood is unbounded;
        // the defined search stops at its lower bound.
        const bool singular = t[1] == 0.0;
        const bool onGrid = !singular && grid.fx < defined.fx;
        const double a = onGrid ? time * std::exp(grid.x) : defined.x * defined.x;
        const double logLhd = i * std::log(i) - i - (onGrid ? grid.fx : defined.fx);
        const std::int32_t evaluations = defined.count + grid.count;
        EstimateRecord record;
        if (!singular && LimitWins(HppLogLhd(i, time), logLhd)) {
            HomogeneousRecord(record, x, time, i, rangeEnd);
            return IndexResult{record, LimitEnd("homogeneous", evaluations)};
        }
        double beta0 = i / std::log1p(time / a);
        record.param1 = a;
        record.param2 = beta0;
        record.logLhd = logLhd;
        SetParetoPrediction(record, &ParetoMO, time, x, i, rangeEnd);
        FitTermination end = SearchEnd((onGrid ? grid : defined).termination, evaluations);
        if (singular) end.outcome = FitOutcome::Singular;
        return IndexResult{record, end};
    };
}

EstimationResult EstimateMO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareMO(x, t, rangeEnd, settings), estimates,
                          control);
}

const Predictive kPredictiveMO = ParetoPredictive<&ParetoMO>();

namespace {

// The mean value function Beta0 ln(1 + t / a) has the intensity Beta0 / (a + t).
double IntensityMO(const StoredFit& fit) { return fit.param2 / (fit.param1 + fit.time); }

double ExpectedFailuresMO(const StoredFit& fit, double t) {
    return fit.param2 * Log1pRatio(t, fit.param1 + fit.time);
}

TargetReach ReachMO(const StoredFit& fit, double target) {
    return ReachDecayingPower(IntensityMO(fit), target, fit.param1 + fit.time, 1.0);
}

double ReliabilityMO(const StoredFit& fit, double t) {
    return std::exp(-ExpectedFailuresMO(fit, t));
}

}  // namespace

const FailureProcess kProcessMO{&IntensityMO, &ExpectedFailuresMO, nullptr, &ReachMO,
                                &ReliabilityMO};

}  // namespace tamsel
