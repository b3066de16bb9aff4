// Independent truths for the spline tests: cubics in power form, their B-spline
// coefficients by blossoming, random breaks and sites.
#pragma once

#include <array>
#include <random>
#include <vector>

#include "tamsel/recalibration/spline_curve.h"

namespace tamsel::test {

// a[0] + a[1] s + a[2] s^2 + a[3] s^3.
using Cubic = std::array<double, 4>;

// The derivative of the given order (0 to 3) of p at s.
double EvaluateCubic(const Cubic& p, double s, int order);

// The B-spline coefficients of p on the curve's knots: coefficient i is the blossom of p at
// knots i + 1, i + 2, i + 3 (Marsden's identity), computed without any spline routine.
std::vector<double> BlossomCoefficients(const SplineCurve& curve, const Cubic& p);

// Breaks 0 < ... < 1 of the given number of pieces, spread at random but no closer than a
// tenth of an even spacing.
std::vector<double> RandomBreaks(std::mt19937& random, int pieces);

// count sorted distinct sites in [0, 1], the first at 0 and the last at 1.
std::vector<double> RandomSites(std::mt19937& random, int count);

}  // namespace tamsel::test
