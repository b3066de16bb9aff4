#include "tamsel/measures/trend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "test_support.h"

namespace tamsel {
namespace {

TEST(LaplaceFactors, ClosedFormsOnSmallSeries) {
    struct Case {
        std::vector<double> cumulative;
        std::vector<std::optional<double>> expected;
    };
    const Case cases[] = {
        // By hand: u(2) = (1 - 3/2) / (3 sqrt(1/12)), u(3) = (2 - 3) / (6 sqrt(1/24)).
        {{1.0, 3.0, 6.0}, {std::nullopt, -1.0 / std::sqrt(3.0), -std::sqrt(2.0 / 3.0)}},
        // Failures at a constant pace: the earlier times average T(i)/2 exactly.
        {{1.0, 2.0, 3.0, 4.0, 5.0}, {std::nullopt, 0.0, 0.0, 0.0, 0.0}},
        // T(j) = j^2: the earlier times average i (2i - 1) / 6, u(i) = -(i+1)/(6i) sqrt(12 (i-1)).
        {{1.0, 4.0, 9.0, 16.0},
         {std::nullopt, -0.25 * std::sqrt(12.0), -2.0 / 9 * std::sqrt(24.0),
          -5.0 / 24 * std::sqrt(36.0)}},
        // Simultaneous failures after a long wait: decay.
        {{1.0, 1.0, 1.0}, {std::nullopt, std::sqrt(3.0), std::sqrt(6.0)}},
        // A failure at time 0 has no factor, and still counts among the earlier ones.
        {{0.0, 0.0, 5.0}, {std::nullopt, std::nullopt, -std::sqrt(6.0)}},
        {{4.0}, {std::nullopt}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        const std::vector<std::optional<double>> factors = LaplaceFactors(c.cumulative);
        ASSERT_EQ(factors.size(), c.expected.size());
        for (std::size_t k = 0; k < factors.size(); ++k) {
            ASSERT_EQ(factors[k].has_value(), c.expected[k].has_value()) << "failure " << k + 1;
            if (factors[k]) {
                EXPECT_CLOSE_ABS(*factors[k], *c.expected[k], 1e-14);
            }
        }
    }
}

TEST(LaplaceVerdict, OneSidedFivePercentLevel) {
    struct Case {
        double u;
        TrendVerdict verdict;
        const char* text;
    };
    const Case cases[] = {
        {-1.65, TrendVerdict::Growth, "reliability growth"},
        {-3.0, TrendVerdict::Growth, "reliability growth"},
        {-1.64, TrendVerdict::NoTrend, "no significant trend"},
        {0.0, TrendVerdict::NoTrend, "no significant trend"},
        {1.64, TrendVerdict::NoTrend, "no significant trend"},
        {1.65, TrendVerdict::Decay, "reliability decay"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LaplaceVerdict(c.u), c.verdict) << c.u;
        EXPECT_EQ(TrendVerdictText(LaplaceVerdict(c.u)), c.text);
    }
    // The critical values are the normal quantiles: Phi(-1.6449) = 0.05, Phi(-2.3263) = 0.01.
    EXPECT_CLOSE(0.5 * std::erfc(kLaplace5 / std::sqrt(2.0)), 0.05, 1e-12);
    EXPECT_CLOSE(0.5 * std::erfc(kLaplace1 / std::sqrt(2.0)), 0.01, 1e-12);
}

}  // namespace
}  // namespace tamsel
