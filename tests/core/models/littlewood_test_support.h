// Helpers for the model tests: the Pareto likelihood of the Littlewood-Verrall and
// Keiller-Littlewood models, finite differences, and standard errors from the observed
// information.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "model_test_support.h"
#include "tamsel/models/model_table.h"

namespace tamsel::test {

// The value at j of the line through (1, first) and (n, last).
double OnLine(std::int32_t j, std::int32_t n, double first, double last);

// ln L of x(1..n) from Pareto densities (s / b) (1 + x / b)^-(s + 1) with shape s = shape(j) and
// scale b = scale(j): the Littlewood-Verrall (scale on a line) and Keiller-Littlewood (1 / shape
// on a line) models.
double ParetoLogLikelihood(const FailureSeries& x, std::int32_t n,
                           const std::function<double(std::int32_t)>& shape,
                           const std::function<double(std::int32_t)>& scale);

// The central difference of f in each coordinate of p, with step relStep * |p[k]|.
std::array<double, 2> CentralDifference(const std::function<double(std::span<const double>)>& f,
                                        std::array<double, 2> p, double relStep);

// The standard errors of an estimate theta: square roots of the diagonal of the inverse of
// the central-difference Hessian of the negative log-likelihood at theta.
std::vector<double> StandardErrors(const std::function<double(std::span<const double>)>& nll,
                                   const std::vector<double>& theta);

}  // namespace tamsel::test
