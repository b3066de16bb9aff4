#include "tamsel/numeric/harmonic.h"

#include <algorithm>
#include <cmath>

#include "tamsel/numeric/log_sum.h"

namespace tamsel {
namespace {

constexpr double kAsymptotic = 10.0;  // where the series below is accurate to 1e-16

// The Bernoulli terms of psi's asymptotic series, sum_{k=1..7} B_2k / (2k x^2k).
double BernoulliTerms(double x) {
    const double r = 1.0 / (x * x);
    return r * (1.0 / 12 -
                r * (1.0 / 120 -
                     r * (1.0 / 252 -
                          r * (1.0 / 240 - r * (1.0 / 132 - r * (691.0 / 32760 - r / 12.0))))));
}

// Adds to sum the recurrence psi(x) = psi(x + 1) - sign / x until x reaches the series.
double RaiseToSeries(double x, double sign, double& sum) {
    for (; x < kAsymptotic; x += 1.0) sum -= sign / x;
    return x;
}

// psi(a) - psi(b) for a > b > 0, the logarithm and the 1 / x terms taken as differences
// directly, so that nothing cancels when a and b are large.
double DigammaDifference(double a, double b) {
    double sum = 0.0;
    a = RaiseToSeries(a, 1.0, sum);
    b = RaiseToSeries(b, -1.0, sum);
    return sum + std::log1p((a - b) / b) + 0.5 * (a - b) / (a * b) -
           (BernoulliTerms(a) - BernoulliTerms(b));
}

// psi'(b) - psi'(a) for a > b > 0 in the same way, by psi'(x) = psi'(x + 1) + 1 / x^2 and
// psi'(x) = 1 / x + 1 / (2 x^2) + sum_{k=1..7} B_2k / x^(2k + 1).
double TrigammaDifference(double a, double b) {
    double sum = 0.0;
    for (; a < kAsymptotic; a += 1.0) sum -= 1.0 / (a * a);
    for (; b < kAsymptotic; b += 1.0) sum += 1.0 / (b * b);
    const auto terms = [](double x) {
        const double r = 1.0 / (x * x);
        return r / x *
               (1.0 / 6 -
                r * (1.0 / 30 -
                     r * (1.0 / 42 -
                          r * (1.0 / 30 - r * (5.0 / 66 - r * (691.0 / 2730 - r * 7.0 / 6))))));
    };
    const double ab = a * b;
    const double first = (a - b) / ab;
    return sum + first + 0.5 * first * ((a + b) / ab) + (terms(b) - terms(a));
}

// Below this many terms a sum is added term by term.
constexpr double kDirectTerms = 64;

// (ln(1 + x) - x) / x for x > 0, keeping its digits where x is small (where ln(1 + x) - x
// itself may underflow): with s = x / (2 + x), ln(1 + x) = 2 atanh s = 2 (s + s^3 / 3 + ...),
// and 2 s / x = 1 - s.
double Log1pMinusXOverX(double x) {
    if (x >= 1.0) return (std::log1p(x) - x) / x;
    const double s = x / (2.0 + x);
    const double s2 = s * s;
    double power = s2;
    double series = 0.0;
    for (double odd = 3.0; power > 1e-18 * series; odd += 2.0, power *= s2) series += power / odd;
    return (1.0 - s) * series - s;
}

// Stirling's correction ln Gamma(z) - (z - 1/2) ln z + z - ln(2 pi) / 2 for z >= kAsymptotic,
// sum_{k=1..7} B_2k / (2k (2k - 1) z^(2k - 1)).
double GammaLnCorrection(double z) {
    const double r = 1.0 / (z * z);
    return (1.0 / 12 -
            r * (1.0 / 360 -
                 r * (1.0 / 1260 -
                      r * (1.0 / 1680 - r * (1.0 / 1188 - r * (691.0 / 360360 - r / 156.0)))))) /
           z;
}

// sum_{m=1}^{k} ln((c + m) / (c + k + 1)) for c >= kAsymptotic, by Stirling's series at
// a = c + 1 and b = c + k + 1: ln Gamma(b) - ln Gamma(a) - k ln b = (a - 1/2) ln(1 + x) - k +
// corrections, x = k / a, where (a - 1/2) ln(1 + x) - k = k (ln(1 + x) - x) / x - ln(1 + x) / 2
// keeps its digits when x is small. Every part is negative: nothing cancels.
double StirlingFalling(double c, double k) {
    const double a = c + 1.0;
    const double x = k / a;
    return k * Log1pMinusXOverX(x) - 0.5 * std::log1p(x) +
           (GammaLnCorrection(a + k) - GammaLnCorrection(a));
}

// LogRisingExcess for c >= kAsymptotic: the falling sum above and k ln((c + k + 1) / c).
double StirlingExcess(double c, double k) {
    return StirlingFalling(c, k) + k * std::log1p((k + 1.0) / c);
}

// How many of the first terms of a sum from c are added one by one before the rest starts
// at c + terms >= kAsymptotic.
double TermsBelowSeries(double c, double k) {
    return std::clamp(std::ceil(kAsymptotic - c), 0.0, k);
}

}  // namespace

double Digamma(double x) {
    double sum = 0.0;
    x = RaiseToSeries(x, 1.0, sum);
    return sum + std::log(x) - 0.5 / x - BernoulliTerms(x);
}

double ReciprocalSum(double d, double k) {
    if (k <= kDirectTerms) {
        double sum = 0.0;
        // Smallest terms first.
        for (double j = 0; j < k; ++j) sum += 1.0 / (d - j);
        return sum;
    }
    return DigammaDifference(d + 1.0, d - k + 1.0);
}

RisingReciprocals RisingReciprocalSums(double c, double k) {
    RisingReciprocals sums;
    if (k <= kDirectTerms) {
        // Smallest terms first.
        for (double m = k; m >= 1.0; --m) {
            const double reciprocal = 1.0 / (c + m);
            sums.first += reciprocal;
            sums.second += reciprocal * reciprocal;
        }
        return sums;
    }
    return {DigammaDifference(c + k + 1.0, c + 1.0), TrigammaDifference(c + k + 1.0, c + 1.0)};
}

double LogRising(double c, double k) {
    if (c >= kAsymptotic) return k * std::log(c) + StirlingExcess(c, k);
    const double near = TermsBelowSeries(c, k);
    // ln(1 + (c + m - 1)), so that a first term near ln 1 keeps its digits.
    Log1pSum sum;
    for (double m = 1.0; m <= near; ++m) sum.Add(c + (m - 1.0));
    return near == k ? sum.Value() : sum.Value() + LogRising(c + near, k - near);
}

double LogRisingExcess(double c, double k) {
    if (c >= kAsymptotic) return StirlingExcess(c, k);
    const double near = TermsBelowSeries(c, k);
    Log1pSum sum;
    for (double m = 1.0; m <= near; ++m) sum.Add(m / c);
    // The further terms ln((c + m) / c) are each above ln 2: nothing cancels.
    return near == k ? sum.Value()
                     : sum.Value() + LogRising(c + near, k - near) - (k - near) * std::log(c);
}

double Log1pLineSum(double y, double r, double k) {
    if (y == 0.0 || k == 0.0) return 0.0;
    // Taken in increasing order: the factors of a falling line, read backwards, rise.
    if (y < 0.0) return Log1pLineSum(-y, k + 1.0 - r, k);
    // 1 + y (m - r) = y (c + m). After the first terms, the rest are taken about the factor
    // nearest 1, 1 + y (near + q - r): the others relative to it, (c + m) / (c + near + q),
    // make one falling and one rising sum, each of one sign.
    const double c = 1.0 / y - r;
    const double near = TermsBelowSeries(c, k);
    Log1pSum sum;
    for (double m = 1.0; m <= near; ++m) sum.Add(y * (m - r));
    if (near == k) return sum.Value();
    const double rest = k - near;
    const double from = c + near;
    const double q = std::clamp(std::round(r - near), 1.0, rest);
    return sum.Value() + rest * std::log1p(y * (near + q - r)) + StirlingFalling(from, q - 1.0) +
           LogRisingExcess(from + q, rest - q);
}

}  // namespace tamsel
