#include "tamsel/numeric/minimise_1d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tamsel {
namespace {

// The settings shipped for double precision.
constexpr double kRel = 1e-8;
constexpr double kAbs = 1e-15;
constexpr std::int32_t kMaxIter = 300;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Objective = std::function<double(double)>;

Objective Quadratic(double r) {
    return [r](double z) { return (z - r) * (z - r); };
}

Objective Quartic(double r) {
    return [r](double z) { return std::pow(z - r, 4); };
}

// NaN at 0.
double XLogX(double z) { return z * std::log(z); }

Objective Linear(double slope) {
    return [slope](double z) { return slope * z; };
}

// (z - 3)^2 from r on, the value c below r.
Objective NonFinite(double r, double c) {
    return [r, c](double z) { return z < r ? c : (z - 3.0) * (z - 3.0); };
}

// The result and every point the objective was evaluated at, in order.
struct Search {
    Minimise1DResult result;
    std::vector<double> points;
};

Search Minimise(const Objective& f, double x, double lo, double hi,
                std::int32_t maxIter = kMaxIter) {
    Search run;
    run.result = Minimise1D(
        [&](double z) {
            run.points.push_back(z);
            return f(z);
        },
        x, lo, hi, kRel, kAbs, maxIter);
    return run;
}

// Every evaluation, the returned point and its bracket lie in [lo, hi], and count says how many
// evaluations were made.
void ExpectInside(const Search& run, double lo, double hi) {
    EXPECT_EQ(run.result.count, static_cast<std::int32_t>(run.points.size()));
    EXPECT_GE(run.result.lo, lo);
    EXPECT_LE(run.result.hi, hi);
    EXPECT_GE(run.result.x, lo);
    EXPECT_LE(run.result.x, hi);
    for (double point : run.points) {
        EXPECT_GE(point, lo);
        EXPECT_LE(point, hi);
    }
}

// Smooth minima inside the interval, and minima at or beyond its ends. The ends hold however
// the steps approach them: an expanding step that would overshoot is clipped, and an interval
// narrower than the minimum start distance keeps the start inside.
TEST(Minimise1D, FindsTheMinimumWithoutLeavingTheInterval) {
    // Where the minimum value is not 0, values near it differ by less than their rounding and
    // the search may stop on an exact tie first.
    constexpr std::nullopt_t kMayTie = std::nullopt;
    constexpr Termination kConverged = Termination::Converged;
    struct Case {
        std::string name;
        Objective f;
        double x, lo, hi;
        double minimum;
        std::optional<Termination> termination;  // kMayTie: converged or tied
        std::int32_t maxCount;  // parabolic steps take a smooth minimum in few evaluations
    };
    const std::vector<Case> cases = {
        {"quadratic from the left", Quadratic(3.0), 1.0, 0.0, 10.0, 3.0, kConverged, 12},
        {"quadratic from the right", Quadratic(3.0), 9.0, 0.0, 10.0, 3.0, kConverged, 12},
        {"quadratic from its minimum", Quadratic(3.0), 3.0, 0.0, 10.0, 3.0, kConverged, 12},
        {"quadratic, negative minimum", Quadratic(-2.5), 4.0, -10.0, 5.0, -2.5, kConverged, 12},
        {"quadratic far from the start", Quadratic(7e3), 10.0, 0.0, 1e4, 7e3, kConverged, 15},
        {"quartic", Quartic(2.5), 7.0, 0.0, 10.0, 2.5, kMayTie, 25},
        // z ln z is NaN at its lower end 0.
        {"x ln x", &XLogX, 2.5, 0.0, 3.0, std::exp(-1.0), kConverged, 25},
        {"rising line from near the lower end", Linear(1.0), 2.5, 2.0, 10.0, 2.0, kConverged,
         kMaxIter},
        {"quadratic, minimum below", Quadratic(-1.0), 5.0, 0.0, 10.0, 0.0, kConverged, kMaxIter},
        {"quadratic, minimum above", Quadratic(20.0), 5.0, 0.0, 10.0, 10.0, kConverged, kMaxIter},
        // The first trial lands on the end and the clipped expanding step stays there: the
        // repeated value ends the search before any bracket.
        {"falling line from within d0 of the upper end", Linear(-1.0), 9.5, 2.0, 10.0, 10.0,
         Termination::TiedBeforeBracket, kMaxIter},
        {"interval narrower than d0", Quadratic(1.0), 1.0, 0.98, 1.02, 1.0, kConverged, kMaxIter},
        // lo - x rounds to -x here, and x + (lo - x) to 0.
        {"rising line, lower end far below x in magnitude", Linear(1.0), 5.0, 1e-20, 10.0, 1e-20,
         kConverged, kMaxIter},
        // Non-finite values rank above every finite one: (z - 3)^2 above 2, non-finite below.
        {"NaN below", NonFinite(2.0, kNaN), 6.0, 0.0, 10.0, 3.0, kConverged, kMaxIter},
        {"infinity below", NonFinite(2.0, kInf), 6.0, 0.0, 10.0, 3.0, kConverged, kMaxIter},
        {"minus infinity below", NonFinite(2.0, -kInf), 6.0, 0.0, 10.0, 3.0, kConverged, kMaxIter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Search run = Minimise(c.f, c.x, c.lo, c.hi);
        const Minimise1DResult& r = run.result;
        ExpectInside(run, c.lo, c.hi);
        EXPECT_EQ(r.fx, c.f(r.x));
        EXPECT_LE(r.count, c.maxCount);
        // The bracket holds the minimum; converged means both its ends lie within tol2 of x.
        const double tol2 = 2.0 * (kRel * std::abs(r.x) + kAbs);
        EXPECT_LE(r.lo, c.minimum);
        EXPECT_GE(r.hi, c.minimum);
        if (!c.termination && r.termination == Termination::TiedTrial) {
            EXPECT_TRUE(r.x == r.lo || r.x == r.hi);
        } else {
            EXPECT_EQ(r.termination, c.termination.value_or(kConverged));
        }
        if (r.termination == Termination::Converged) {
            EXPECT_LE(r.x - r.lo, tol2);
            EXPECT_LE(r.hi - r.x, tol2);
        }
        // A minimum at an end is reached exactly.
        if (c.minimum == c.lo || c.minimum == c.hi) {
            EXPECT_EQ(r.x, c.minimum);
        } else {
            EXPECT_CLOSE_ABS(r.x, c.minimum, tol2);
        }
    }
}

TEST(Minimise1D, BudgetIsCheckedFromTheThirdEvaluationOn) {
    struct Case {
        std::string name;
        Objective f;
        std::int32_t maxIter;
        Termination termination;
        std::int32_t count;
        double x, lo, hi;
    };
    // From 50 on [0, 100], d0 = 5 + 1e-13: trials at 50 - d0, then four steps further.
    double d0 = 5.0 + 100.0 * kAbs;
    const std::vector<Case> cases = {
        {"line, no budget", Linear(1.0), 0, Termination::BudgetBeforeBracket, 3, 50.0 - 5.0 * d0,
         0.0, 100.0},
        {"line, budget 3", Linear(1.0), 3, Termination::BudgetBeforeBracket, 3, 50.0 - 5.0 * d0,
         0.0, 100.0},
        // The fourth trial reaches the end, which brackets the minimum there.
        {"line, budget 4", Linear(1.0), 4, Termination::IterationBudget, 4, 0.0, 0.0,
         50.0 - 5.0 * d0},
        // The trials on both sides of the start are higher: bracketed at once.
        {"quadratic, budget 2", Quadratic(50.0), 2, Termination::IterationBudget, 3, 50.0,
         50.0 - d0, 50.0 + 4.0 * d0},
        {"quadratic, budget 3", Quadratic(50.0), 3, Termination::IterationBudget, 3, 50.0,
         50.0 - d0, 50.0 + 4.0 * d0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Search run = Minimise(c.f, 50.0, 0.0, 100.0, c.maxIter);
        const Minimise1DResult& r = run.result;
        EXPECT_EQ(r.termination, c.termination);
        EXPECT_EQ(r.count, c.count);
        EXPECT_CLOSE(r.x, c.x, 1e-14);
        EXPECT_CLOSE(r.lo, c.lo, 1e-14);
        EXPECT_CLOSE(r.hi, c.hi, 1e-14);
    }
}

}  // namespace
}  // namespace tamsel
