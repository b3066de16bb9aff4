// Helpers for the tests of the Littlewood family of models: their likelihoods, finite
// differences, standard errors from the observed information (for every model), and an
// independent likelihood search (a grid, then Nelder-Mead) that checks the stored fits are
// maxima.
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

// ln L of failures 1..n of the Littlewood model: the j-th detection is one of the N - j + 1
// faults still present, each found at t with density (alpha / beta) (1 + t / beta)^-(alpha + 1),
// and the N - n faults left survive t(n).
double LiLogLikelihood(const FailureSeries& t, std::int32_t n, double remaining, double alpha,
                       double beta);

// ln L = sum ln lambda(t_j) - m(T) of failures 1..n of the Littlewood NHPP observed up to
// T = t(n), with lambda(t) = mu (alpha / beta) (1 + t / beta)^-(alpha + 1) and
// m(T) = mu (1 - (1 + T / beta)^-alpha).
double LnhppLogLikelihood(const FailureSeries& t, std::int32_t n, double mu, double alpha,
                          double beta);

// ln L of x(1..n) from Pareto densities (s / b) (1 + x / b)^-(s + 1) with shape s = shape(j) and
// scale b = scale(j): the Littlewood-Verrall (scale on a line) and Keiller-Littlewood (1 / shape
// on a line) models.
double ParetoLogLikelihood(const FailureSeries& x, std::int32_t n,
                           const std::function<double(std::int32_t)>& shape,
                           const std::function<double(std::int32_t)>& scale);

// The central difference of f in each coordinate of p, with step relStep * |p[k]|.
std::array<double, 2> CentralDifference(const std::function<double(std::span<const double>)>& f,
                                        std::array<double, 2> p, double relStep);

using Point3 = std::array<double, 3>;
using Function3 = std::function<double(const Point3&)>;

// Nelder-Mead minimum of f from start with initial simplex edges step, stopping after
// maxEvaluations or when the simplex values agree to 1e-13 relative.
Point3 NelderMead(const Function3& f, Point3 start, double step, int maxEvaluations);

// The standard errors of an estimate theta: square roots of the diagonal of the inverse of
// the central-difference Hessian of the negative log-likelihood at theta.
std::vector<double> StandardErrors(const std::function<double(std::span<const double>)>& nll,
                                   const std::vector<double>& theta);

}  // namespace tamsel::test
