// Cubic B-spline curves on [0, 1]: the shape of the two coordinate curves x(s) and y(s) of
// a recalibrating function, their evaluation piece by piece and their inversion.
#pragma once

#include <array>
#include <vector>

namespace tamsel {

// A cubic spline on [0, 1] with breaks 0 = b(0) < b(1) < ... < b(P) = 1 (P pieces), in
// B-spline form: the knots are the breaks with each end break repeated to multiplicity 4,
// and there are P + 3 coefficients. Piece p (from 0) spans [b(p), b(p + 1)] and depends on
// coefficients p .. p + 3.
struct SplineCurve {
    std::vector<double> breaks;
    std::vector<double> knots;
    std::vector<double> coefficients;

    int Pieces() const { return static_cast<int>(breaks.size()) - 1; }
};

// The curve with these breaks (strictly increasing, first 0, last 1, at least two) and all
// coefficients 0.
SplineCurve MakeSplineCurve(std::vector<double> breaks);

// The piece that holds s: the last piece whose left break is at or below s, so that s = 1
// and anything above belong to the last piece and anything below 0 to the first.
int PieceOf(const SplineCurve& curve, double s);

// The four B-splines that do not vanish on piece p, evaluated at s: element m belongs to
// coefficient p + m.
std::array<double, 4> BSplineValues(const SplineCurve& curve, int piece, double s);

// The derivative of the given order (0 value, 1 to 3 derivatives; 0 beyond 3) of the cubic
// of piece p at s. An s outside the piece extends that piece's cubic.
double EvaluateSplinePiece(const SplineCurve& curve, double s, int piece, int order);

// The value of the curve at s, on the piece that holds s.
double EvaluateSpline(const SplineCurve& curve, double s, int order = 0);

// The coefficients d(j) = 3 (c(j + 1) - c(j)) / (knot span of j) of the derivative, j from 0
// to P + 1. All of them at or above a positive bound make the curve increasing.
std::vector<double> DerivativeCoefficients(const SplineCurve& curve);

// The tolerance within which InvertSpline hits its target.
inline constexpr double kInversionTolerance = 1e-6;

struct SplineInverse {
    double s = 0.0;
    int piece = 0;
};

// The s in [0, 1] where the curve equals target: the piece whose values at its breaks
// bracket target, then regula falsi steps inside that bracket with a bisection step when a
// step falls outside it or stalls, until |c(s) - target| < kInversionTolerance; the best
// point found is returned if the bracket collapses first. A target that no piece brackets
// (outside the values of the curve) gives the end of [0, 1] whose value is nearer to it.
SplineInverse InvertSpline(const SplineCurve& curve, double target);

}  // namespace tamsel
