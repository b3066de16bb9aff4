#include "tamsel/numeric/minimise_nd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
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
// the value and gradient are failure (not finite).
Objective FailingHuber(double failBeyond, double failure) {
    return [=](std::span<const double> x, std::span<double> g) {
        if (x[0] > failBeyond) {
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
    double bound = 5.0;  // on the magnitude of every variable
};

// Interior minima from several starts; a start on a saddle follows the direction of negative
// curvature; a minimum on the bound is found and reflected to positive signs; non-finite values
// rank below every finite one.
TEST_F(MinimiseNDTest, ReachesTheInteriorMinimumFromSeveralStarts) {
    const double y = std::sqrt(1.125);
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double kInf = std::numeric_limits<double>::infinity();
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
        // Gradient zero, Hessian diag(2, -4): the step e2 reaches the minimum at once.
        {&Saddle, {0.0, 0.0}, {0.0, 1.0}, 2},
        // Coupled: the direction solves L^T p = e2, (-1/2, 1, 0), towards y > 0.
        {&Saddle, {0.0, 0.0, 0.0}, {-0.5 * y, y, 0.0}, 11},
        {&BoundaryMinimum, {1.0, 2.0}, {3.0, 1.0}, 18, 3.0},
        {&BoundaryMinimum, {-1.0, -2.0}, {3.0, 1.0}, 18, 3.0},
        {&BoundaryMinimum, {0.5, -0.3}, {3.0, 1.0}, 18, 3.0},
        // The first Newton step from x = -1 lands at x = 9, beyond which values fail.
        {FailingHuber(4.0, kNaN), {-1.0, 0.5}, {1.0, 0.0}, 14, 20.0},
        {FailingHuber(4.0, kInf), {-1.0, 0.5}, {1.0, 0.0}, 14, 20.0},
        {FailingHuber(4.0, -kInf), {-1.0, 0.5}, {1.0, 0.0}, 14, 20.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "from " << c.start[0] << ", " << c.start[1] << " in " << c.start.size());
        const MinimiseNDResult r =
            Run(c.code, c.start, std::vector<double>(c.start.size(), c.bound));
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
}

}  // namespace
}  // namespace tamsel
