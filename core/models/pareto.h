// The Pareto distribution that MO, Li, LV and KL give for the next interfailure time, in forms
// that keep every digit when the shape or the scale is extreme, and the predictive
// distribution and record part built on it from a fit's stored parameters.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "tamsel/models/predictive.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/records/records.h"

namespace tamsel {

// Survival (scale / (scale + x))^shape. excess is shape - 1, which the mean divides by,
// formed from the parameters before the shape is rounded, so that a shape just above 1 keeps
// the digits of its excess. A shape <= 0 (no fault left) never fails; a scale <= 0 or an
// infinite shape fails at once.
struct Pareto {
    double shape = 0.0;
    double scale = 0.0;
    double excess = 0.0;
};

// From a shape formed in extended precision.
inline Pareto MakePareto(long double shape, double scale) {
    return {static_cast<double>(shape), scale, static_cast<double>(shape - 1.0L)};
}

inline bool NeverFails(const Pareto& d) { return !(d.shape > 0.0); }
inline bool FailsAtOnce(const Pareto& d) { return d.scale <= 0.0 || std::isinf(d.shape); }

// A quantile beyond the doubles stands for an infinite one. Finite quantiles stay as they
// are, also beyond kInfiniteQuartile, which data in large units can reach.
inline double QuartileOrInfinite(double quantile) {
    return std::isfinite(quantile) ? quantile : kInfiniteQuartile;
}

// scale * ((1 - p)^(-1/shape) - 1) for p in [0, 1], by expm1 and log1p: the power form loses
// every digit when the shape is large (the quantile is then a tiny fraction of the scale).
// p = 1, a quantile beyond the doubles and a distribution that never fails give
// kInfiniteQuartile; one that fails at once gives kVanishing.
inline double ParetoQuantile(double p, const Pareto& d) {
    if (p == 0.0) return 0.0;
    if (NeverFails(d)) return kInfiniteQuartile;
    if (FailsAtOnce(d)) return kVanishing;
    return QuartileOrInfinite(d.scale * std::expm1(-std::log1p(-p) / d.shape));
}

// The value every quantile takes where the distribution never fails or fails at once.
inline std::optional<double> ParetoLimitQuantile(const Pareto& d) {
    if (NeverFails(d)) return kInfiniteQuartile;
    if (FailsAtOnce(d)) return kVanishing;
    return std::nullopt;
}

// The distribution function and density at x >= 0, 1 - R taken as -expm1(ln R) so that
// small probabilities keep their digits; kVanishing stands for a density that vanishes.
inline PredictivePoint ParetoAt(double x, const Pareto& d) {
    if (NeverFails(d)) return {0.0, kVanishing};
    if (FailsAtOnce(d)) return {1.0, kVanishing};
    const double logSurvival = -d.shape * Log1pRatio(x, d.scale);
    return {-std::expm1(logSurvival), d.shape * std::exp(logSurvival) / (d.scale + x)};
}

// scale / (shape - 1), kInfiniteMttf when it is infinite (shape <= 1) or beyond the doubles,
// and kVanishing for a distribution that fails at once.
inline double ParetoMean(const Pareto& d) {
    if (!NeverFails(d) && FailsAtOnce(d)) return kVanishing;
    const double mean = d.scale / d.excess;
    return d.excess > 0.0 && std::isfinite(mean) ? mean : kInfiniteMttf;
}

// The Pareto distribution of the next interfailure time at a stored fit.
using ParetoOfFit = Pareto (*)(const StoredFit& fit);

// Fills the predictive part of record i from its stored parameters and time (the cumulative
// time of failure i): the mean, the quartiles and, when failure i + 1 lies inside the
// range, the distribution function and density at its observed time.
inline void SetParetoPrediction(EstimateRecord& record, ParetoOfFit of, double time,
                                const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd) {
    const Pareto d = of({i, record.param1, record.param2, record.param3, record.median, time});
    record.mttf = ParetoMean(d);
    record.lowQ = ParetoQuantile(0.25, d);
    record.median = ParetoQuantile(0.5, d);
    record.uppQ = ParetoQuantile(0.75, d);
    if (i < rangeEnd) {
        const PredictivePoint next = ParetoAt(x[i + 1], d);
        record.cdf = next.cdf;
        record.pdf = next.pdf;
    }
}

// The predictive distribution of a model whose next interfailure time is Pareto.
template <ParetoOfFit Of>
constexpr Predictive ParetoPredictive() {
    return {[](const StoredFit& fit, double s) { return ParetoAt(s, Of(fit)); },
            [](const StoredFit& fit, double p) {
                return IsProbability(p) ? ParetoQuantile(p, Of(fit)) : 0.0;
            },
            [](const StoredFit& fit) { return ParetoLimitQuantile(Of(fit)); },
            [](const StoredFit& fit) { return ParetoMean(Of(fit)); }, nullptr};
}

}  // namespace tamsel
