// Helpers shared by the Littlewood family of models (Li, LNHPP, LV, KL): the two-variable
// fit and the fault guard of their objectives (the Pareto prediction of Li, LV and KL is in
// pareto.h).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "pareto.h"
#include "tamsel/models/prequential.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/lanes.h"
#include "tamsel/numeric/log_sum.h"
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

// f where it is finite, else kObjectiveFault: what GuardObjective gives where the gradient is
// finite with f, as at the coarse grid's points (variables e^-14 to e^10 in the window's unit).
// There each gradient sum of LV and KL is at most n e^14, or that times the sum D that the
// level divides it by (x / ((v + x) v) <= ln(1 + x / v) / v).
inline double GuardValue(double f) { return std::isfinite(f) ? f : kObjectiveFault; }

// The sums over the failure times t_j, j = 1..n, of Li's and LNHPP's objectives, with
// scaled_j = Beta + t_j and q_j = t_j / scaled_j.
struct TimeSums {
    double logScaled;    // sum ln(Beta + t_j)
    double logRatio;     // sum ln(1 + t_j / Beta)
    double invScaled;    // sum 1 / scaled_j
    double invScaledSq;  // sum 1 / scaled_j^2
    double timeShare;    // sum q_j
    double shareCurve;   // sum q_j (2 - q_j)
};

inline TimeSums SumOverTimes(double beta, const FailureSeries& t, std::int32_t n) {
    return OnLanes([&] {
        LaneLogSum logScaled;
        LaneLog1pSum logRatio;
        Lanes invScaled{};
        Lanes invScaledSq{};
        Lanes timeShare{};
        Lanes shareCurve{};
        const double invBeta = 1.0 / beta;
        ForEachGroup(1, n, [&](std::int32_t j, const auto& group) {
            const Lanes time = group.Load(&t[j]);
            const Lanes scaled = beta + time;
            const Lanes inv = 1.0 / scaled;
            const Lanes share = time * inv;
            logScaled.Add(group.Keep(scaled, 1.0));
            logRatio.Add(group.Keep(time * invBeta));
            invScaled += group.Keep(inv);
            invScaledSq += group.Keep(inv * inv);
            timeShare += group.Keep(share);
            shareCurve += group.Keep(share * (2.0 - share));
        });
        return TimeSums{logScaled.Value(),  logRatio.Value(), Total(invScaled),
                        Total(invScaledSq), Total(timeShare), Total(shareCurve)};
    });
}

// An objective of the times (Li's, LNHPP's) on a grid (see WindowGrid in window_fit.h), whose
// sums over the times depend on Beta = p[1]^2 + eps alone: each Beta takes one pass over the
// times, and each point then costs a few logarithms. profile(k0, p, sums) is the objective's
// value at p = (points[k0], Beta's point) from the sums at its Beta.
template <class Profile>
void GridOverBeta(std::span<const double> points, std::int32_t n, double eps,
                  const FailureSeries& t, std::span<double> values, const Profile& profile) {
    const std::size_t size = points.size();
    for (std::size_t k1 = 0; k1 < size; ++k1) {
        const TimeSums sums = SumOverTimes(points[k1] * points[k1] + eps, t, n);
        for (std::size_t k0 = 0; k0 < size; ++k0) {
            const std::array<double, 2> p{points[k0], points[k1]};
            values[k0 * size + k1] = profile(k0, p, sums);
        }
    }
}

// The first and second derivatives of an objective in its two squared variables v_k
// (p_k^2, or p_k^2 + eps): first[k], and second {d00, d01, d11}.
struct Curvature {
    std::array<double, 2> first{};
    std::array<double, 3> second{};
};

// The curvature of n ln D(v) + R(v), the form every profile objective here takes once its
// shape parameter sits at its best value level = n / D.
inline Curvature ProfileCurvature(std::int32_t n, double level, const Curvature& d,
                                  const Curvature& r) {
    Curvature c;
    for (int k = 0; k < 2; ++k) c.first[k] = level * d.first[k] + r.first[k];
    const double levelSqByN = level * level / n;
    c.second[0] = level * d.second[0] - levelSqByN * d.first[0] * d.first[0] + r.second[0];
    c.second[1] = level * d.second[1] - levelSqByN * d.first[0] * d.first[1] + r.second[1];
    c.second[2] = level * d.second[2] - levelSqByN * d.first[1] * d.first[1] + r.second[2];
    return c;
}

// f with its gradient g in p and, when h is not empty, its Hessian h (row-major), from the
// curvature c in the squared variables, guarded as GuardObjective guards.
inline double FinishObjective(double f, std::span<const double> p, const Curvature& c,
                              std::span<double> g, std::span<double> h) {
    for (int k = 0; k < 2; ++k) g[k] = 2.0 * p[k] * c.first[k];
    if (!h.empty()) {
        h[0] = 4.0 * p[0] * p[0] * c.second[0] + 2.0 * c.first[0];
        h[1] = h[2] = 4.0 * p[0] * p[1] * c.second[1];
        h[3] = 4.0 * p[1] * p[1] * c.second[2] + 2.0 * c.first[1];
    }
    const double guarded = GuardObjective(f, g);
    if (guarded == kObjectiveFault) std::fill(h.begin(), h.end(), 0.0);
    return guarded;
}

}  // namespace tamsel
