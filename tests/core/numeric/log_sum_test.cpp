#include "tamsel/numeric/log_sum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "test_support.h"

namespace tamsel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

template <typename Accumulator>
double Sum(const std::vector<double>& values) {
    Accumulator sum;
    std::ranges::for_each(values, [&sum](double v) { sum.Add(v); });
    return sum.Value();
}

// n values spread evenly in log10 over [low, high] in a scrambled order, of sign sign.
std::vector<double> Spread(int n, double low, double high, double sign = 1.0) {
    std::vector<double> values;
    for (int k = 0; k < n; ++k) {
        values.push_back(sign * std::pow(10.0, low + (high - low) * std::fmod(k * 0.618034, 1.0)));
    }
    return values;
}

// Against the logarithms summed one by one in extended precision: each product rounds once,
// so n roundings of a unit in the last place at most.
TEST(LogSum, AgreesWithTheExtendedTermByTermSum) {
    std::vector<double> extremes = Spread(300, -3, 3);
    for (double extreme : {1e-300, 1e300, 0x1p-501, 0x1p501, 5e-324, 1.7e308}) {
        extremes.insert(extremes.begin() + 150, extreme);
    }
    std::vector<double> nearOne;
    for (int k = 1; k <= 5000; ++k) nearOne.push_back(1.0 + k * 1e-12);
    for (const std::vector<double>& factors :
         {Spread(5000, -2, 7), Spread(5000, 12, 15), Spread(5000, -15, -12), extremes, nearOne,
          std::vector<double>{123.456}}) {
        long double reference = 0.0L;
        for (double factor : factors) reference += std::log(static_cast<long double>(factor));
        const double bound =
            factors.size() * std::numeric_limits<double>::epsilon() + 4e-16 * std::fabs(reference);
        EXPECT_TRUE(test::IsClose(Sum<LogSum>(factors), static_cast<double>(reference), 0.0, bound))
            << factors.size() << " factors from " << factors[0];
    }
    EXPECT_EQ(Sum<LogSum>({}), 0.0);
    EXPECT_EQ(Sum<LogSum>({2.0, 0.0, 3.0}), -kInf);
    EXPECT_TRUE(std::isnan(Sum<LogSum>({2.0, -1.0, 3.0})));
    EXPECT_TRUE(std::isnan(Sum<LogSum>({2.0, std::nan(""), 3.0})));
    EXPECT_EQ(Sum<LogSum>({2.0, kInf}), kInf);
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
        EXPECT_TRUE(test::IsClose(Sum<Log1pSum>(terms), static_cast<double>(reference), 0.0, bound))
            << terms.size() << " terms from " << terms[0];
    }
    EXPECT_EQ(Sum<Log1pSum>({}), 0.0);
    EXPECT_EQ(Sum<Log1pSum>({0.5, -1.0, 3.0}), -kInf);
    EXPECT_TRUE(std::isnan(Sum<Log1pSum>({0.5, -2.0, 3.0})));
    EXPECT_TRUE(std::isnan(Sum<Log1pSum>({0.5, std::nan(""), 3.0})));
    EXPECT_EQ(Sum<Log1pSum>({2.0, kInf}), kInf);
}

}  // namespace
}  // namespace tamsel
