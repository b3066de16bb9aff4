#include "tamsel/recalibration/spline_curve.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tamsel {
namespace {

constexpr int kOrder = 4;
// Regula falsi keeps one end of its bracket when the curve bends; after this many moves of
// the same end a bisection step halves the bracket, so that the search always ends.
constexpr int kMovesBeforeBisection = 2;
// Enough bisections to shrink any bracket in [0, 1] to rounding, with room for the regula
// falsi steps in between.
constexpr int kMaxInversionSteps = 200;

}  // namespace

SplineCurve MakeSplineCurve(std::vector<double> breaks) {
    SplineCurve curve;
    curve.knots.reserve(breaks.size() + 6);
    curve.knots.insert(curve.knots.end(), kOrder - 1, breaks.front());
    curve.knots.insert(curve.knots.end(), breaks.begin(), breaks.end());
    curve.knots.insert(curve.knots.end(), kOrder - 1, breaks.back());
    curve.coefficients.assign(breaks.size() + kOrder - 2, 0.0);
    curve.breaks = std::move(breaks);
    return curve;
}

int PieceOf(const SplineCurve& curve, double s) {
    const auto interiorEnd = curve.breaks.end() - 1;
    const auto after = std::upper_bound(curve.breaks.begin() + 1, interiorEnd, s);
    return static_cast<int>(after - (curve.breaks.begin() + 1));
}

std::array<double, 4> BSplineValues(const SplineCurve& curve, int piece, double s) {
    const std::vector<double>& t = curve.knots;
    const int mu = piece + kOrder - 1;
    std::array<double, 4> values{1.0, 0.0, 0.0, 0.0};
    std::array<double, 4> right{};
    std::array<double, 4> left{};
    for (int j = 1; j < kOrder; ++j) {
        right[j] = t[mu + j] - s;
        left[j] = s - t[mu + 1 - j];
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            const double term = values[r] / (right[r + 1] + left[j - r]);
            values[r] = saved + right[r + 1] * term;
            saved = left[j - r] * term;
        }
        values[j] = saved;
    }
    return values;
}

double EvaluateSplinePiece(const SplineCurve& curve, double s, int piece, int order) {
    if (order >= kOrder) return 0.0;
    const std::vector<double>& t = curve.knots;
    const int mu = piece + kOrder - 1;
    std::array<double, 4> a{};
    for (int m = 0; m < kOrder; ++m) a[m] = curve.coefficients[piece + m];
    // Coefficients of the derivative, element m for knot index mu - 3 + m.
    for (int r = 1; r <= order; ++r) {
        for (int m = kOrder - 1; m >= r; --m) {
            const int i = mu - (kOrder - 1) + m;
            a[m] = (kOrder - r) * (a[m] - a[m - 1]) / (t[i + kOrder - r] - t[i]);
        }
    }
    // De Boor's recurrence for the spline of order 4 - order.
    const int reduced = kOrder - order;
    for (int r = 1; r < reduced; ++r) {
        for (int m = kOrder - 1; m >= order + r; --m) {
            const int i = mu - (kOrder - 1) + m;
            const double alpha = (s - t[i]) / (t[i + reduced - r] - t[i]);
            a[m] = (1.0 - alpha) * a[m - 1] + alpha * a[m];
        }
    }
    return a[kOrder - 1];
}

double EvaluateSpline(const SplineCurve& curve, double s, int order) {
    return EvaluateSplinePiece(curve, s, PieceOf(curve, s), order);
}

std::vector<double> DerivativeCoefficients(const SplineCurve& curve) {
    const std::vector<double>& c = curve.coefficients;
    const std::vector<double>& t = curve.knots;
    std::vector<double> d(c.size() - 1);
    for (std::size_t j = 0; j + 1 < c.size(); ++j) {
        d[j] = (kOrder - 1) * (c[j + 1] - c[j]) / (t[j + kOrder] - t[j + 1]);
    }
    return d;
}

SplineInverse InvertSpline(const SplineCurve& curve, double target) {
    const int pieces = curve.Pieces();
    std::vector<double> atBreaks(pieces + 1);
    for (int p = 0; p <= pieces; ++p) {
        atBreaks[p] = EvaluateSplinePiece(curve, curve.breaks[p], std::min(p, pieces - 1), 0);
    }
    int piece = -1;
    for (int p = 0; p < pieces && piece < 0; ++p) {
        if ((atBreaks[p] - target) * (atBreaks[p + 1] - target) <= 0.0) piece = p;
    }
    if (piece < 0) {
        if (std::abs(atBreaks[0] - target) <= std::abs(atBreaks[pieces] - target)) return {0.0, 0};
        return {1.0, pieces - 1};
    }

    double a = curve.breaks[piece];
    double b = curve.breaks[piece + 1];
    double fa = atBreaks[piece] - target;
    double fb = atBreaks[piece + 1] - target;
    SplineInverse best{std::abs(fa) <= std::abs(fb) ? a : b, piece};
    double bestError = std::min(std::abs(fa), std::abs(fb));
    int lastMoved = 0;  // -1 the left end moved last, +1 the right end
    int sameMoves = 0;
    for (int step = 0; step < kMaxInversionSteps && bestError >= kInversionTolerance; ++step) {
        double s = a - fa * (b - a) / (fb - fa);
        const bool bisection = !(s > a && s < b) || sameMoves >= kMovesBeforeBisection;
        if (bisection) s = 0.5 * (a + b);
        if (!(s > a && s < b)) break;  // the bracket has shrunk to rounding
        const double fs = EvaluateSplinePiece(curve, s, piece, 0) - target;
        if (std::abs(fs) < bestError) {
            bestError = std::abs(fs);
            best.s = s;
        }
        const int moved = (fs < 0.0) == (fa < 0.0) ? -1 : 1;
        sameMoves = !bisection && moved == lastMoved ? sameMoves + 1 : 1;
        lastMoved = bisection ? 0 : moved;
        if (moved < 0) {
            a = s;
            fa = fs;
        } else {
            b = s;
            fb = fs;
        }
    }
    return best;
}

}  // namespace tamsel
