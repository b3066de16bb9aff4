#include "tamsel/numeric/minimise_nd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tamsel {
namespace {

// The gradient tolerance and budget of the default inference method (its absolute precision
// 1e-15 and eta 0.4 are passed in Run).
constexpr double kTolerance = 1e-7;
constexpr std::int32_t kMaxIter = 300;

// Test objectives with analytic gradients.
using Objective = std::function<double(std::span<const double> x, std::span<double> g)>;

double Rosenbrock(std::span<const double> x, std::span<double> g) {
    const double a = x[1] - x[0] * x[0];
    const double b = 1.0 - x[0];
    g[0] = -400.0 * x[0] * a - 2.0 * b;
    g[1] = 200.0 * a;
    return 100.0 * a * a + b * b;
}

// 1/2 (x - c)^T A (x - c) in two or three variables, A positive definite.
constexpr double kA[3][3] = {{4.0, 1.0, 0.0}, {1.0, 3.0, 1.0}, {0.0, 1.0, 2.0}};
constexpr double kCentre[3] = {1.0, -2.0, 0.5};

double Quadratic(std::span<const double> x, std::span<double> g) {
    double f = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        g[i] = 0.0;
        for (std::size_t j = 0; j < x.size(); ++j) g[i] += kA[i][j] * (x[j] - kCentre[j]);
        f += 0.5 * (x[i] - kCentre[i]) * g[i];
    }
    return f;
}

// x^2 + (y^2 - 1)^2: a saddle at the origin between the minima (0, +-1); in three variables
// x^2 + x y + (y^2 - 1)^2 + z^2, whose saddle at the origin couples x and y.
double Saddle(std::span<const double> x, std::span<double> g) {
    const double q = x[1] * x[1] - 1.0;
    if (x.size() == 2) {
        g[0] = 2.0 * x[0];
        g[1] = 4.0 * x[1] * q;
        return x[0] * x[0] + q * q;
    }
    g[0] = 2.0 * x[0] + x[1];
    g[1] = x[0] + 4.0 * x[1] * q;
    g[2] = 2.0 * x[2];
    return x[0] * x[0] + x[0] * x[1] + q * q + x[2] * x[2];
}

// (x^2 - 25)^2 / 100 + (y^2 - 1)^2: symmetric in both signs; inside |x| <= 3 the minimum
// lies on the bound of x, at y = +-1.
double BoundaryMinimum(std::span<const double> x, std::span<double> g) {
    const double p = x[0] * x[0] - 25.0;
    const double q = x[1] * x[1] - 1.0;
    g[0] = 4.0 * x[0] * p / 100.0;
    g[1] = 4.0 * x[1] * q;
    return p * p / 100.0 + q * q;
}

// sqrt(1 + (x - 1)^2) + y^2, whose Newton step overshoots far from x = 1; beyond x = failBeyond
// the value and gradient are failure (not finite), and each such evaluation is counted.
Objective FailingHuber(double failBeyond, double failure, int* failures = nullptr) {
    return [=](std::span<const double> x, std::span<double> g) {
        if (x[0] > failBeyond) {
            if (failures) ++*failures;
            g[0] = g[1] = failure;
            return failure;
        }
        const double u = x[0] - 1.0;
        const double r = std::sqrt(1.0 + u * u);
        g[0] = u / r;
        g[1] = 2.0 * x[1];
        return r + x[1] * x[1];
    };
}

// -(x^2 + y^2), recording every point it is evaluated at: its minima over the box are the
// corners.
std::vector<std::vector<double>> g_recorded;

double RecordedConcave(std::span<const double> x, std::span<double> g) {
    g_recorded.emplace_back(x.begin(), x.end());
    double f = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        g[k] = -2.0 * x[k];
        f -= x[k] * x[k];
    }
    return f;
}

class MinimiseNDTest : public ::testing::Test {
  protected:
    static MinimiseNDResult Run(const Objective& f, std::vector<double> start,
                                std::vector<double> bounds, std::int32_t maxIter = kMaxIter) {
        return MinimiseND(f, std::move(start), bounds, 1e-15, 0.4, kTolerance, maxIter);
    }

    static double ValueAt(const Objective& f, std::vector<double> x) {
        std::vector<double> g(x.size());
        return f(x, g);
    }
};

struct Case {
    Objective code;
    std::vector<double> start;
    std::vector<double> expected;
    // About a quarter above the count measured: a weaker line search needs far more.
    std::int32_t maxEvaluations;
};

TEST_F(MinimiseNDTest, ReachesTheInteriorMinimumFromSeveralStarts) {
    const double y = std::sqrt(1.125);
    const std::vector<Case> cases = {
        {&Rosenbrock, {-1.2, 1.0}, {1.0, 1.0}, 40},
        {&Rosenbrock, {0.0, 0.0}, {1.0, 1.0}, 29},
        {&Rosenbrock, {2.0, -1.0}, {1.0, 1.0}, 30},
        {&Rosenbrock, {-1.5, 2.5}, {1.0, 1.0}, 45},
        {&Quadratic, {4.0, 4.0}, {1.0, -2.0}, 3},
        {&Quadratic, {-4.5, 0.3}, {1.0, -2.0}, 3},
        {&Quadratic, {0.0, 0.0, 0.0}, {1.0, -2.0, 0.5}, 3},
        {&Quadratic, {-3.0, 4.0, -4.0}, {1.0, -2.0, 0.5}, 3},
        {&Saddle, {0.5, 0.1}, {0.0, 1.0}, 12},
        {&Saddle, {-0.7, -2.0}, {0.0, -1.0}, 9},
        {&Saddle, {0.3, -0.2, 1.0}, {0.5 * y, -y, 0.0}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "from " << c.start[0] << ", " << c.start[1] << " in " << c.start.size());
        const MinimiseNDResult r = Run(c.code, c.start, std::vector<double>(c.start.size(), 5.0));
        EXPECT_EQ(r.termination, Termination::Converged);
        EXPECT_LE(r.evaluations, c.maxEvaluations);
        ASSERT_EQ(r.x.size(), c.expected.size());
        // |G| < 1e-7 leaves the point within 1e-7 / 0.4 along Rosenbrock's flattest
        // curvature, less elsewhere.
        for (std::size_t k = 0; k < c.expected.size(); ++k) {
            EXPECT_CLOSE_ABS(r.x[k], c.expected[k], 1e-6);
        }
        EXPECT_CLOSE(r.fx, ValueAt(c.code, r.x), 0.0);
    }
}

TEST_F(MinimiseNDTest, StationaryStartOfAConvexObjectiveReturnsAtOnce) {
    const std::vector<double> centre = {1.0, -2.0, 0.5};
    const MinimiseNDResult r = Run(&Quadratic, centre, {5.0, 5.0, 5.0});
    EXPECT_EQ(r.termination, Termination::Converged);
    EXPECT_EQ(r.evaluations, 1);
    EXPECT_EQ(r.iterations, 1);
    EXPECT_EQ(r.x, centre);
    EXPECT_CLOSE_ABS(r.fx, 0.0, 0.0);
}

TEST_F(MinimiseNDTest, SaddleStartFollowsTheDirectionOfNegativeCurvature) {
    // Gradient zero, Hessian diag(2, -4): the step e2 reaches the minimum (0, 1) at once.
    MinimiseNDResult r = Run(&Saddle, {0.0, 0.0}, {5.0, 5.0});
    EXPECT_EQ(r.termination, Termination::Converged);
    EXPECT_EQ(r.x, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(r.evaluations, 2);
    EXPECT_EQ(r.iterations, 2);

    // Coupled: the direction solves L^T p = e2, (-1/2, 1, 0), towards y > 0.
    r = Run(&Saddle, {0.0, 0.0, 0.0}, {5.0, 5.0, 5.0});
    EXPECT_EQ(r.termination, Termination::Converged);
    EXPECT_CLOSE_ABS(r.x[0], -0.5 * std::sqrt(1.125), 1e-7);
    EXPECT_CLOSE_ABS(r.x[1], std::sqrt(1.125), 1e-7);
    EXPECT_CLOSE_ABS(r.x[2], 0.0, 1e-7);
    EXPECT_CLOSE(r.fx, -1.125 / 4.0 + 0.125 * 0.125, 1e-12);
}

TEST_F(MinimiseNDTest, StartOnOrOutsideTheBoxIsMovedInsideBeforeTheFirstEvaluation) {
    struct Move {
        std::vector<double> start;
        std::vector<double> first;
    };
    const double margin = 100.0 * kTolerance;
    const std::vector<Move> moves = {
        {{3.0, -2.0}, {3.0 - 0.3 - margin, 2.0 - 0.2 - margin}},
        {{-3.0, 1.5}, {3.0 - 0.3 - margin, 1.5}},
        {{4.0, 0.0}, {3.0 - 0.4 - margin, 0.0}},
        {{1.0, 2.5}, {1.0, 2.0 - 0.25 - margin}},
        // Up to about twenty times the bound the rule lands inside; further out it would
        // land beyond the opposite bound, and the start is held at nine tenths of that.
        {{59.0, 0.0}, {3.0 - 5.9 - margin, 0.0}},
        {{100.0, 0.0}, {-2.7, 0.0}},
        {{-1e9, 1e9}, {-2.7, -1.8}},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(::testing::Message() << "start " << m.start[0] << ", " << m.start[1]);
        g_recorded.clear();
        const MinimiseNDResult r = Run(&RecordedConcave, m.start, {3.0, 2.0}, 0);
        ASSERT_FALSE(g_recorded.empty());
        EXPECT_CLOSE_ABS(g_recorded.front()[0], m.first[0], 1e-15);
        EXPECT_CLOSE_ABS(g_recorded.front()[1], m.first[1], 1e-15);
        EXPECT_EQ(r.termination, Termination::IterationBudget);
        EXPECT_EQ(r.evaluations, 1);
        EXPECT_EQ(r.x, g_recorded.front());
    }
}

// Whether x is a Hessian probe: an earlier point inside the box moved by the difference
// step of 1e-8 in one coordinate.
bool IsProbe(const std::vector<double>& x, std::size_t index, const std::vector<double>& bounds) {
    for (std::size_t i = 0; i < index; ++i) {
        const std::vector<double>& base = g_recorded[i];
        std::size_t moved = 0;
        bool inside = true;
        for (std::size_t k = 0; k < x.size(); ++k) {
            inside = inside && std::abs(base[k]) <= bounds[k];
            if (x[k] != base[k]) {
                ++moved;
                if (!test::IsClose(x[k] - base[k], 1e-8, 1e-6)) moved = x.size();
            }
        }
        if (inside && moved == 1) return true;
    }
    return false;
}

TEST_F(MinimiseNDTest, IterateNeverLeavesTheBox) {
    const std::vector<double> bounds = {2.7, 1.3};
    for (double x0 : {-2.5, -0.9, 0.1, 1.7, 2.6}) {
        for (double x1 : {-1.1, -0.3, 0.2, 1.25}) {
            SCOPED_TRACE(::testing::Message() << "start " << x0 << ", " << x1);
            g_recorded.clear();
            const MinimiseNDResult r = Run(&RecordedConcave, {x0, x1}, bounds);
            // Every coordinate ends at its bound with the gradient pointing outwards.
            EXPECT_EQ(r.termination, Termination::Converged);
            EXPECT_CLOSE_ABS(r.x[0], bounds[0], 1e-12);
            EXPECT_CLOSE_ABS(r.x[1], bounds[1], 1e-12);
            for (std::size_t i = 0; i < g_recorded.size(); ++i) {
                const std::vector<double>& x = g_recorded[i];
                if (std::abs(x[0]) <= bounds[0] && std::abs(x[1]) <= bounds[1]) continue;
                EXPECT_TRUE(IsProbe(x, i, bounds)) << "outside: " << x[0] << ", " << x[1];
            }
        }
    }
}

TEST_F(MinimiseNDTest, MinimumOnTheBoundIsFoundAndReflectedToPositiveSigns) {
    const std::vector<std::vector<double>> starts = {
        {1.0, 2.0}, {2.9, 0.2}, {-1.0, -2.0}, {-2.0, 0.5}, {0.5, -0.3}};
    for (const std::vector<double>& start : starts) {
        SCOPED_TRACE(::testing::Message() << "start " << start[0] << ", " << start[1]);
        const MinimiseNDResult r = Run(&BoundaryMinimum, start, {3.0, 3.0});
        EXPECT_EQ(r.termination, Termination::Converged);
        // Measured 10 to 14.
        EXPECT_LE(r.evaluations, 18);
        EXPECT_CLOSE_ABS(r.x[0], 3.0, 1e-12);
        // |G| < 1e-7 with curvature 8 in y.
        EXPECT_CLOSE_ABS(r.x[1], 1.0, 2e-8);
        EXPECT_CLOSE(r.fx, 2.56, 1e-12);
    }
}

TEST_F(MinimiseNDTest, SmallBudgetEndsOnTheIterationBudget) {
    const double startValue = ValueAt(&Rosenbrock, {-1.2, 1.0});
    // The first line search takes one evaluation: 2 (1 + 2) exceeds 3 and 5 but not 6.
    for (const auto& [maxIter, iterations] : {std::pair{3, 1}, std::pair{5, 1}, std::pair{6, 2}}) {
        SCOPED_TRACE(::testing::Message() << "MaxIter " << maxIter);
        const MinimiseNDResult r = Run(&Rosenbrock, {-1.2, 1.0}, {5.0, 5.0}, maxIter);
        EXPECT_EQ(r.termination, Termination::IterationBudget);
        EXPECT_EQ(r.iterations, iterations);
        EXPECT_GT(2 * (r.iterations + r.evaluations), maxIter);
        EXPECT_LE(r.evaluations, 1 + iterations * std::min(maxIter, 50));
        EXPECT_LT(r.fx, startValue);
        EXPECT_CLOSE(r.fx, ValueAt(&Rosenbrock, r.x), 0.0);
    }

    const MinimiseNDResult r = Run(&Rosenbrock, {-1.2, 1.0}, {5.0, 5.0}, 20);
    EXPECT_EQ(r.termination, Termination::IterationBudget);
    EXPECT_GT(r.iterations, 2);
    EXPECT_GT(2 * (r.iterations + r.evaluations), 20);
    EXPECT_LT(r.fx, startValue);
    EXPECT_CLOSE(r.fx, ValueAt(&Rosenbrock, r.x), 0.0);
}

TEST_F(MinimiseNDTest, NonFiniteValuesCountAsWorseThanEveryFiniteValue) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    for (double failure : {std::numeric_limits<double>::quiet_NaN(), kInfinity, -kInfinity}) {
        SCOPED_TRACE(::testing::Message() << "failure value " << failure);
        int failures = 0;
        // The first Newton step from x = -1 lands at x = 9.
        const MinimiseNDResult r =
            Run(FailingHuber(4.0, failure, &failures), {-1.0, 0.5}, {20.0, 20.0});
        EXPECT_GT(failures, 0);
        EXPECT_EQ(r.termination, Termination::Converged);
        EXPECT_CLOSE_ABS(r.x[0], 1.0, 1e-6);
        EXPECT_CLOSE_ABS(r.x[1], 0.0, 1e-7);
        EXPECT_CLOSE(r.fx, 1.0, 1e-12);
    }
}

// Every point with x beyond failBeyond fails. From {5, 1} the start itself has no finite
// gradient; from the origin descent leads only to failing points: the Newton direction built
// from failed probes is not finite and costs no evaluation, and the steepest-descent search
// shrinks onto the start in five evaluations (measured).
TEST_F(MinimiseNDTest, NoFinitePointBelowTheStartStopsBeforeTheBudget) {
    struct Stuck {
        std::vector<double> start;
        double failBeyond;
        std::int32_t maxEvaluations;
        std::int32_t iterations;
        Termination termination;
    };
    for (const Stuck& c : {Stuck{{5.0, 1.0}, 4.0, 1, 0, Termination::NonFiniteGradient},
                           Stuck{{0.0, 0.0}, 0.0, 8, 1, Termination::NoLowerPoint}}) {
        SCOPED_TRACE(::testing::Message() << "start " << c.start[0] << ", " << c.start[1]);
        const Objective f = FailingHuber(c.failBeyond, std::numeric_limits<double>::quiet_NaN());
        const MinimiseNDResult r = Run(f, c.start, {20.0, 20.0});
        EXPECT_EQ(r.termination, c.termination);
        EXPECT_LE(r.evaluations, c.maxEvaluations);
        EXPECT_EQ(r.iterations, c.iterations);
        EXPECT_EQ(r.x, c.start);
        const double startValue = ValueAt(f, c.start);
        EXPECT_EQ(std::isnan(r.fx), std::isnan(startValue));
        if (!std::isnan(startValue)) {
            EXPECT_CLOSE(r.fx, startValue, 1e-15);
        }
    }
}

TEST_F(MinimiseNDTest, RejectsAMissingVariableOrBound) {
    for (const auto& [x, b] :
         {std::pair<std::vector<double>, std::vector<double>>{{}, {}}, {{1.0, 2.0}, {5.0}}}) {
        try {
            Run(&Quadratic, x, b);
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "MinimiseND needs at least one variable and one bound each");
        }
    }
}

}  // namespace
}  // namespace tamsel
