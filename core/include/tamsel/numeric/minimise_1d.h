// Bounded one-dimensional minimisation of a registered objective.
#pragma once

#include <cstdint>

#include "tamsel/numeric/objective.h"

namespace tamsel {

// Termination codes of Minimise1D (the flag member of its result), with the bracket returned:
//   0  converged: [lo, hi] holds x and reaches no further than 2 tol from it on either side
//   1  a trial value equalled fx exactly once the minimum was bracketed; the bracket is closed
//      at x on the side away from that trial, so it holds both tied points
//   2  a trial value equalled fx exactly before any bracket was found; the bracket so far
//   3  the evaluation budget ran out while the minimum was bracketed; the bracket
//   4  the evaluation budget ran out before any bracket was found; lo, hi as passed in
struct Minimise1DResult {
    double x;            // best point
    double fx;           // objective at x (+infinity where it was not finite)
    double lo, hi;       // the final bracket, see termination codes
    std::int32_t count;  // objective evaluations made
    int flag;            // termination code 0..4
};

// Minimises Objective1D(code, ., data) over [lo, hi] (lo < hi) from the starting point x, by
// expanding trial steps until the minimum is bracketed, then parabolic interpolation
// safeguarded by a two-sided step rule. The tolerance is tol = relativePrecision * |x| +
// absolutePrecision. maxIter is the evaluation budget, first checked after the third
// evaluation, so at least three are always made. Every evaluated and returned point lies in
// [lo, hi]. A non-finite objective value counts as larger than every finite value, and two
// non-finite values as equal. Never reports an error: budget exhaustion is a termination code.
Minimise1DResult Minimise1D(double x, double lo, double hi, double relativePrecision,
                            double absolutePrecision, std::int32_t maxIter, int code,
                            const ObjectiveData& data);

}  // namespace tamsel
