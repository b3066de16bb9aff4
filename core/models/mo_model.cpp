#include "tamsel/models/mo_model.h"

#include <cmath>
#include <limits>

#include "pareto.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

constexpr double kNudge = 2e-16;
constexpr double kStartOffset = 10.0;
constexpr double kLargestTheta = 1e8;

double ProfileMO(double theta, std::int32_t n, double t, const FailureSeries& cumulative) {
    double a = theta * theta;
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) sum += std::log(a + cumulative[j]);
    return sum + n * std::log(std::log1p(t / a));
}

// sqrt(T / (e^i - 1)) written so that e^i never overflows; it underflows to 0 for i beyond
// about 1490, where the true value is below every double.
double LowestTheta(std::int32_t i, double t) {
    return std::sqrt(t / -std::expm1(-static_cast<double>(i))) * std::exp(-0.5 * i);
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
        double time = t[i];
        double theta0 = LowestTheta(i, time);
        Minimise1DResult found =
            Minimise1D([&](double theta) { return ObjectiveMO(theta, i, time, t); },
                       theta0 + kStartOffset, theta0, kLargestTheta, settings.relativePrecision,
                       settings.absolutePrecision, settings.maxIter);
        double a = found.x * found.x;
        double beta0 = i / std::log1p(time / a);
        EstimateRecord record;
        record.param1 = a;
        record.param2 = beta0;
        SetParetoPrediction(record, &ParetoMO, time, x, i, rangeEnd);
        return IndexResult{record, {FitMethod::Minimised, found.termination}};
    };
}

EstimationResult EstimateMO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareMO(x, t, rangeEnd, settings), estimates,
                          control);
}

const Predictive kPredictiveMO = ParetoPredictive<&ParetoMO>();

}  // namespace tamsel
