#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tamsel/numeric/harmonic.h"
#include "test_support.h"

namespace tamsel {
namespace {

// value against sum_{m=1..k} term(m) in extended precision, to `roundings` roundings of the
// sum of the terms' sizes.
template <class Term>
::testing::AssertionResult AgreesWithSum(double value, double k, Term term, double roundings) {
    long double sum = 0.0L;
    long double size = 0.0L;
    for (double m = 1; m <= k; ++m) {
        sum += term(m);
        size += std::fabs(term(m));
    }
    return test::IsClose(
        value, static_cast<double>(sum), 0.0,
        roundings * std::numeric_limits<double>::epsilon() * static_cast<double>(size));
}

// c from just above -1 to 1e15 and up to 10^5 terms: N - i tiny and N >> i in
// sum_{j=1..i} ln(N - j + 1) = LogRising(N - i, i), and the sums of 1 / (N - j + 1) and its
// square.
TEST(LogRising, AgreesWithTheExtendedTermByTermSums) {
    for (double c : {-1 + 1e-12, -0.5, 0.0, 1e-12, 0.7, 9.5, 10.0, 37.2, 1e3, 1e6, 1e10, 1e15}) {
        const long double wide = c;
        for (double k : {0.0, 1.0, 2.0, 11.0, 30.0, 1000.0, 1e5}) {
            // ln(1 + (c + m - 1)) keeps the digits of a first term near ln 1.
            EXPECT_TRUE(AgreesWithSum(
                LogRising(c, k), k, [&](double m) { return std::log1p(wide + (m - 1)); }, 8))
                << "c " << c << ", k " << k;
            const RisingReciprocals reciprocals = RisingReciprocalSums(c, k);
            EXPECT_TRUE(AgreesWithSum(
                reciprocals.first, k, [&](double m) { return 1 / (wide + m); }, 8))
                << "c " << c << ", k " << k;
            EXPECT_TRUE(AgreesWithSum(
                reciprocals.second, k, [&](double m) { return 1 / ((wide + m) * (wide + m)); }, 8))
                << "c " << c << ", k " << k;
            if (c <= 0.0) continue;
            EXPECT_TRUE(AgreesWithSum(
                LogRisingExcess(c, k), k, [&](double m) { return std::log1p(m / wide); }, 8))
                << "c " << c << ", k " << k;
        }
    }
    EXPECT_EQ(LogRising(-1.0, 3.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(LogRisingExcess(0.0, 3.0), std::numeric_limits<double>::infinity());
}

// JM's profile: from y near 0 (N >> n, where its parts cancel) to y = 1/r (N = n), r from 1
// to n, and falling lines (y < 0).
TEST(Log1pLineSum, AgreesWithTheExtendedTermByTermSum) {
    for (double n : {2.0, 3.0, 20.0, 136.0, 5000.0}) {
        for (double share : {0.0, 0.3, 0.5, 0.9, 1.0}) {
            const double r = 1.0 + share * (n - 1);
            for (double y : {1e-300, 1e-15 / n, 1e-9, 1e-4 / r, 0.1 / r, 0.5 / r, 1 / r - 1e-9 / r,
                             1 / r, -1e-9 / n, -0.5 / n}) {
                const long double wide = y;
                EXPECT_TRUE(AgreesWithSum(
                    Log1pLineSum(y, r, n), n, [&](double m) { return std::log1p(wide * (m - r)); },
                    16))
                    << "n " << n << ", r " << r << ", y " << y;
            }
        }
    }
}

}  // namespace
}  // namespace tamsel
