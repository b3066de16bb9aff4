#include "tamsel/models/go_model.h"

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "fit_support.h"
#include "process_support.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"

namespace tamsel {
namespace {

constexpr double kExponentFloor = -700.0;

// sum t(j) over failures 1..i, element i, in failure order.
std::shared_ptr<const std::vector<double>> ComputeSums(const FailureSeries& t,
                                                       std::int32_t rangeEnd) {
    auto sums = std::make_shared<std::vector<double>>(static_cast<std::size_t>(rangeEnd) + 1);
    for (std::size_t k = 1; k < sums->size(); ++k) (*sums)[k] = (*sums)[k - 1] + t[k];
    return sums;
}

void FillHomogeneous(EstimateRecord& record, double rate, double time, std::int32_t i,
                     const FailureSeries& x, std::int32_t rangeEnd) {
    record.param1 = kInfiniteFaults;
    record.param2 = 0.0;
    record.param3 = rate;
    record.mttf = time / i;
    record.lowQ = PercentileHpp(0.25, rate);
    record.median = PercentileHpp(0.5, rate);
    record.uppQ = PercentileHpp(0.75, rate);
    if (i < rangeEnd) {
        double next = x[i + 1];
        record.cdf = CdfHpp(next, rate);
        record.pdf = rate * std::exp(-rate * next);
    }
}

void FillRegular(EstimateRecord& record, double phi, double time, std::int32_t i,
                 const FailureSeries& x, std::int32_t rangeEnd) {
    double mu = i / -std::expm1(-phi * time);
    record.param1 = mu;
    record.param2 = phi;
    record.mttf = kInfiniteMttf;
    record.lowQ = PercentileGO(0.25, phi, time, mu);
    record.median = PercentileGO(0.5, phi, time, mu);
    record.uppQ = PercentileGO(0.75, phi, time, mu);
    if (i < rangeEnd) {
        double next = x[i + 1];
        double survival = 0.0;
        record.cdf = CdfGO(time, next, phi, mu, survival);
        record.pdf = phi * mu * std::exp(-phi * (time + next)) * survival;
    }
}

// 1/z - 1/(e^z - 1), which falls from 1/2 at z = 0 towards 0; its series keeps every digit
// where the two terms cancel.
double GrowthShare(double z) {
    if (z < 0.1) {
        const double z2 = z * z;
        return 0.5 - z / 12.0 * (1.0 - z2 / 60.0 * (1.0 - z2 / 42.0 * (1.0 - z2 / 40.0)));
    }
    return 1.0 / z - 1.0 / std::expm1(z);
}

struct GoRoot {
    std::optional<double> z;  // Phi T at the maximum; none for the homogeneous limit
    std::int32_t evaluations = 0;
};

// With Phi profiled out the log-likelihood is i (ln(z / (1 - e^-z)) - z share) plus terms
// free of z = Phi T, share = sum t(j) / (i T); its slope is i (GrowthShare(z) - share), so
// the maximum is the one root of GrowthShare(z) = share when share < 1/2, and the
// homogeneous limit z -> 0 otherwise. Bisection on ln z keeps every digit of the root
// whatever the data's unit.
GoRoot ShapeRoot(double share) {
    if (!(share < 0.5)) return {};
    double lo = 6.0 * (0.5 - share);  // GrowthShare(z) >= 1/2 - z / 12 > share there
    double hi = 1.0 / share;          // GrowthShare(z) < 1 / z
    GoRoot root;
    while (hi > lo * (1.0 + 4e-16)) {
        const double mid = std::sqrt(lo * hi);
        if (mid <= lo || mid >= hi) break;
        ++root.evaluations;
        (GrowthShare(mid) > share ? lo : hi) = mid;
    }
    root.z = std::sqrt(lo * hi);
    return root;
}

}  // namespace

double CdfGO(double t, double s, double phi, double mu, double& survival) {
    // Mu e^(-Phi T) (1 - e^(-Phi s)) without the difference of two nearly equal exponentials.
    double exponent = mu * std::exp(-phi * t) * std::expm1(-phi * s);
    if (exponent < kExponentFloor) {
        survival = 0.0;
        return 1.0;
    }
    survival = std::exp(exponent);
    return -std::expm1(exponent);
}

double PercentileGO(double p, double phi, double t, double mu) {
    if (!IsProbability(p)) return 0.0;
    // q = 1 + shift is the survival the quantile leaves to e^(-Phi s); log1p keeps the digits
    // of a shift far below 1 (many faults remain).
    double shift = std::exp(phi * t) * std::log1p(-p) / mu;
    if (shift <= -1.0) return kInfiniteQuartile;
    return -std::log1p(shift) / phi;
}

double CdfHpp(double s, double rate) {
    double exponent = -rate * s;
    if (exponent < kExponentFloor) return 1.0;
    return -std::expm1(exponent);
}

double PercentileHpp(double p, double rate) {
    if (!IsProbability(p)) return 0.0;
    if (rate <= kVanishing) return kInfiniteQuartile;
    return -std::log1p(-p) / rate;
}

IndexFit PrepareGO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings&) {
    std::shared_ptr<const std::vector<double>> sums = ComputeSums(t, rangeEnd);
    return [&x, &t, sums, rangeEnd](std::int32_t i) {
        const double time = t[i];
        const double share = (*sums)[i] / (i * time);
        IndexResult result;
        const GoRoot root = ShapeRoot(share);
        if (!root.z) {
            FillHomogeneous(result.record, i / time, time, i, x, rangeEnd);
            result.record.logLhd = HppLogLhd(i, time);
            result.termination = LimitEnd("homogeneous", root.evaluations);
            return result;
        }
        const double z = *root.z;
        FillRegular(result.record, z / time, time, i, x, rangeEnd);
        result.record.logLhd =
            HppLogLhd(i, time) + i * (std::log(z) - std::log(-std::expm1(-z)) - z * share);
        result.termination = {FitOutcome::Converged, {}, root.evaluations};
        return result;
    };
}

EstimationResult EstimateGO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareGO(x, t, rangeEnd, settings), estimates,
                          control);
}

namespace {

// Param1 = kInfiniteFaults marks the homogeneous limit, whose rate is Param3.
PredictivePoint NextGO(const StoredFit& fit, double s) {
    const double mu = fit.param1;
    const double phi = fit.param2;
    if (mu == kInfiniteFaults)
        return {CdfHpp(s, fit.param3), fit.param3 * std::exp(-fit.param3 * s)};
    if (phi == 0.0) return {0.0, kVanishing};
    double survival = 0.0;
    const double u = CdfGO(fit.time, s, phi, mu, survival);
    return {u, mu * phi * std::exp(-phi * (fit.time + s)) * survival};
}

double QuantileGO(const StoredFit& fit, double p) {
    if (fit.param1 == kInfiniteFaults) return PercentileHpp(p, fit.param3);
    return PercentileGO(p, fit.param2, fit.time, fit.param1);
}

std::optional<double> Regular(const StoredFit&) { return std::nullopt; }

// The defective distribution of the regular fit has no finite mean.
double MeanGO(const StoredFit& fit) {
    return fit.param1 == kInfiniteFaults ? fit.time / fit.index : kInfiniteMttf;
}

}  // namespace

const Predictive kPredictiveGO{&NextGO, &QuantileGO, &Regular, &MeanGO, nullptr};

namespace {

// Mu Phi exp(-Phi T), or the homogeneous limit's rate Param3.
double IntensityGO(const StoredFit& fit) {
    if (fit.param1 == kInfiniteFaults) return fit.param3;
    return fit.param1 * fit.param2 * std::exp(-fit.param2 * fit.time);
}

// Mu exp(-Phi T) (1 - exp(-Phi t)).
double ExpectedFailuresGO(const StoredFit& fit, double t) {
    if (fit.param1 == kInfiniteFaults) return fit.param3 * t;
    return -fit.param1 * std::exp(-fit.param2 * fit.time) * std::expm1(-fit.param2 * t);
}

// Mu - m(T) = Mu exp(-Phi T), which equals Mu - n at the likelihood's maximum.
std::optional<double> FaultsRemainingGO(const StoredFit& fit) {
    if (fit.param1 == kInfiniteFaults) return std::nullopt;
    return fit.param1 * std::exp(-fit.param2 * fit.time);
}

TargetReach ReachGO(const StoredFit& fit, double target) {
    const double now = IntensityGO(fit);
    if (now <= target) return ReachedNow();
    if (fit.param1 == kInfiniteFaults) return NeverReached();
    return ReachedAfter(std::log(now / target) / fit.param2);
}

double ReliabilityGO(const StoredFit& fit, double t) {
    return std::exp(-ExpectedFailuresGO(fit, t));
}

}  // namespace

const FailureProcess kProcessGO{&IntensityGO, &ExpectedFailuresGO, &FaultsRemainingGO, &ReachGO,
                                &ReliabilityGO};

}  // namespace tamsel
