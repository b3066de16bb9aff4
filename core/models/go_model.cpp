#include "tamsel/models/go_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

constexpr double kExponentFloor = -700.0;
// The time scale 1 / Phi is searched up to 1e8 data time units, and further for data whose
// last failure time exceeds 1: the maximum lies ever further out as the mean failure time
// approaches T / 2, and a fixed bound would cut it off for data counted in seconds.
constexpr double kLargestTimeScale = 1e8;

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

}  // namespace

double ObjectiveGO(double z, double r, double c) {
    double value = z * (std::exp(r / z) - std::exp((r - c) / z));
    return std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
}

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
                   const MinimisationSettings& settings) {
    std::shared_ptr<const std::vector<double>> sums = ComputeSums(t, rangeEnd);
    return [&x, &t, sums, rangeEnd, settings](std::int32_t i) {
        double time = t[i];
        double mean = (*sums)[i] / i;
        IndexResult result;
        if (time / 2.0 < mean) {
            FillHomogeneous(result.record, i / time, time, i, x, rangeEnd);
            result.termination.method = FitMethod::LimitCase;
            return result;
        }
        Minimise1DResult found =
            Minimise1D([&](double z) { return ObjectiveGO(z, mean, time); }, time, mean,
                       kLargestTimeScale * std::max(1.0, time), settings.relativePrecision,
                       settings.absolutePrecision, settings.maxIter);
        FillRegular(result.record, 1.0 / found.x, time, i, x, rangeEnd);
        result.termination = {FitMethod::Minimised, found.termination};
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

}  // namespace tamsel
