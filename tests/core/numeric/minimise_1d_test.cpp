#include "tamsel/numeric/minimise_1d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/tools/roots.hpp>
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

// -sum ln(1 + y_i k) + c k over the series y (element 0 unused): convex in k >= 0.
Objective Likelihood(const std::vector<double>& series, double c) {
    return [&series, c](double k) {
        double sum = 0.0;
        for (std::size_t i = 1; i < series.size(); ++i) sum += std::log1p(series[i] * k);
        return -sum + c * k;
    };
}

Objective Linear(double slope) {
    return [slope](double z) { return slope * z; };
}

// (z - 3)^2 from r on, the value c below r.
Objective NonFinite(double r, double c) {
    return [r, c](double z) { return z < r ? c : (z - 3.0) * (z - 3.0); };
}

// |z - r| cut off at c, so every point of [r - c, r + c] is a minimum.
Objective FlatBottom(double r, double c) {
    return [r, c](double z) { return std::max(std::abs(z - r), c); };
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

// Every trial after the first lies at least tol1 from the best point held when it was made
// (half of tol1 allows for tol1 following x), unless an end stopped it.
void ExpectTrialsKeepTheirDistance(const Search& run, const Objective& f, double lo, double hi) {
    double best = run.points[0];
    double fBest = f(best);
    for (std::size_t i = 1; i < run.points.size(); ++i) {
        double point = run.points[i];
        double value = f(point);
        if (point != lo && point != hi) {
            EXPECT_GE(std::abs(point - best), 0.5 * (kRel * std::abs(best) + kAbs)) << i;
        }
        // The first trial also replaces the start on a tie.
        if (value < fBest || (i == 1 && value <= fBest)) {
            best = point;
            fBest = value;
        }
    }
}

// The first failures of SYS1 in thousands of seconds, and the minimum of the likelihood-like
// objective over them from an independent root finder on its derivative.
std::vector<double> LikelihoodSeries() {
    std::vector<double> values = test::ReadDataValues("sys1.txt");
    std::vector<double> series{0.0};
    for (std::size_t i = 0; i < 30; ++i) series.push_back(values[i] / 1000.0);
    return series;
}

double LikelihoodMinimum(const std::vector<double>& series, double c) {
    auto derivative = [&](double k) {
        double sum = 0.0;
        for (std::size_t i = 1; i < series.size(); ++i) sum += series[i] / (1.0 + series[i] * k);
        return c - sum;
    };
    std::uintmax_t iterations = 200;
    auto root = boost::math::tools::toms748_solve(
        derivative, 0.0, 1000.0, boost::math::tools::eps_tolerance<double>(52), iterations);
    return 0.5 * (root.first + root.second);
}

// Smooth minima inside the interval, and minima at or beyond its ends. The ends hold however
// the steps approach them: an expanding step that would overshoot is clipped, and an interval
// narrower than the minimum start distance keeps the start inside.
TEST(Minimise1D, FindsTheMinimumWithoutLeavingTheInterval) {
    std::vector<double> series = LikelihoodSeries();
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
        {"likelihood", Likelihood(series, 2.0), 5.0, 0.0, 100.0, LikelihoodMinimum(series, 2.0),
         kMayTie, 15},
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Search run = Minimise(c.f, c.x, c.lo, c.hi);
        const Minimise1DResult& r = run.result;
        ExpectInside(run, c.lo, c.hi);
        ExpectTrialsKeepTheirDistance(run, c.f, c.lo, c.hi);
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

// |z - 3| from 6 on [0, 10], d0 = 0.6: the trial 6 + d0 is higher, so the expanding step
// reverses to 6 - 4 d0 = 3.6, which improves; the unbracketed step -4 w = -9.6 is clipped to
// the end 0, whose value 3 ties with the second-best value f(6): not higher, so 0 becomes the
// second-best point and brackets the minimum with 6. The parabola through 3.6, 0 and 6 gives
// 3 exactly, and the one through 3, 3.6 and 0 then gives 2.4.
TEST(Minimise1D, FollowsTheSteppingRulesOnAKink) {
    Search run = Minimise(FlatBottom(3.0, 0.0), 6.0, 0.0, 10.0);
    ASSERT_GE(run.points.size(), 6u);
    const std::vector<double> expected = {6.0, 6.6, 3.6, 0.0, 3.0, 2.4};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_CLOSE_ABS(run.points[i], expected[i], 1e-12);
    }
    EXPECT_EQ(run.result.termination, Termination::Converged);
    EXPECT_EQ(run.result.x, 3.0);
}

TEST(Minimise1D, StartCloserThanD0ToAnEndIsMovedD0FromIt) {
    struct Case {
        double x, lo, hi;
        double firstPoint;
    };
    const std::vector<Case> cases = {
        {1.0, 0.95, 20.0, 0.95 + (0.1 * 1.0 + 100.0 * kAbs)},
        {19.99, 0.0, 20.0, 20.0 - (0.1 * 19.99 + 100.0 * kAbs)},
        {-3.0, 0.0, 20.0, 0.0 + (0.1 * 3.0 + 100.0 * kAbs)},
        {5.0, 0.0, 20.0, 5.0},
        // Narrower than twice d0: the middle.
        {1.0, 0.98, 1.02, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        Search run = Minimise(Quadratic(7.0), c.x, c.lo, c.hi);
        ASSERT_FALSE(run.points.empty());
        EXPECT_CLOSE(run.points[0], c.firstPoint, 1e-15);
    }
}

// The set-up trial ties with the start and counts as an improvement; the first loop trial
// ties again and ends the search there, before any bracket.
TEST(Minimise1D, ConstantObjectiveStopsAtTheFirstTrialWithFlag2) {
    double d0 = 0.1 * 5.0 + 100.0 * kAbs;
    Search flat = Minimise(Linear(0.0), 5.0, 0.0, 8.0);
    EXPECT_EQ(flat.result.termination, Termination::TiedBeforeBracket);
    EXPECT_EQ(flat.result.count, 3);
    ASSERT_EQ(flat.points.size(), 3u);
    EXPECT_CLOSE(flat.points[1], 5.0 + d0, 1e-15);
    EXPECT_CLOSE(flat.points[2], 5.0 + 5.0 * d0, 1e-15);
    EXPECT_EQ(flat.result.x, flat.points[1]);
    EXPECT_EQ(flat.result.fx, 0.0);
    EXPECT_EQ(flat.result.lo, 5.0);
    EXPECT_EQ(flat.result.hi, 8.0);
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

TEST(Minimise1D, NonFiniteValuesRankAboveEveryFiniteValue) {
    // (z - 3)^2 above 2, a non-finite value below: the search from 6 evaluates the lower end.
    for (double value : {kNaN, kInf, -kInf}) {
        SCOPED_TRACE(value);
        Search run = Minimise(NonFinite(2.0, value), 6.0, 0.0, 10.0);
        EXPECT_EQ(run.result.termination, Termination::Converged);
        EXPECT_CLOSE_ABS(run.result.x, 3.0, 2.0 * (kRel * 3.0 + kAbs));
        EXPECT_EQ(run.result.fx, (run.result.x - 3.0) * (run.result.x - 3.0));
        EXPECT_NE(std::find(run.points.begin(), run.points.end(), 0.0), run.points.end());
    }
    // Non-finite everywhere: non-finite values tie with each other, and the search stops.
    Search nowhere = Minimise(NonFinite(100.0, kNaN), 5.0, 0.0, 10.0);
    EXPECT_EQ(nowhere.result.termination, Termination::TiedBeforeBracket);
    EXPECT_EQ(nowhere.result.count, 3);
    EXPECT_EQ(nowhere.result.fx, kInf);
}

// A trial equal to fx once bracketed: x stays, and the bracket closes on x from the side away
// from that trial, so that it keeps both tied points.
TEST(Minimise1D, EqualValueOnceBracketedEndsWithFlag1) {
    struct Case {
        double x;
        bool trialAbove;
    };
    for (const Case& c : {Case{0.5, true}, Case{8.0, false}}) {
        SCOPED_TRACE(c.x);
        Search run = Minimise(FlatBottom(3.0, 0.5), c.x, 0.0, 10.0);
        const Minimise1DResult& r = run.result;
        EXPECT_EQ(r.termination, Termination::TiedTrial);
        EXPECT_EQ(r.fx, 0.5);
        EXPECT_GE(r.x, 2.5);
        EXPECT_LE(r.x, 3.5);
        double trial = run.points.back();
        EXPECT_EQ(FlatBottom(3.0, 0.5)(trial), 0.5);
        EXPECT_EQ(trial > r.x, c.trialAbove);
        EXPECT_EQ(c.trialAbove ? r.lo : r.hi, r.x);
        EXPECT_GE(trial, r.lo);
        EXPECT_LE(trial, r.hi);
    }
}

}  // namespace
}  // namespace tamsel
