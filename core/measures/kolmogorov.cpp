#include "tamsel/measures/kolmogorov.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tamsel {
namespace {

// From this n on, and for matrices of a larger order, the limiting distribution is used: the
// matrix method's cost grows with the cube of its order, and there the limit is within 1 %.
constexpr int kLimitFromN = 10000;
constexpr int kLargestMatrixOrder = 400;

// Below this p-value the doubled one-sided tail answers: it is exact to 1e-7 there, where
// 1 - P(D_n < d) would lose its digits to cancellation.
constexpr double kTailLimit = 0.01;

// Matrix entries and the running product are kept below 1e140 by moving powers of ten into a
// separate exponent, so that H^n neither overflows nor, after n!/n^n, underflows.
constexpr double kScale = 1e140;
constexpr int kScaleExponent = 140;

struct ScaledMatrix {
    int order = 0;
    std::vector<double> values;  // row by row
    int exponent = 0;            // the matrix is values * 10^exponent

    double& At(int row, int column) {
        return values[static_cast<std::size_t>(row * order + column)];
    }
    double At(int row, int column) const {
        return values[static_cast<std::size_t>(row * order + column)];
    }
};

ScaledMatrix Multiply(const ScaledMatrix& a, const ScaledMatrix& b) {
    const int m = a.order;
    ScaledMatrix c{m, std::vector<double>(a.values.size(), 0.0), a.exponent + b.exponent};
    for (int i = 0; i < m; ++i) {
        for (int k = 0; k < m; ++k) {
            const double aik = a.At(i, k);
            if (aik == 0.0) continue;
            for (int j = 0; j < m; ++j) c.At(i, j) += aik * b.At(k, j);
        }
    }
    const int centre = m / 2;
    if (c.At(centre, centre) > kScale) {
        for (double& value : c.values) value /= kScale;
        c.exponent += kScaleExponent;
    }
    return c;
}

ScaledMatrix Power(const ScaledMatrix& h, int n) {
    if (n == 1) return h;
    const ScaledMatrix half = Power(h, n / 2);
    const ScaledMatrix square = Multiply(half, half);
    return n % 2 == 0 ? square : Multiply(h, square);
}

// P(D_n < d) by Marsaglia, Tsang and Wang (2003), "Evaluating Kolmogorov's distribution",
// Journal of Statistical Software 8(18): with k = floor(n d) + 1 and h = k - n d, the
// probability is n!/n^n times the (k, k) entry of H^n, H the m x m matrix (m = 2k - 1) of
// Durbin's representation.
double MatrixCdf(int n, double d, int k) {
    const int m = 2 * k - 1;
    const double h = k - n * d;
    ScaledMatrix matrix{m, std::vector<double>(static_cast<std::size_t>(m) * m, 0.0), 0};
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < m; ++j) matrix.At(i, j) = i - j + 1 >= 0 ? 1.0 : 0.0;
    }
    for (int i = 0; i < m; ++i) {
        matrix.At(i, 0) -= std::pow(h, i + 1);
        matrix.At(m - 1, i) -= std::pow(h, m - i);
    }
    if (2.0 * h - 1.0 > 0.0) matrix.At(m - 1, 0) += std::pow(2.0 * h - 1.0, m);
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < m; ++j) {
            for (int g = 2; g <= i - j + 1; ++g) matrix.At(i, j) /= g;
        }
    }
    const ScaledMatrix power = Power(matrix, n);
    double s = power.At(k - 1, k - 1);
    int exponent = power.exponent;
    for (int i = 1; i <= n; ++i) {
        s = s * i / n;
        if (s < 1.0 / kScale) {
            s *= kScale;
            exponent -= kScaleExponent;
        }
    }
    return s * std::pow(10.0, exponent);
}

// 2 P(D_n^+ >= d), Smirnov's exact one-sided tail (Birnbaum and Tingey 1951) doubled:
// P(D_n^+ >= d) = d sum over j = 0..floor(n (1 - d)) of C(n, j) (1 - d - j/n)^(n - j)
// (d + j/n)^(j - 1). It exceeds the two-sided tail only by P(D_n^+ >= d and D_n^- >= d),
// below 1e-7 of it wherever the result is below kTailLimit.
double DoubledOneSidedTail(int n, double d) {
    const double logFactorialN = std::lgamma(n + 1.0);
    double sum = 0.0;
    for (int j = 0; j <= static_cast<int>(n * (1.0 - d)); ++j) {
        const double below = 1.0 - d - static_cast<double>(j) / n;
        if (below <= 0.0 && j < n) continue;
        const double logTerm = logFactorialN - std::lgamma(j + 1.0) - std::lgamma(n - j + 1.0) +
                               (n - j) * std::log(below > 0.0 ? below : 1.0) +
                               (j - 1) * std::log(d + static_cast<double>(j) / n);
        sum += std::exp(logTerm);
    }
    return 2.0 * d * sum;
}

// 1 - K(x) for Kolmogorov's limiting distribution K, by whichever of its two series
// converges fast at x.
double LimitTail(double x) {
    if (x <= 0.0) return 1.0;
    if (x < 1.0) {
        // K(x) = sqrt(2 pi) / x * sum over odd j of exp(-j^2 pi^2 / (8 x^2)).
        const double pi2 = std::numbers::pi * std::numbers::pi;
        double sum = 0.0;
        for (int j = 1; j <= 9; j += 2) sum += std::exp(-j * j * pi2 / (8.0 * x * x));
        return 1.0 - std::sqrt(2.0 * std::numbers::pi) / x * sum;
    }
    // 1 - K(x) = 2 sum over k >= 1 of (-1)^(k-1) exp(-2 k^2 x^2).
    double sum = 0.0;
    for (int k = 1; k <= 6; ++k) sum += (k % 2 == 1 ? 2.0 : -2.0) * std::exp(-2.0 * k * k * x * x);
    return sum;
}

}  // namespace

double KolmogorovStatistic(std::span<const double> sortedValues) {
    const double n = static_cast<double>(sortedValues.size());
    double distance = 0.0;
    for (std::size_t i = 0; i < sortedValues.size(); ++i) {
        const double v = std::clamp(sortedValues[i], 0.0, 1.0);
        distance = std::max({distance, (i + 1.0) / n - v, v - i / n});
    }
    return distance;
}

double KolmogorovLimitPValue(int n, double d) {
    const double root = std::sqrt(static_cast<double>(n));
    return std::clamp(LimitTail(d * (root + 0.12 + 0.11 / root)), 0.0, 1.0);
}

double KolmogorovPValue(int n, double d) {
    // Written so that a NaN distance stops here too, before it could bound a loop.
    if (!(d > 0.5 / n)) return 1.0;
    if (d >= 1.0) return 0.0;
    const double tail = DoubledOneSidedTail(n, d);
    if (tail < kTailLimit) return tail;
    const int k = static_cast<int>(n * d) + 1;
    if (n >= kLimitFromN || 2 * k - 1 > kLargestMatrixOrder) return KolmogorovLimitPValue(n, d);
    return std::clamp(1.0 - MatrixCdf(n, d, k), 0.0, 1.0);
}

double KolmogorovCriticalDistance(int n, double alpha) {
    const auto excess = [n, alpha](double d) { return KolmogorovPValue(n, d) - alpha; };
    // The limit's cheap inverse gives the start; the exact p-value then decides, by the
    // Illinois variant of regula falsi, in a few evaluations instead of a bisection's thirty.
    double below = 0.5 / n;
    double above = 1.0;
    while (above - below > 1e-12) {
        const double middle = 0.5 * (below + above);
        (KolmogorovLimitPValue(n, middle) > alpha ? below : above) = middle;
    }
    const double guess = below;
    const double step = 0.02 * guess;
    below = std::max(0.5 / n, guess - step);
    above = std::min(1.0, guess + step);
    while (below > 0.5 / n && excess(below) <= 0.0) below = std::max(0.5 / n, below - step);
    while (above < 1.0 && excess(above) >= 0.0) above = std::min(1.0, above + step);
    double fBelow = excess(below);
    double fAbove = excess(above);
    int lastMoved = 0;
    for (int iteration = 0; iteration < 100 && above - below > 1e-10; ++iteration) {
        const double d = (below * fAbove - above * fBelow) / (fAbove - fBelow);
        const double f = excess(d);
        // A p-value this close to alpha puts d well within 1e-9 of the root.
        if (std::fabs(f) <= 1e-10 * alpha) return d;
        if (f > 0.0) {
            below = d;
            fBelow = f;
            if (lastMoved < 0) fAbove /= 2.0;
            lastMoved = -1;
        } else {
            above = d;
            fAbove = f;
            if (lastMoved > 0) fBelow /= 2.0;
            lastMoved = 1;
        }
    }
    return 0.5 * (below + above);
}

}  // namespace tamsel
