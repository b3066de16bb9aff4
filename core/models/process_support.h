// Helpers shared by the models' failure-process answers (see failure_process.h).
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "pareto.h"
#include "tamsel/models/failure_process.h"

namespace tamsel {

inline TargetReach ReachedNow() { return {TargetReach::Status::Reached, 0.0, std::nullopt}; }
inline TargetReach NeverReached() { return {TargetReach::Status::Never, 0.0, std::nullopt}; }
inline TargetReach ReachedAfter(double time, std::optional<double> fixes = std::nullopt) {
    return {TargetReach::Status::After, time, fixes};
}

// Where an intensity that decays as now * (scale / (scale + u))^power over further time u
// (power > 0) falls to target < now: u = scale ((now / target)^(1 / power) - 1).
inline TargetReach ReachDecayingPower(double now, double target, double scale, double power) {
    if (now <= target) return ReachedNow();
    return ReachedAfter(scale * std::expm1(std::log(now / target) / power));
}

// The smallest whole number of further fixes k >= 0 with a reach of level(k) >= needed, for a
// level that grows by step > 0 with each fix from level(0) = start.
inline double FixesToLevel(double start, double step, double needed) {
    return std::max(0.0, std::ceil((needed - start) / step));
}

// The hazard at 0 of a Pareto next interfailure time: shape / scale, 0 where it never fails,
// infinite where it fails at once.
inline double ParetoIntensity(const Pareto& d) {
    if (NeverFails(d)) return 0.0;
    if (FailsAtOnce(d)) return std::numeric_limits<double>::infinity();
    return d.shape / d.scale;
}

// The probability that a Pareto next interfailure time exceeds t.
inline double ParetoReliability(const Pareto& d, double t) {
    if (NeverFails(d)) return 1.0;
    if (FailsAtOnce(d)) return 0.0;
    return std::exp(-d.shape * Log1pRatio(t, d.scale));
}

}  // namespace tamsel
