#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tamsel/numeric/log_sum.h"
#include "test_support.h"

namespace tamsel {
namespace {

double Sum(const std::vector<double>& terms) {
    Log1pSum sum;
    std::ranges::for_each(terms, [&sum](double q) { sum.Add(q); });
    return sum.Value();
}

// n terms spread evenly in log10 over [low, high], in a scrambled order.
std::vector<double> Spread(int n, double low, double high) {
    std::vector<double> terms;
    for (int k = 0; k < n; ++k) {
        const double share = std::fmod(k * 0.6180339887498949, 1.0);
        terms.push_back(std::pow(10.0, low + (high - low) * share));
    }
    return terms;
}

// Against log1p taken term by term in extended precision, to within the roundings that sum
// itself makes, relative to the sum of the terms' sizes: the small terms are those where ln
// of the rounded 1 + q keeps no digit.
TEST(Log1pSum, AgreesWithTheExtendedTermByTermSum) {
    struct Case {
        std::string what;
        std::vector<double> terms;
    };
    std::vector<double> rising = Spread(2000, -18, -1);
    std::sort(rising.begin(), rising.end());
    std::vector<double> withHuge = Spread(300, -3, 3);
    for (double huge : {1e200, 0x1p500, 1e300, 0.0}) withHuge.insert(withHuge.begin() + 100, huge);
    std::vector<double> bothSigns = Spread(3000, -12, -0.001);
    for (double& q : bothSigns) q = q < 1e-3 ? q : -q;
    std::vector<double> nearMinusOne;
    for (int k = 1; k <= 3000; ++k) nearMinusOne.push_back(-1.0 + 1e-12 * k);
    const std::vector<Case> cases = {
        {"terms far below the rounding of 1 + q", Spread(5000, -20, -16)},
        {"small terms whose sum stays below 1", Spread(5000, -12, -5)},
        {"ratios of failure times", Spread(5000, -6, 4)},
        {"large terms that renormalise often", Spread(5000, 12, 15)},
        {"rising terms that cross from the excess to the product", rising},
        {"terms at and beyond the product's range", withHuge},
        {"terms of both signs, shares of a unit", bothSigns},
        {"terms near -1 whose product underflows", nearMinusOne},
        {"one term", {0.75}},
    };
    for (const Case& c : cases) {
        long double reference = 0.0L;
        long double size = 0.0L;
        for (double q : c.terms) {
            const long double term = std::log1p(static_cast<long double>(q));
            reference += term;
            size += std::fabs(term);
        }
        const double bound = 4e-16 * std::sqrt(static_cast<double>(c.terms.size())) * size;
        EXPECT_TRUE(test::IsClose(Sum(c.terms), static_cast<double>(reference), 0.0, bound))
            << c.what;
    }
}

TEST(Log1pSum, FaultsComeOutAsTheyWouldFromTheTermByTermSum) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Sum({}), 0.0);
    EXPECT_EQ(Sum({0.5, -1.0, 3.0}), -inf);
    EXPECT_TRUE(std::isnan(Sum({0.5, -2.0, 3.0})));
    EXPECT_TRUE(std::isnan(Sum({0.5, std::nan(""), 3.0})));
    EXPECT_EQ(Sum({2.0, inf}), inf);
}

}  // namespace
}  // namespace tamsel
