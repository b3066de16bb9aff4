#include "tamsel/models/mo_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "process_support.h"
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

}  // namespace

double ObjectiveMO(double theta, std::int32_t n, double t, const FailureSeries& cumulative) {
    double value = ProfileMO(theta, n, t, cumulative);
    if (std::isfinite(value)) return value;
    value = ProfileMO(theta + kNudge, n, t, cumulative);
    return std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
}

double PercentileMO(double p, double a, double t, double beta0) {
    if (!IsProbability(p)) return 0.0;
    return (a + t) * (Power(1.0 - p, -1.0 / beta0) - 1.0);
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
        record.mttf = beta0 > 1.0 ? (a + time) / (beta0 - 1.0) : kInfiniteMttf;
        record.lowQ = PercentileMO(0.25, a, time, beta0);
        record.median = PercentileMO(0.5, a, time, beta0);
        record.uppQ = PercentileMO(0.75, a, time, beta0);
        if (i < rangeEnd) {
            double next = x[i + 1];
            double survival = Power((a + time) / (a + time + next), beta0);
            record.cdf = 1.0 - survival;
            record.pdf = beta0 * survival / (a + time + next);
        }
        return IndexResult{record, {FitMethod::Minimised, found.termination}};
    };
}

EstimationResult EstimateMO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareMO(x, t, rangeEnd, settings), estimates,
                          control);
}

namespace {

PredictivePoint NextMO(const StoredFit& fit, double s) {
    const double a = fit.param1;
    const double survival = Power((a + fit.time) / (a + fit.time + s), fit.param2);
    return {1.0 - survival, survival * fit.param2 / (a + fit.time + s)};
}

double QuantileMO(const StoredFit& fit, double p) {
    return PercentileMO(p, fit.param1, fit.time, fit.param2);
}

std::optional<double> Regular(const StoredFit&) { return std::nullopt; }

double MeanMO(const StoredFit& fit) {
    return fit.param2 > 1.0 ? (fit.param1 + fit.time) / (fit.param2 - 1.0) : kInfiniteMttf;
}

}  // namespace

const Predictive kPredictiveMO{&NextMO, &QuantileMO, &Regular, &MeanMO, nullptr};

namespace {

// The mean value function Beta0 ln(1 + t / a) has the intensity Beta0 / (a + t).
double IntensityMO(const StoredFit& fit) { return fit.param2 / (fit.param1 + fit.time); }

double ExpectedFailuresMO(const StoredFit& fit, double t) {
    return fit.param2 * std::log1p(t / (fit.param1 + fit.time));
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
