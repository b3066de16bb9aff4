// Helpers shared by the Littlewood family of models (Li, LNHPP, LV, KL): the two-variable
// fit and the fault guard of their objectives (the Pareto prediction of Li, LV and KL is in
// pareto.h).
#pragma once

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "pareto.h"
#include "tamsel/models/prequential.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/minimise_nd.h"
#include "tamsel/records/records.h"

namespace tamsel {

// Every fit searches the box |p1|, |p2| <= kHalfWidth.
inline constexpr double kHalfWidth = 1e7;

// The search for the point (p1, p2) that minimises f from (start1, start2) with the
// inference method's settings.
inline MinimiseNDResult MinimiseFrom(double start1, double start2, ObjectiveND f,
                                     const MinimisationSettings& settings) {
    return MinimiseND(f, {start1, start2}, {kHalfWidth, kHalfWidth}, settings.absolutePrecision,
                      settings.eta, settings.tolerance, settings.maxIter);
}

// The termination of a fit found by MinimiseND.
inline FitTermination Minimised(const MinimiseNDResult& found) {
    return {FitMethod::Minimised, found.termination};
}

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

// The record of a model fitted on the interfailure times from its two squared variables.
using WindowRecord = EstimateRecord (*)(const FailureSeries& x, std::int32_t i,
                                        std::int32_t rangeEnd, double first, double second);
// The objective of such a model on the interfailure times x(1..n).
using WindowObjective = double (*)(std::span<const double> p, std::span<double> g, std::int32_t n,
                                   double eps, const FailureSeries& x);

// The per-index fit of LV and KL: both minimise over the interfailure times from (start,
// start), and their parameters are the squared variables plus the absolute precision, which
// keeps them away from 0.
inline IndexFit PrepareWindowFit(const FailureSeries& x, std::int32_t rangeEnd,
                                 const MinimisationSettings& settings, double start,
                                 WindowObjective objective, WindowRecord record) {
    return [&x, rangeEnd, settings, start, objective, record](std::int32_t i) {
        const double eps = settings.absolutePrecision;
        const MinimiseNDResult found = MinimiseFrom(
            start, start,
            [&](std::span<const double> p, std::span<double> g) {
                return objective(p, g, i, eps, x);
            },
            settings);
        const std::vector<double>& p = found.x;
        return IndexResult{record(x, i, rangeEnd, p[0] * p[0] + eps, p[1] * p[1] + eps),
                           Minimised(found)};
    };
}

}  // namespace tamsel
