#include "tamsel/models/go_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "model_support.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

constexpr int kObjectiveCode = 4;
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
    double exponent = -mu * (std::exp(-phi * t) - std::exp(-phi * (t + s)));
    if (exponent < kExponentFloor) {
        survival = 0.0;
        return 1.0;
    }
    survival = std::exp(exponent);
    return -std::expm1(exponent);
}

double PercentileGO(double p, double phi, double t, double mu) {
    if (!PercentileLevelValid(p)) return 0.0;
    double q = 1.0 + std::exp(phi * t) * std::log1p(-p) / mu;
    if (q <= 0.0) return kInfiniteQuartile;
    return -std::log(q) / phi;
}

double CdfHpp(double s, double rate) {
    double exponent = -rate * s;
    if (exponent < kExponentFloor) return 1.0;
    return -std::expm1(exponent);
}

double PercentileHpp(double p, double rate) {
    if (!PercentileLevelValid(p)) return 0.0;
    if (rate <= kVanishing) return kInfiniteQuartile;
    return -std::log1p(-p) / rate;
}

IndexFit PrepareGO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    RegisterModelObjectives();
    std::shared_ptr<const std::vector<double>> sums = ComputeSums(t, rangeEnd);
    return [&x, &t, sums, rangeEnd, settings](std::int32_t i) {
        double time = t[i];
        double mean = (*sums)[i] / i;
        EstimateRecord record;
        if (time / 2.0 < mean) {
            FillHomogeneous(record, i / time, time, i, x, rangeEnd);
            return record;
        }
        ObjectiveData data;
        data.r = mean;
        data.c = time;
        Minimise1DResult found = Minimise1D(time, mean, kLargestTimeScale * std::max(1.0, time),
                                            settings.relativePrecision, settings.absolutePrecision,
                                            settings.maxIter, kObjectiveCode, data);
        FillRegular(record, 1.0 / found.x, time, i, x, rangeEnd);
        return record;
    };
}

EstimationResult EstimateGO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareGO(x, t, rangeEnd, settings), estimates,
                          control);
}

}  // namespace tamsel
