#include "tamsel/recalibration/spline_curve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "tamsel/recalibration/spline_fit.h"
#include "test_support.h"

namespace tamsel {
namespace {

// Independent truths: cubics in power form, their B-spline coefficients by blossoming, random
// breaks and sites.

// a[0] + a[1] s + a[2] s^2 + a[3] s^3.
using Cubic = std::array<double, 4>;

// The derivative of the given order (0 to 3) of p at s.
double EvaluateCubic(const Cubic& p, double s, int order) {
    switch (order) {
        case 0:
            return p[0] + s * (p[1] + s * (p[2] + s * p[3]));
        case 1:
            return p[1] + s * (2.0 * p[2] + s * 3.0 * p[3]);
        case 2:
            return 2.0 * p[2] + 6.0 * p[3] * s;
        case 3:
            return 6.0 * p[3];
        default:
            return 0.0;
    }
}

// The B-spline coefficients of p on the curve's knots: coefficient i is the blossom of p at
// knots i + 1, i + 2, i + 3 (Marsden's identity), computed without any spline routine.
std::vector<double> BlossomCoefficients(const SplineCurve& curve, const Cubic& p) {
    const std::vector<double>& t = curve.knots;
    std::vector<double> c(curve.coefficients.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        const double x = t[i + 1];
        const double y = t[i + 2];
        const double z = t[i + 3];
        c[i] = p[0] + p[1] * (x + y + z) / 3.0 + p[2] * (x * y + y * z + z * x) / 3.0 +
               p[3] * x * y * z;
    }
    return c;
}

// Breaks 0 < ... < 1 of the given number of pieces, spread at random but no closer than a
// tenth of an even spacing.
std::vector<double> RandomBreaks(std::mt19937& random, int pieces) {
    std::uniform_real_distribution<double> jitter(0.1, 1.0);
    std::vector<double> widths(pieces);
    double total = 0.0;
    for (double& width : widths) total += (width = jitter(random));
    std::vector<double> breaks{0.0};
    double running = 0.0;
    for (int p = 0; p + 1 < pieces; ++p) breaks.push_back((running += widths[p]) / total);
    breaks.push_back(1.0);
    return breaks;
}

// count sorted distinct sites in [0, 1], the first at 0 and the last at 1.
std::vector<double> RandomSites(std::mt19937& random, int count) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> sites{0.0, 1.0};
    while (static_cast<int>(sites.size()) < count) sites.push_back(unit(random));
    std::sort(sites.begin(), sites.end());
    sites.erase(std::unique(sites.begin(), sites.end()), sites.end());
    return sites;
}

TEST(SplineCurve, PieceOfTakesTheRightPieceAtABreakAndClampsOutside) {
    const SplineCurve curve = MakeSplineCurve({0.0, 0.3, 0.7, 1.0});
    struct Case {
        double s;
        int piece;
    };
    for (const Case& c : {Case{-0.5, 0}, Case{0.0, 0}, Case{0.29, 0}, Case{0.3, 1}, Case{0.69, 1},
                          Case{0.7, 2}, Case{1.0, 2}, Case{1.5, 2}}) {
        EXPECT_EQ(PieceOf(curve, c.s), c.piece) << "s = " << c.s;
    }
}

TEST(SplineCurve, EvaluatesACubicAndItsDerivativesOnEveryPiece) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> coefficient(-3.0, 3.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int pieces : {1, 3, 8, 17}) {
        SplineCurve curve = MakeSplineCurve(RandomBreaks(random, pieces));
        const Cubic p{coefficient(random), coefficient(random), coefficient(random),
                      coefficient(random)};
        curve.coefficients = BlossomCoefficients(curve, p);
        for (int trial = 0; trial < 40; ++trial) {
            const double s = unit(random);
            const int piece = PieceOf(curve, s);
            for (int order = 0; order <= 3; ++order) {
                // Each order divides by knot spans no shorter than a tenth of 1/17.
                EXPECT_CLOSE_ABS(EvaluateSplinePiece(curve, s, piece, order),
                                 EvaluateCubic(p, s, order), 1e-9)
                    << "pieces " << pieces << " order " << order;
            }
            EXPECT_EQ(EvaluateSplinePiece(curve, s, piece, 4), 0.0);
            EXPECT_CLOSE_ABS(EvaluateSpline(curve, s), EvaluateCubic(p, s, 0), 1e-12);
        }
        // Outside its own interval a piece extends its cubic.
        EXPECT_CLOSE_ABS(EvaluateSplinePiece(curve, 0.99, 0, 0), EvaluateCubic(p, 0.99, 0), 1e-9);
    }
}

TEST(SplineCurve, DerivativeCoefficientsAreTheBlossomsOfTheDerivative) {
    std::mt19937 random(3);
    SplineCurve curve = MakeSplineCurve(RandomBreaks(random, 5));
    const Cubic p{0.2, -1.0, 2.5, 0.7};
    curve.coefficients = BlossomCoefficients(curve, p);
    const std::vector<double> d = DerivativeCoefficients(curve);
    ASSERT_EQ(d.size(), curve.coefficients.size() - 1);
    const std::vector<double>& t = curve.knots;
    for (std::size_t j = 0; j < d.size(); ++j) {
        // p' = -1 + 5 s + 2.1 s^2, blossomed at knots j + 2 and j + 3.
        const double x = t[j + 2];
        const double y = t[j + 3];
        EXPECT_CLOSE_ABS(d[j], -1.0 + 5.0 * (x + y) / 2.0 + 2.1 * x * y, 1e-10) << "j = " << j;
    }
}

TEST(InvertSpline, HitsItsTargetsWithinTheTolerance) {
    SplineCurve increasing = MakeSplineCurve({0.0, 0.2, 0.5, 0.6, 1.0});
    increasing.coefficients = {-0.1, 0.0, 0.05, 0.5, 0.52, 0.9, 1.2};
    SplineCurve decreasing = increasing;
    for (double& c : decreasing.coefficients) c = 1.0 - c;
    SplineCurve steep = MakeSplineCurve({0.0, 0.5, 1.0});
    steep.coefficients = {0.0, 1e-3, 2e-3, 999.0, 1000.0};
    for (const SplineCurve* curve : {&increasing, &decreasing, &steep}) {
        const double low = std::min(EvaluateSpline(*curve, 0.0), EvaluateSpline(*curve, 1.0));
        const double high = std::max(EvaluateSpline(*curve, 0.0), EvaluateSpline(*curve, 1.0));
        for (int k = 0; k <= 100; ++k) {
            const double target = low + (high - low) * k / 100.0;
            const SplineInverse found = InvertSpline(*curve, target);
            ASSERT_GE(found.s, curve->breaks[found.piece]);
            ASSERT_LE(found.s, curve->breaks[found.piece + 1]);
            EXPECT_LT(std::abs(EvaluateSplinePiece(*curve, found.s, found.piece, 0) - target),
                      kInversionTolerance)
                << "target " << target;
        }
    }
    // A target outside the curve gives the nearer end.
    const SplineInverse below = InvertSpline(increasing, EvaluateSpline(increasing, 0.0) - 0.5);
    const SplineInverse above = InvertSpline(increasing, EvaluateSpline(increasing, 1.0) + 0.5);
    EXPECT_EQ(below.s, 0.0);
    EXPECT_EQ(below.piece, 0);
    EXPECT_EQ(above.s, 1.0);
    EXPECT_EQ(above.piece, increasing.Pieces() - 1);
}

// The least-squares coefficients from the normal equations in long double: an independent
// dense solve on the same basis (the B-spline values themselves are checked elsewhere).
std::vector<double> NormalEquations(const SplineCurve& curve, const std::vector<double>& s,
                                    const std::vector<double>& v, const std::vector<double>& w) {
    const std::size_t n = curve.coefficients.size();
    std::vector<std::vector<long double>> a(n, std::vector<long double>(n + 1, 0.0L));
    for (std::size_t j = 0; j < s.size(); ++j) {
        const int piece = PieceOf(curve, s[j]);
        const std::array<double, 4> b = BSplineValues(curve, piece, s[j]);
        const long double w2 = static_cast<long double>(w[j]) * w[j];
        for (int p = 0; p < 4; ++p) {
            for (int q = 0; q < 4; ++q) a[piece + p][piece + q] += w2 * b[p] * b[q];
            a[piece + p][n] += w2 * b[p] * v[j];
        }
    }
    for (std::size_t col = 0; col < n; ++col) {
        for (std::size_t row = col + 1; row < n; ++row) {
            const long double factor = a[row][col] / a[col][col];
            for (std::size_t k = col; k <= n; ++k) a[row][k] -= factor * a[col][k];
        }
    }
    std::vector<double> c(n);
    for (std::size_t i = n; i-- > 0;) {
        long double sum = a[i][n];
        for (std::size_t k = i + 1; k < n; ++k) sum -= a[i][k] * c[k];
        c[i] = static_cast<double>(sum / a[i][i]);
    }
    return c;
}

double SumOfSquares(const SplineCurve& curve, const std::vector<double>& s,
                    const std::vector<double>& v, const std::vector<double>& w) {
    double sum = 0.0;
    for (std::size_t j = 0; j < s.size(); ++j) {
        const double r = w[j] * (v[j] - EvaluateSpline(curve, s[j]));
        sum += r * r;
    }
    return sum;
}

TEST(SplineLeastSquares, MatchesADenseNormalEquationsSolveOnRandomData) {
    std::mt19937 random(4);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> weight(0.5, 2.0);
    for (int pieces : {1, 4, 11, 17}) {
        SplineCurve curve = MakeSplineCurve(RandomBreaks(random, pieces));
        const std::vector<double> s = RandomSites(random, 25 * pieces);
        std::vector<double> v(s.size());
        std::vector<double> w(s.size());
        for (std::size_t j = 0; j < s.size(); ++j) {
            v[j] = unit(random);
            w[j] = weight(random);
        }
        const SplineLeastSquares fit = SolveSplineLeastSquares(curve, s, v, w);
        const std::vector<double> expected = NormalEquations(curve, s, v, w);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_CLOSE_ABS(fit.coefficients[i], expected[i], 1e-8) << pieces << " pieces";
        }

        // The factor R, which the refit works with, measures the extra sum of squares of
        // any other coefficients: ||R (c - c0)||^2.
        curve.coefficients = fit.coefficients;
        const double minimum = SumOfSquares(curve, s, v, w);
        SplineCurve other = curve;
        for (double& c : other.coefficients) c += unit(random) - 0.5;
        double extra = 0.0;
        for (int i = 0; i < fit.factor.Size(); ++i) {
            double row = 0.0;
            for (int k = i; k < fit.factor.Size(); ++k) {
                row += fit.factor.At(i, k) * (other.coefficients[k] - fit.coefficients[k]);
            }
            extra += row * row;
        }
        EXPECT_CLOSE(minimum + extra, SumOfSquares(other, s, v, w), 1e-10);
    }
}

// Data shaped like a u-plot with a jump: the unconstrained cubic overshoots and dips.
struct StepData {
    std::vector<double> s;
    std::vector<double> v;
    std::vector<double> w;
};

StepData MakeStepData(std::mt19937& random, int sites, double jumpAt) {
    StepData data;
    data.s = RandomSites(random, sites);
    std::uniform_real_distribution<double> noise(-0.01, 0.01);
    for (double s : data.s)
        data.v.push_back((s < jumpAt ? 0.1 * s : 0.9 + 0.1 * s) + noise(random));
    data.w.assign(data.s.size(), 1.0);
    return data;
}

TEST(ConstrainedRefit, MeetsTheOptimalityConditionsOfTheBoundedProblem) {
    std::mt19937 random(17);
    int refitsWithHeldBounds = 0;
    for (int trial = 0; trial < 12; ++trial) {
        const int pieces = 2 + trial % 6;
        const StepData data = MakeStepData(random, 40 + 5 * trial, 0.3 + 0.04 * trial);
        SplineCurve curve = MakeSplineCurve(RandomBreaks(random, pieces));
        const SplineLeastSquares fit = SolveSplineLeastSquares(curve, data.s, data.v, data.w);
        const ConstrainedRefitResult refit = ConstrainedRefit(curve, fit.factor, fit.coefficients);
        ASSERT_EQ(refit.status, FitStatus::Succeeded) << "trial " << trial;
        curve.coefficients = refit.coefficients;
        const std::vector<double> d = DerivativeCoefficients(curve);
        const int n = static_cast<int>(curve.coefficients.size());
        const std::vector<double>& t = curve.knots;

        // Feasibility, and complementarity: the held bounds are met with equality.
        for (double slope : d) EXPECT_GE(slope, kSmallestSlope - 1e-12);
        ASSERT_EQ(refit.active.size(), refit.multipliers.size());
        for (std::size_t a = 0; a < refit.active.size(); ++a) {
            EXPECT_CLOSE_ABS(d[refit.active[a]], kSmallestSlope, 1e-12);
            EXPECT_GE(refit.multipliers[a], 0.0);
        }
        // Stationarity: R^T R (c - c0) = sum of multiplier times the gradient of the slope.
        std::vector<double> residual(n, 0.0);
        for (int i = 0; i < n; ++i) {
            double row = 0.0;
            for (int k = i; k < n; ++k) {
                row += fit.factor.At(i, k) * (refit.coefficients[k] - fit.coefficients[k]);
            }
            for (int k = 0; k < n; ++k) residual[k] += fit.factor.At(i, k) * row;
        }
        for (std::size_t a = 0; a < refit.active.size(); ++a) {
            const int j = refit.active[a];
            const double f = 3.0 / (t[j + 4] - t[j + 1]);
            residual[j] += refit.multipliers[a] * f;
            residual[j + 1] -= refit.multipliers[a] * f;
        }
        for (int k = 0; k < n; ++k) EXPECT_CLOSE_ABS(residual[k], 0.0, 1e-9) << "trial " << trial;
        if (!refit.active.empty()) ++refitsWithHeldBounds;
    }
    // The data must exercise the bounds, or the checks above prove little.
    EXPECT_GE(refitsWithHeldBounds, 8);
}

std::vector<double> Values(const std::vector<double>& s, double (*f)(double)) {
    std::vector<double> v;
    for (double x : s) v.push_back(f(x));
    return v;
}

// NewAdap with unit weights.
AdaptiveFit Adapt(const std::vector<double>& s, const std::vector<double>& v, int pieces,
                  double sqMax, int iter) {
    return NewAdap(s, v, std::vector<double>(s.size(), 1.0), pieces, sqMax, iter);
}

TEST(NewAdap, SplitsTheWorstPieceUntilTheFitIsCloseEnough) {
    std::mt19937 random(12);
    const std::vector<double> s = RandomSites(random, 200);
    const std::vector<double> v = Values(s, [](double x) { return x + 0.2 * std::cbrt(x - 0.62); });
    const AdaptiveFit coarse = Adapt(s, v, 4, 1.0, 300);
    ASSERT_EQ(coarse.passes, 1);
    ASSERT_GT(coarse.residual, 1e-4);
    const AdaptiveFit fine = Adapt(s, v, 4, 1e-4, 300);
    EXPECT_EQ(fine.status, FitStatus::Succeeded);
    EXPECT_LT(fine.residual, 1e-4);
    EXPECT_GT(fine.curve.Pieces(), 4);
    EXPECT_GT(fine.passes, 1);
    // The new breaks go where the fit was worst: around the infinite slope.
    int nearKink = 0;
    for (double b : fine.curve.breaks) nearKink += std::abs(b - 0.62) < 0.1 ? 1 : 0;
    EXPECT_GE(nearKink, fine.curve.Pieces() - 4);
}

double Fifth(double s) { return s * s * s * s * s; }

// Each way the adaptation can fail: too many pieces needed (a curve too wiggly for 1e-12), a
// refit still needed after iter passes (x^5 dips below zero slope near 0 without one), breaks
// that would repeat (noise is no increasing curve), too few sites. The curve kept is a
// refitted, increasing one.
TEST(NewAdap, FailsWhenTheFitCannotBeFinishedWithinItsLimits) {
    std::mt19937 random(14);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const std::vector<double> s = RandomSites(random, 300);
    std::vector<double> noise(s.size());
    for (double& value : noise) value = unit(random);
    struct Case {
        const char* what;
        std::vector<double> s, v;
        double sqMax;
        int iter;
        int pieces, passes;  // 0: fewer than kMaxPieces, or passes fewer than iter
    };
    const Case cases[] = {
        {"wiggly", s, Values(s, [](double x) { return x + 0.02 * std::sin(40.0 * x); }), 1e-12,
         1000, kMaxPieces, kMaxPieces - 4 + 1},
        {"refit after iter passes", s, Values(s, Fifth), 1e-9, 2, 0, 3},
        {"breaks repeat", s, noise, 1e-6, 1000, 0, 0},
        {"three sites", {0.0, 0.5, 1.0}, {0.0, 0.5, 1.0}, 1.0, 300, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const AdaptiveFit fit = Adapt(c.s, c.v, 4, c.sqMax, c.iter);
        EXPECT_EQ(fit.status, FitStatus::Failed);
        if (c.pieces != 0) {
            EXPECT_EQ(fit.curve.Pieces(), c.pieces);
        } else {
            EXPECT_LT(fit.curve.Pieces(), kMaxPieces);
        }
        if (c.passes != 0) {
            EXPECT_EQ(fit.passes, c.passes);
        } else {
            EXPECT_LT(fit.passes, c.iter);
        }
        if (c.s.size() < 4) {
            EXPECT_EQ(fit.curve.coefficients, std::vector<double>(4, 0.0));
            continue;
        }
        for (double slope : DerivativeCoefficients(fit.curve)) {
            EXPECT_GE(slope, kSmallestSlope - 1e-12);
        }
    }
}

}  // namespace
}  // namespace tamsel
