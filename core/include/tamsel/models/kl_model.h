// The Keiller-Littlewood model (model 8): the j-th interfailure time is exponential with a
// Gamma rate of scale Beta and shape s(j), 1 / s(j) = Alpha1 + Alpha2 j, so that it has the
// Pareto density s Beta^s / (Beta + x)^(s + 1).
#pragma once

#include <cstdint>
#include <span>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The negative profile log-likelihood of the interfailure times x(1..n), n >= 2, with
// 1 / s(j) running linearly from 1 / s(1) to A / s(1) at j = n, A = p[0]^2 + eps,
// Beta = p[1]^2 + eps, and 1 / s(1) at its maximising value. Fills g with the gradient in p and a
// non-empty h with the Hessian (row-major). An arithmetic fault gives 1e100 and a zero gradient,
// never a NaN.
double ObjectiveKL(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                   const FailureSeries& x, std::span<double> h = {});

// ObjectiveKL's value at every point (points[k0], points[k1]) into
// values[k0 * points.size() + k1], bit for bit, without its derivatives and with its
// logarithms taken once for each value of a variable.
void GridKL(std::span<const double> points, std::int32_t n, double eps, const FailureSeries& x,
            std::span<double> values);

// The record at failure index i >= 2 for the fitted ratio A = s(1) / s(i) > 0 and Beta > 0:
// Param1 = Alpha1, Param2 = Alpha2 = (A - 1) / s(1) / (i - 1) (0 for A = 1), Param3 = Beta;
// the next interfailure time is Pareto with shape s = s(i) and scale Beta (quartiles,
// MttfKL), with Pdf and Cdf at x(i+1) for i < rangeEnd.
EstimateRecord RecordKL(const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd, double ratio,
                        double beta);

// The fit at each failure index i >= 2 from (p1, p2) = (1, 1) inside |p| <= 1e7, with eps
// the settings' absolute precision (see RecordKL). A range that starts at failure 1 cannot
// be fitted: the window needs two failures. x (failure-indexed, element 0 unused) must
// outlive the returned fit; rangeEnd <= N.
IndexFit PrepareKL(const FailureSeries& x, std::int32_t rangeEnd,
                   const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd, rangeStart >= 2, into estimates (see RunPrequential).
EstimationResult EstimateKL(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// Beta / (s - 1), or kInfiniteMttf when s <= 1 (the mean is infinite).
double MttfKL(double s, double beta);

// The p-quantile Beta ((1 - p)^(-1/s) - 1). A p outside [0, 1] gives 0; p = 1, and a quantile
// beyond the doubles, give kInfiniteQuartile.
double PercentileKL(double p, double beta, double s);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveKL;

// The failure process at a stored fit.
extern const FailureProcess kProcessKL;

}  // namespace tamsel
