#include "tamsel/numeric/line_log_sum.h"

#include <cmath>

#include "tamsel/numeric/harmonic.h"

namespace tamsel {
namespace {

// Beyond, e^|u| leaves the doubles.
constexpr double kLargeSlope = 700.0;

}  // namespace

double LogLineSum(double u, std::int32_t n) {
    // The j-th value is e^(-u/2) (n - 1 + (j - 1) (e^u - 1)) / (n - 1), and the sum is even in
    // u (j and n + 1 - j trade places), so with y = (e^|u| - 1) / (n - 1) >= 0 it is
    // -n |u| / 2 + sum_{m=1}^{n-1} ln(1 + m y): every factor at least 1, whatever the sign of u,
    // so that a tiny e^u keeps its digits.
    const double a = std::fabs(u);
    if (a > kLargeSlope) {
        // y beyond the doubles: ln(1 + m y) = ln y + ln m + ln(1 + 1 / (m y)), the last below
        // e^-690 beside the others, and ln y = a - ln(n - 1) to rounding.
        return -0.5 * n * a + (n - 1) * (a - std::log(n - 1.0)) + std::lgamma(n);
    }
    return -0.5 * n * a + Log1pLineSum(std::expm1(a) / (n - 1), 0.0, n - 1);
}

}  // namespace tamsel
