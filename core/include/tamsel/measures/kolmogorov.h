// The significance of a Kolmogorov distance: the standard statistic D_n of a sample against the
// uniform distribution, its exact finite-n distribution, p-values and critical distances.
#pragma once

#include <span>

namespace tamsel {

// D_n = max over i of max(i/n - v(i), v(i) - (i-1)/n) for values v sorted ascending, each
// taken within [0, 1]; 0 for an empty sample.
double KolmogorovStatistic(std::span<const double> sortedValues);

// P(D_n >= d) for n independent uniform values: 1 for d <= 1/(2n), 0 for d >= 1. Exact
// (Marsaglia, Tsang and Wang's matrix method) for n < 10,000 while its matrix stays small;
// otherwise KolmogorovLimitPValue. n must be at least 1.
double KolmogorovPValue(int n, double d);

// Kolmogorov's limiting distribution at d (sqrt(n) + 0.12 + 0.11 / sqrt(n)), Stephens's
// finite-n correction: within 1 % of the exact p-value from n = 10,000 on.
double KolmogorovLimitPValue(int n, double d);

// The distance d at which KolmogorovPValue(n, d) = alpha, for 0 < alpha < 1, within 1e-9.
double KolmogorovCriticalDistance(int n, double alpha);

}  // namespace tamsel
