#include "tamsel/measures/kolmogorov.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_support.h"

namespace tamsel {
namespace {

struct Reference {
    int n;
    double d;
    double p;       // P(D_n >= d)
    double relTol;  // the doubled one-sided tail (p < 0.01) is within 1e-7
};

// Computed independently with 60-digit arithmetic by kolmogorov_reference.py: the Poissonised
// count of uniform points between the band's breakpoints, no matrix power. The n = 10,000
// values come from the same recursion in long double.
TEST(KolmogorovPValue, AgreesWithReferenceValues) {
    const Reference references[] = {
        // The checks engineers quote.
        {101, 0.1708, 0.0047952163956967706, 1e-7},
        {10, 0.3, 0.2705355748, 1e-10},
        {101, 0.1334, 0.049923563041420716, 1e-10},
        {3, 0.4, 0.59466666666666667, 1e-12},
        {5, 0.5, 0.112, 1e-12},
        {20, 0.1, 0.97625509459215497, 1e-12},
        {20, 0.2, 0.35272017362341605, 1e-12},
        {20, 0.35, 0.0107549634443905, 1e-9},
        {50, 0.05, 0.99902380984618836, 1e-12},
        {50, 0.25, 0.0030657620198706339, 1e-7},
        {200, 0.12, 0.0057457604928326021, 1e-7},
        // The right tail, where the matrix gives way to the one-sided formula.
        {20, 0.65, 8.7500485309315691e-9, 1e-7},
        {50, 0.4, 9.8635633644100786e-8, 1e-7},
        {101, 0.2, 0.0005121344197541075, 1e-7},
        {101, 0.25, 4.7647358928715104e-6, 1e-7},
        {200, 0.16, 6.117093237574896e-5, 1e-7},
        // From n = 10,000 on, the limiting distribution: within 1 %.
        {10000, 0.01, 0.268219128, 1e-2},
        {10000, 0.017, 0.006106326641, 1e-2},
    };
    for (const Reference& r : references) {
        SCOPED_TRACE(testing::Message() << "n=" << r.n << " d=" << r.d);
        EXPECT_CLOSE(KolmogorovPValue(r.n, r.d), r.p, r.relTol);
    }
}

TEST(KolmogorovPValue, ClosedFormsAtTheEnds) {
    // d <= 1/(2n): every sample is that far off; 1/(2n) < d <= 1/n: P(D < d) = n! (2d - 1/n)^n;
    // d >= 1 - 1/n: P(D >= d) = 2 (1 - d)^n; d >= 1: impossible.
    struct Case {
        int n;
        double d;
        double p;
    };
    const Case cases[] = {
        {1, 0.5, 1.0},
        {4, 0.125, 1.0},
        {4, 0.2, 1.0 - 24.0 * std::pow(0.4 - 0.25, 4)},
        {7, 1.0 / 7, 1.0 - 5040.0 * std::pow(1.0 / 7, 7)},
        {1, 0.9, 0.2},
        {2, 0.6, 2.0 * 0.16},
        {6, 0.9, 2.0 * std::pow(0.1, 6)},
        {3, 1.0, 0.0},
        {3, 1.5, 0.0},
        {3, 0.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << c.n << " d=" << c.d);
        EXPECT_TRUE(test::IsClose(KolmogorovPValue(c.n, c.d), c.p, 1e-12, 1e-300));
    }
}

TEST(KolmogorovPValue, FallsWithTheDistanceAcrossEveryMethod) {
    // Crossing from the matrix to the one-sided tail (at p = 0.01) must not reverse the order
    // of p-values by more than the methods' agreement.
    for (int n : {5, 60, 150, 12000}) {
        double previous = 1.0;
        for (double x = 0.3; x < 3.0; x += 0.01) {
            const double p = KolmogorovPValue(n, x / std::sqrt(n));
            EXPECT_LE(p, previous * (1.0 + 1e-7)) << "n=" << n << " x=" << x;
            EXPECT_GE(p, 0.0);
            previous = p;
        }
    }
}

TEST(KolmogorovCriticalDistance, InvertsThePValue) {
    struct Case {
        int n;
        double alpha;
        double d;  // the same reference computation, inverted by bisection
        double absTol;
    };
    const Case cases[] = {
        {1, 0.05, 0.975, 1e-9},  // 2 (1 - d) = alpha
        {6, 0.05, 0.519262, 1e-6},   {10, 0.05, 0.409246, 1e-6},  {10, 0.01, 0.488932, 1e-6},
        {101, 0.05, 0.133372, 1e-6}, {101, 0.01, 0.160022, 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << c.n << " alpha=" << c.alpha);
        const double d = KolmogorovCriticalDistance(c.n, c.alpha);
        EXPECT_CLOSE_ABS(d, c.d, c.absTol);
        EXPECT_CLOSE(KolmogorovPValue(c.n, d), c.alpha, 1e-6);
    }
    // Large n: the limit's own quantile, 1.3581 / (sqrt(n) + 0.12 + 0.11 / sqrt(n)).
    EXPECT_CLOSE(KolmogorovCriticalDistance(40000, 0.05), 1.35810 / (200.0 + 0.12 + 0.00055), 1e-4);
}

}  // namespace
}  // namespace tamsel
