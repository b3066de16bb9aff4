// The log part of the likelihood of exponential times whose means lie on a line: the
// logarithms of the line's values, summed in a time independent of its length.
#pragma once

#include <cstdint>

namespace tamsel {

// sum_{j=1}^{n} ln(w0(j) e^(-u/2) + w1(j) e^(u/2)) with w0(j) = (n - j) / (n - 1) and
// w1(j) = (j - 1) / (n - 1): the line from e^(-u/2) at j = 1 to e^(u/2) at j = n. To a few
// roundings of the sum of the terms' sizes. Requires n >= 2.
double LogLineSum(double u, std::int32_t n);

}  // namespace tamsel
