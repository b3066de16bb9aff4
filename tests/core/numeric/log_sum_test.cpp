#include "tamsel/numeric/log_sum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tamsel {
namespace {

double Sum(const std::vector<double>& factors) {
    LogSum sum;
    for (double factor : factors) sum.Add(factor);
    return sum.Value();
}

// The sum of the logarithms taken one by one in extended precision.
long double Reference(const std::vector<double>& factors) {
    long double sum = 0.0L;
    for (double factor : factors) sum += std::log(static_cast<long double>(factor));
    return sum;
}

std::vector<double> LogUniform(int n, double lowExponent, double highExponent, unsigned seed) {
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> exponent(lowExponent, highExponent);
    std::vector<double> factors;
    for (int k = 0; k < n; ++k) factors.push_back(std::pow(10.0, exponent(engine)));
    return factors;
}

TEST(LogSum, AgreesWithTheTermByTermSumToTheLastBits) {
    struct Case {
        std::string what;
        std::vector<double> factors;
    };
    std::vector<double> extremes = LogUniform(300, -3, 3, 4);
    for (double extreme : {1e-300, 1e300, 0x1p-501, 0x1p501, 5e-324, 1.7e308}) {
        extremes.insert(extremes.begin() + 150, extreme);
    }
    std::vector<double> nearOne;
    for (int k = 1; k <= 5000; ++k) nearOne.push_back(1.0 + k * 1e-12);
    const std::vector<Case> cases = {
        {"failure times", LogUniform(5000, -2, 7, 1)},
        {"large factors that renormalise often", LogUniform(5000, 12, 15, 2)},
        {"small factors", LogUniform(5000, -15, -12, 3)},
        {"factors beyond the product's range, between others", extremes},
        {"factors near one", nearOne},
        {"one factor", {123.456}},
    };
    for (const Case& c : cases) {
        const long double reference = Reference(c.factors);
        // Each product rounds once: n roundings of a unit in the last place, at most.
        const double bound = c.factors.size() * std::numeric_limits<double>::epsilon() +
                             4e-16 * std::fabs(reference);
        EXPECT_NEAR(Sum(c.factors), static_cast<double>(reference), bound) << c.what;
    }
}

TEST(LogSum, FaultsComeOutAsTheyWouldFromTheTermByTermSum) {
    EXPECT_EQ(Sum({}), 0.0);
    EXPECT_EQ(Sum({2.0, 0.0, 3.0}), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(Sum({2.0, -1.0, 3.0})));
    EXPECT_TRUE(std::isnan(Sum({2.0, std::nan(""), 3.0})));
    EXPECT_EQ(Sum({2.0, std::numeric_limits<double>::infinity()}),
              std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace tamsel
