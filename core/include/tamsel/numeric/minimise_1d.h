// Bounded one-dimensional minimisation.
#pragma once

#include <cstdint>

#include "tamsel/numeric/function_ref.h"
#include "tamsel/records/termination.h"

namespace tamsel {

// The bracket returned with each termination: Converged, [lo, hi] holds x and reaches no
// further than 2 tol from it on either side; TiedTrial, the bracket closed at x on the side
// away from the tied trial, so it holds both tied points; TiedBeforeBracket and
// IterationBudget, the bracket so far; BudgetBeforeBracket, lo and hi as passed in.
struct Minimise1DResult {
    double x;            // best point
    double fx;           // objective at x (+infinity where it was not finite)
    double lo, hi;       // the final bracket, see above
    std::int32_t count;  // objective evaluations made
    Termination termination;
};

using Objective1D = FunctionRef<double(double)>;

// Minimises f over [lo, hi] (lo < hi) from the starting point x, by expanding trial steps
// until the minimum is bracketed, then parabolic interpolation safeguarded by a two-sided
// step rule. The tolerance is tol = relativePrecision * |x| + absolutePrecision. maxIter is
// the evaluation budget, first checked after the third evaluation, so at least three are
// always made. Every evaluated and returned point lies in [lo, hi]. A non-finite objective
// value counts as larger than every finite value, and two non-finite values as equal. Never
// reports an error: budget exhaustion is a termination.
Minimise1DResult Minimise1D(Objective1D f, double x, double lo, double hi, double relativePrecision,
                            double absolutePrecision, std::int32_t maxIter);

// Minimises f over [lo, hi] where it may have several local minima: evaluates f at intervals + 1
// equally spaced points and refines the lowest with Minimise1D between its neighbours. The
// count includes the grid's evaluations. Requires lo < hi and intervals >= 2.
Minimise1DResult GridMinimise1D(Objective1D f, double lo, double hi, std::int32_t intervals,
                                double relativePrecision, double absolutePrecision,
                                std::int32_t maxIter);

}  // namespace tamsel
