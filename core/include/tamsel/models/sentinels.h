// The values that stand for infinite or vanishing quantities in stored estimates. Plots and
// tables show them as stored.
#pragma once

namespace tamsel {

inline constexpr double kInfiniteMttf = 1e307;     // infinite mean time to failure
inline constexpr double kInfiniteQuartile = 1e30;  // infinite quartile or rate
inline constexpr double kVanishing = 1e-30;        // vanishing rate, density or quartile
inline constexpr double kInfiniteFaults = 999999;  // infinite number of faults
inline constexpr double kNoMttf = 0.0;             // no mean reported
// The infinite shape of a Gamma-mixed model at its exponential limit: the mixing Gamma
// collapses on its mean, and the Pareto predictive distribution is the exponential one.
inline constexpr double kInfiniteShape = 1e30;

}  // namespace tamsel
