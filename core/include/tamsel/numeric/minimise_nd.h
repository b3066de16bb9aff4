// The bounded modified-Newton minimiser that the three-parameter models use.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tamsel/numeric/function_ref.h"
#include "tamsel/records/termination.h"

namespace tamsel {

struct MinimiseNDResult {
    std::vector<double> x;                                   // the best point
    double fx = 0.0;                                         // objective at x
    Termination termination = Termination::IterationBudget;  // see MinimiseND
    std::int32_t iterations = 0;                             // Newton iterations made
    std::int32_t evaluations = 0;                            // objective evaluations made
};

// f(x) of a multi-variable objective, filling its gradient g (the size of x; both 0-based).
using ObjectiveND = FunctionRef<double(std::span<const double> x, std::span<double> g)>;
// The same, filling also its Hessian h (n x n, row-major).
using ObjectiveHessianND =
    FunctionRef<double(std::span<const double> x, std::span<double> g, std::span<double> h)>;

// Minimises f over the box |x[k]| <= b[k] from the start x
// (n = x.size() variables, b of the same size, every b[k] > 0). The objective must fill its
// analytic gradient and be symmetric in the sign of each variable: the minimiser reflects
// negative coordinates when its steps stall, as they do at a bound.
//
// Each iteration takes a finite-difference Hessian of the gradient (n objective calls that
// are not counted as evaluations), factorises it by a modified Cholesky method that keeps it
// positive definite, and searches along the Newton direction, or along a direction of
// negative curvature where the gradient vanishes at a saddle, inside the box.
//
// absolutePrecision is the small-pivot threshold of the factorisation and, through its
// square root, the shortest step worth taking; eta is the line search's accuracy (it stops
// once the slope has shrunk to eta times the initial slope). It ends Converged,
// IterationBudget (2 * (iterations + evaluations) exceeded maxIter), NonFiniteGradient or
// NoLowerPoint; the best point found is returned in every case. A start on or outside the box is
// moved inside before the first evaluation. A non-finite objective value counts as worse than every
// finite one. Throws std::invalid_argument when x is empty or b is not of its size.
MinimiseNDResult MinimiseND(ObjectiveND f, std::vector<double> x, const std::vector<double>& b,
                            double absolutePrecision, double eta, double tolerance,
                            std::int32_t maxIter);

// The same with the objective's own Hessian in place of the finite differences: each
// iteration then costs no further calls.
MinimiseNDResult MinimiseND(ObjectiveHessianND f, std::vector<double> x,
                            const std::vector<double>& b, double absolutePrecision, double eta,
                            double tolerance, std::int32_t maxIter);

}  // namespace tamsel
