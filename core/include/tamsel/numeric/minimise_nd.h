// The bounded modified-Newton minimiser that the three-parameter models use.
#pragma once

#include <cstdint>
#include <vector>

#include "tamsel/numeric/objective.h"

namespace tamsel {

struct MinimiseNDResult {
    std::vector<double> x;         // the best point
    double fx = 0.0;               // objective at x
    int flag = 1;                  // 0 converged, 1 stopped on the evaluation budget
    std::int32_t iterations = 0;   // Newton iterations made
    std::int32_t evaluations = 0;  // objective evaluations made
};

// Minimises ObjectiveND(code, ., ., data) over the box |x[k]| <= b[k] from the start x
// (n = x.size() variables, b of the same size, every b[k] > 0). The objective must fill its
// analytic gradient and be symmetric in the sign of each variable: the minimiser reflects
// negative coordinates when it reaches a boundary.
//
// Each iteration takes a finite-difference Hessian of the gradient (n objective calls that
// are not counted as evaluations), factorises it by a modified Cholesky method that keeps it
// positive definite, and searches along the Newton direction, or along a direction of
// negative curvature where the gradient vanishes at a saddle, inside the box.
//
// absolutePrecision is the small-pivot threshold of the factorisation and, through its
// square root, the shortest step worth taking; eta is the line search's accuracy (it stops
// once the slope has shrunk to eta times the initial slope); the search has converged when
// the squared gradient norm is below tolerance^2 at a point of positive curvature. It stops
// with flag 1 as soon as 2 * (iterations + evaluations) exceeds maxIter, returning the best
// point found. A start on or outside the box is moved inside before the first evaluation.
// A non-finite objective value counts as worse than every finite one.
MinimiseNDResult MinimiseND(std::vector<double> x, const std::vector<double>& b,
                            double absolutePrecision, double eta, double tolerance,
                            std::int32_t maxIter, int code, const ObjectiveData& data);

}  // namespace tamsel
