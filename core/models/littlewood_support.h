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

}  // namespace tamsel
