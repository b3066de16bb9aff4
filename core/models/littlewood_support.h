// Helpers shared by the Littlewood family of models (Li, LNHPP, LV, KL): the two-variable
// fit, the fault guard of their objectives, and the Pareto predictive distribution that Li,
// LV and KL give for the next interfailure time, in forms that stay accurate when the shape
// or scale is extreme.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "tamsel/models/prequential.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/minimise_nd.h"
#include "tamsel/records/records.h"

namespace tamsel {

// What an objective returns after an arithmetic fault (the logarithm of a non-positive
// value, an overflow): far above any likelihood value, so that the line search backs off,
// and far below the range where the minimiser's interpolation would overflow on it.
inline constexpr double kObjectiveFault = 1e100;

// f unchanged when it and the gradient are finite; otherwise kObjectiveFault with a zero
// gradient, so that no NaN or infinity ever reaches the minimiser.
inline double GuardObjective(double f, std::span<double> g) {
    bool finite = std::isfinite(f);
    for (double component : g) finite = finite && std::isfinite(component);
    if (finite) return f;
    std::fill(g.begin(), g.end(), 0.0);
    return kObjectiveFault;
}

// A quantile at or beyond kInfiniteQuartile stands for an infinite one.
inline double CapQuartile(double quantile) {
    return quantile >= kInfiniteQuartile ? kInfiniteQuartile : quantile;
}

// scale * ((1 - p)^(-1/shape) - 1), the p-quantile of the Pareto distribution with survival
// (scale / (scale + x))^shape, for p in [0, 1]. expm1 and log1p keep every digit when the
// shape is large (the quantile is then a tiny fraction of the scale); p = 1 and vanishing
// shapes give kInfiniteQuartile.
inline double ParetoQuantile(double p, double shape, double scale) {
    if (p == 0.0) return 0.0;
    return CapQuartile(scale * std::expm1(-std::log1p(-p) / shape));
}

// The distribution function and density at x of that Pareto distribution; 1 - R is taken
// as -expm1(ln R) so that small probabilities keep their digits.
struct ParetoPoint {
    double cdf = 0.0;
    double pdf = 0.0;
};

inline ParetoPoint ParetoAt(double x, double shape, double scale) {
    double logSurvival = -shape * std::log1p(x / scale);
    return {-std::expm1(logSurvival), shape * std::exp(logSurvival) / (scale + x)};
}

// scale / (shape - 1), the Pareto mean, or kInfiniteMttf when it is infinite (shape <= 1).
inline double ParetoMean(double shape, double scale) {
    return shape > 1.0 ? scale / (shape - 1.0) : kInfiniteMttf;
}

// Fills the predictive part of a record whose next interfailure time is Pareto with this
// shape and scale: the mean, the quartiles and, when failure i + 1 lies inside the range,
// the distribution function and density at its observed time.
inline void SetParetoPrediction(EstimateRecord& record, double shape, double scale,
                                const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd) {
    record.mttf = ParetoMean(shape, scale);
    record.lowQ = ParetoQuantile(0.25, shape, scale);
    record.median = ParetoQuantile(0.5, shape, scale);
    record.uppQ = ParetoQuantile(0.75, shape, scale);
    if (i < rangeEnd) {
        ParetoPoint next = ParetoAt(x[i + 1], shape, scale);
        record.cdf = next.cdf;
        record.pdf = next.pdf;
    }
}

}  // namespace tamsel
