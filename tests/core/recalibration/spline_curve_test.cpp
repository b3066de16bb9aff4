#include "tamsel/recalibration/spline_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "spline_test_support.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Cubic;

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
        SplineCurve curve = MakeSplineCurve(test::RandomBreaks(random, pieces));
        const Cubic p{coefficient(random), coefficient(random), coefficient(random),
                      coefficient(random)};
        curve.coefficients = test::BlossomCoefficients(curve, p);
        for (int trial = 0; trial < 40; ++trial) {
            const double s = unit(random);
            const int piece = PieceOf(curve, s);
            for (int order = 0; order <= 3; ++order) {
                // Each order divides by knot spans no shorter than a tenth of 1/17.
                EXPECT_CLOSE_ABS(EvaluateSplinePiece(curve, s, piece, order),
                                 test::EvaluateCubic(p, s, order), 1e-9)
                    << "pieces " << pieces << " order " << order;
            }
            EXPECT_EQ(EvaluateSplinePiece(curve, s, piece, 4), 0.0);
            EXPECT_CLOSE_ABS(EvaluateSpline(curve, s), test::EvaluateCubic(p, s, 0), 1e-12);
        }
        // Outside its own interval a piece extends its cubic.
        EXPECT_CLOSE_ABS(EvaluateSplinePiece(curve, 0.99, 0, 0), test::EvaluateCubic(p, 0.99, 0),
                         1e-9);
    }
}

TEST(SplineCurve, DerivativeCoefficientsAreTheBlossomsOfTheDerivative) {
    std::mt19937 random(3);
    SplineCurve curve = MakeSplineCurve(test::RandomBreaks(random, 5));
    const Cubic p{0.2, -1.0, 2.5, 0.7};
    curve.coefficients = test::BlossomCoefficients(curve, p);
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

SplineCurve IncreasingCurve() {
    SplineCurve curve = MakeSplineCurve({0.0, 0.2, 0.5, 0.6, 1.0});
    curve.coefficients = {-0.1, 0.0, 0.05, 0.5, 0.52, 0.9, 1.2};
    return curve;
}

TEST(InvertSpline, HitsItsTargetsWithinTheTolerance) {
    const SplineCurve increasing = IncreasingCurve();
    SplineCurve decreasing = increasing;
    for (double& c : decreasing.coefficients) c = 1.0 - c;
    SplineCurve steep = MakeSplineCurve({0.0, 0.5, 1.0});
    steep.coefficients = {0.0, 1e-3, 2e-3, 999.0, 1000.0};
    for (const SplineCurve* curve : {&increasing, static_cast<const SplineCurve*>(&decreasing),
                                     static_cast<const SplineCurve*>(&steep)}) {
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
}

TEST(InvertSpline, ATargetOutsideTheCurveGivesTheNearerEnd) {
    const SplineCurve curve = IncreasingCurve();
    const SplineInverse below = InvertSpline(curve, EvaluateSpline(curve, 0.0) - 0.5);
    EXPECT_EQ(below.s, 0.0);
    EXPECT_EQ(below.piece, 0);
    const SplineInverse above = InvertSpline(curve, EvaluateSpline(curve, 1.0) + 0.5);
    EXPECT_EQ(above.s, 1.0);
    EXPECT_EQ(above.piece, curve.Pieces() - 1);
    EXPECT_EQ(InvertSpline(curve, EvaluateSpline(curve, 0.5)).s, 0.5);
}

}  // namespace
}  // namespace tamsel
