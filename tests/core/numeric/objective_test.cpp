#include "tamsel/numeric/objective.h"

#include <gtest/gtest.h>

#include <array>

#include "test_support.h"

namespace tamsel {
namespace {

double Square(double x, const ObjectiveData& data) { return (x - data.r) * (x - data.r); }

TEST(Objective, RegisteredCodesAreDispatchedAndOthersGiveZero) {
    ObjectiveData data;
    data.r = 3.0;
    RegisterObjective1D(9, &Square);
    EXPECT_EQ(Objective1D(9, 5.0, data), 4.0);
    EXPECT_EQ(Objective1D(2, 5.0, data), 0.0);
    EXPECT_EQ(Objective1D(-1, 5.0, data), 0.0);
    EXPECT_EQ(Objective1D(1000, 5.0, data), 0.0);
    std::array<double, 2> x{1.0, 1.0};
    std::array<double, 2> g{7.0, 7.0};
    EXPECT_EQ(ObjectiveND(12, x, g, data), 0.0);
    EXPECT_EQ(g[0], 7.0);
}

TEST(Objective, RosenbrockCodeGivesTheTestFunctionAndLeavesTheGradient) {
    ObjectiveData data;
    std::array<double, 2> x{-1.2, 1.0};
    std::array<double, 2> g{5.0, 6.0};
    EXPECT_CLOSE(ObjectiveND(kRosenbrockCode, x, g, data), 24.2, 1e-15);
    x = {1.0, 1.0};
    EXPECT_EQ(ObjectiveND(kRosenbrockCode, x, g, data), 0.0);
    EXPECT_EQ(g[0], 5.0);
    EXPECT_EQ(g[1], 6.0);
}

}  // namespace
}  // namespace tamsel
