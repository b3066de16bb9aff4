#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tamsel/models/jm_model.h"
#include "test_support.h"

namespace tamsel {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// The objective without its sum, against -sum ln(1 + y (n + 1 - j - r)) term by term in extended
// precision, to a few roundings of the terms' sizes: from y near 0 (N >> n, where the parts of
// the sum cancel) to y = 1/r (N = n), r from 1 to n, and small negative y.
TEST(ObjectiveJM, AgreesWithTheExtendedTermByTermSum) {
    for (std::int32_t n : {2, 3, 20, 136, 5000}) {
        for (double share : {0.0, 0.3, 0.5, 0.9, 1.0}) {
            const double r = 1.0 + share * (n - 1);
            for (double y : {1e-300, 1e-15 / n, 1e-9, 1e-4 / r, 0.1 / r, 0.5 / r, 1 / r - 1e-9 / r,
                             1 / r, -1e-9 / n, -0.5 / n}) {
                long double sum = 0.0L;
                long double size = 0.0L;
                for (std::int32_t j = 1; j <= n; ++j) {
                    const long double term =
                        std::log1p(static_cast<long double>(y) * (n + 1 - j - r));
                    sum -= term;
                    size += std::fabs(term);
                }
                EXPECT_TRUE(test::IsClose(ObjectiveJM(y, n, r), static_cast<double>(sum), 0.0,
                                          16 * kEps * static_cast<double>(size)))
                    << "n " << n << ", r " << r << ", y " << y;
            }
        }
    }
    EXPECT_EQ(ObjectiveJM(0.0, 136, 40.0), 0.0);
    EXPECT_EQ(ObjectiveJM(-1.0 / 96, 136, 40.0), std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace tamsel
