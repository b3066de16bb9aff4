// Least-squares cubic spline fits of one coordinate of a u-plot against its chord-length
// parameter: the banded least-squares solve, the refit that makes a curve increasing, and
// the adaptive placement of breaks (NewAdap).
#pragma once

#include <array>
#include <span>
#include <vector>

#include "tamsel/recalibration/spline_curve.h"

namespace tamsel {

// How a fit ended. The numbers are the historical status codes.
enum class FitStatus { Succeeded = 0, Failed = 1 };

// The smallest derivative coefficient that counts as increasing.
inline constexpr double kSmallestSlope = 1e-8;
// The most pieces a fitted curve may have.
inline constexpr int kMaxPieces = 17;

// The upper triangular factor R of a least-squares system in B-spline coefficients; row i
// holds R(i, i) .. R(i, i + 3) (entries beyond the last column are 0).
struct BandedFactor {
    std::vector<std::array<double, 4>> rows;

    int Size() const { return static_cast<int>(rows.size()); }
    double At(int row, int column) const;
};

// The unconstrained least-squares fit of the curve's coefficients to weighted data: the
// coefficients minimise sum w(j)^2 (v(j) - c(s(j)))^2, and ||R (c - coefficients)||^2 plus
// that minimum is the same sum for any other coefficients c. fullRank is false when the
// data do not determine every coefficient (too few sites under some B-spline); the
// undetermined coefficients are then 0.
struct SplineLeastSquares {
    std::vector<double> coefficients;
    BandedFactor factor;
    bool fullRank = true;
};

// Fits the cubic spline with the breaks of curve to the sites s (in [0, 1]), values and
// weights (all the same length), row by row with Givens rotations on the banded
// observation matrix, then back-substitution.
SplineLeastSquares SolveSplineLeastSquares(const SplineCurve& curve, std::span<const double> s,
                                           std::span<const double> values,
                                           std::span<const double> weights);

struct ConstrainedRefitResult {
    FitStatus status = FitStatus::Failed;
    std::vector<double> coefficients;
    // The derivative coefficients held at kSmallestSlope, and their Lagrange multipliers
    // (non-negative at the solution): R^T R (c - c0) = sum multiplier(j) * gradient of d(j).
    std::vector<int> active;
    std::vector<double> multipliers;
};

// The coefficients closest to the unconstrained fit in the least-squares sense,
// ||R (c - c0)|| least, among those whose derivative coefficients (DerivativeCoefficients)
// are all at or above kSmallestSlope, so that the curve is increasing. An active-set
// method that starts from c0 with no bound held, adds the most violated bound and lets a
// bound go as soon as its multiplier would turn negative; the factorisation of G R^-1 for
// the held bounds G is updated by Givens rotations. No coefficient is fixed, so every set
// of bounds is independent and the problem is always feasible. Fails when R is singular or
// rounding makes the method go round in circles; the coefficients are then c0.
ConstrainedRefitResult ConstrainedRefit(const SplineCurve& curve, const BandedFactor& factor,
                                        const std::vector<double>& c0);

struct AdaptiveFit {
    SplineCurve curve;  // the fit of the last pass, also when it failed
    FitStatus status = FitStatus::Failed;
    int passes = 0;
    double residual = 0.0;  // E: the weighted sum of squared residuals of curve
};

// Fits values against the increasing sites s (s in [0, 1]) with weights, starting from
// pieces pieces, lowered to min(pieces, sites - 3, 17) and raised to 1. The interior breaks
// are placed by the initial rule (equal shares of sites, each break halfway between two
// sites); a fit whose derivative coefficients fall below kSmallestSlope is replaced by
// ConstrainedRefit. While E >= sqMax the piece with the largest share of E (holding two
// sites or more) is split at the middle of its sites, and breaks across which the fitted
// cubic does not change are removed. Succeeds when E < sqMax with no such break. Fails
// when the refit fails, when a refit is needed after more than iter passes, when the
// pieces would exceed 17, when the breaks would repeat those of an earlier pass, and when
// there are fewer than 4 sites (the curve is then one piece with coefficients 0).
AdaptiveFit NewAdap(std::span<const double> s, std::span<const double> values,
                    std::span<const double> weights, int pieces, double sqMax, int iter);

}  // namespace tamsel
