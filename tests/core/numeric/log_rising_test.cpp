#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tamsel/numeric/harmonic.h"
#include "test_support.h"

namespace tamsel {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// Against the term-by-term sums in extended precision, over c from just above -1 to 1e15 and
// up to 10^5 terms, to a few roundings of the sum of the terms' sizes: N - i tiny and N >> i
// in sum_{j=1..i} ln(N - j + 1) = LogRising(N - i, i).
TEST(LogRising, AgreesWithTheExtendedTermByTermSums) {
    for (double c : {-1 + 1e-12, -0.5, 0.0, 1e-12, 0.7, 9.5, 10.0, 37.2, 1e3, 1e6, 1e10, 1e15}) {
        for (double k : {0.0, 1.0, 2.0, 11.0, 30.0, 1000.0, 1e5}) {
            long double rising = 0.0L;
            long double risingSize = 0.0L;
            long double excess = 0.0L;
            for (double m = 1; m <= k; ++m) {
                const long double term = std::log1p(static_cast<long double>(c) + (m - 1));
                rising += term;
                risingSize += std::fabs(term);
                excess += std::log1p(m / static_cast<long double>(c));
            }
            EXPECT_TRUE(test::IsClose(LogRising(c, k), static_cast<double>(rising), 0.0,
                                      8 * kEps * static_cast<double>(risingSize)))
                << "c " << c << ", k " << k;
            if (c > 0.0) {
                EXPECT_TRUE(
                    test::IsClose(LogRisingExcess(c, k), static_cast<double>(excess), 8 * kEps))
                    << "c " << c << ", k " << k;
            }
        }
    }
    EXPECT_EQ(LogRising(-1.0, 3.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(LogRisingExcess(0.0, 3.0), std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace tamsel
