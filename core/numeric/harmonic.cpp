#include "tamsel/numeric/harmonic.h"

#include <cmath>

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

// Below this many terms a sum is added term by term.
constexpr double kDirectTerms = 64;

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
    // psi(a) - psi(b) with a = d + 1 > b = d - k + 1, the logarithm and the 1 / x terms
    // taken as differences directly, so that nothing cancels when d is large.
    double sum = 0.0;
    const double a = RaiseToSeries(d + 1.0, 1.0, sum);
    const double b = RaiseToSeries(d - k + 1.0, -1.0, sum);
    return sum + std::log1p((a - b) / b) + 0.5 * (a - b) / (a * b) -
           (BernoulliTerms(a) - BernoulliTerms(b));
}

}  // namespace tamsel
