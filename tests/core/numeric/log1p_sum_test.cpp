#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
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

// n terms spread evenly in log10 over [low, high] in a scrambled order, of sign sign.
std::vector<double> Spread(int n, double low, double high, double sign = 1.0) {
    std::vector<double> terms;
    for (int k = 0; k < n; ++k) {
        terms.push_back(sign * std::pow(10.0, low + (high - low) * std::fmod(k * 0.618034, 1.0)));
    }
    return terms;
}

// Against log1p term by term in extended precision, to a few roundings of the terms' sizes.
TEST(Log1pSum, AgreesWithTheExtendedTermByTermSum) {
    std::vector<double> bothSigns = Spread(2000, -12, -0.001, -1.0);
    std::ranges::copy(Spread(2000, -12, 0), std::back_inserter(bothSigns));
    std::vector<double> withHuge = Spread(300, -3, 3);
    withHuge.insert(withHuge.begin() + 100, {1e200, 0x1p500, 1e300, 0.0});
    std::vector<double> nearMinusOne;  // their product underflows
    for (int k = 1; k <= 3000; ++k) nearMinusOne.push_back(-1.0 + 1e-12 * k);
    for (const std::vector<double>& terms :
         {Spread(5000, -20, -16), Spread(5000, -12, -5), Spread(5000, -6, 4), Spread(5000, 12, 15),
          nearMinusOne, bothSigns, withHuge}) {
        long double reference = 0.0L;
        long double size = 0.0L;
        for (double q : terms) {
            reference += std::log1p(static_cast<long double>(q));
            size += std::fabs(std::log1p(static_cast<long double>(q)));
        }
        const double bound = 4e-16 * std::sqrt(static_cast<double>(terms.size())) * size;
        EXPECT_TRUE(test::IsClose(Sum(terms), static_cast<double>(reference), 0.0, bound))
            << terms.size() << " terms from " << terms[0];
    }
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Sum({}), 0.0);
    EXPECT_EQ(Sum({0.5, -1.0, 3.0}), -inf);
    EXPECT_TRUE(std::isnan(Sum({0.5, -2.0, 3.0})));
    EXPECT_TRUE(std::isnan(Sum({0.5, std::nan(""), 3.0})));
    EXPECT_EQ(Sum({2.0, inf}), inf);
}

}  // namespace
}  // namespace tamsel
