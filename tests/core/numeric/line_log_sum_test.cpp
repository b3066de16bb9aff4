#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tamsel/numeric/line_log_sum.h"
#include "test_support.h"

namespace tamsel {
namespace {

// The exponential limit's ratios e^u of the line's ends over its whole reach (beyond e^700,
// where a time of 1e-310 meets ordinary ones), both signs and u near 0 (where the sum is far
// below its terms' sizes), against the term-by-term sum in extended precision, to 8 roundings
// of the sum of the terms' sizes.
TEST(LogLineSum, AgreesWithTheExtendedTermByTermSum) {
    for (std::int32_t n : {2, 3, 20, 137, 1000, 5000, 20000}) {
        for (double u : {-1400.0, -30.0, -17.3, -2.0, -1e-3, -1e-9, 0.0, 1e-12, 0.4, 1.0, 7.5, 30.0,
                         699.0, 701.0, 1400.0}) {
            // The factors' excesses over 1, so that the terms near ln 1 keep their digits; far
            // from 0, the larger end's exponent taken out (by symmetry, e^(|u|/2)).
            const long double down = std::expm1(-0.5L * u);
            const long double up = std::expm1(0.5L * u);
            const long double a = std::fabs(u);
            long double sum = 0.0L;
            long double size = 0.0L;
            for (std::int32_t j = 1; j <= n; ++j) {
                const long double rising = static_cast<long double>(j - 1) / (n - 1);
                const long double term =
                    a <= 30.0L ? std::log1p((down * (n - j) + up * (j - 1)) /
                                            static_cast<long double>(n - 1))
                    : j == 1   ? -0.5L * a
                               : 0.5L * a + std::log(rising + (1.0L - rising) * std::exp(-a));
                sum += term;
                size += std::fabs(term);
            }
            EXPECT_TRUE(test::IsClose(
                LogLineSum(u, n), static_cast<double>(sum), 0.0,
                8 * std::numeric_limits<double>::epsilon() * static_cast<double>(size)))
                << "n " << n << ", u " << u;
        }
    }
}

}  // namespace
}  // namespace tamsel
