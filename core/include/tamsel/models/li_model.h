// The Littlewood model (model 5): N faults whose rates are independent Gamma(Alpha, Beta)
// variables, so that their detection times are independent Pareto times with survival
// (Beta / (Beta + t))^Alpha in cumulative time.
#pragma once

#include <cstdint>
#include <span>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The negative profile log-likelihood of failures 1..n (cumulative times t, failure-indexed,
// observed up to t(n)) at N - n = p[0]^2, Beta = p[1]^2, with Alpha at its maximising value
// for that N and Beta; it includes the continuous falling factorial N (N - 1) ... (N - n + 1).
// Fills g with the gradient in p and a non-empty h with the Hessian (row-major). An arithmetic
// fault (Beta = 0, an overflow) gives 1e100 and a zero gradient, never a NaN.
double ObjectiveLi(std::span<const double> p, std::span<double> g, std::int32_t n,
                   const FailureSeries& t, std::span<double> h = {});

// ObjectiveLi's value at every point (points[k0], points[k1]) into
// values[k0 * points.size() + k1], bit for bit, at the cost of one pass over the times for
// each Beta.
void GridLi(std::span<const double> points, std::int32_t n, const FailureSeries& t,
            std::span<double> values);

// The record at failure index i for the fitted N - i = remaining >= 0 and Beta > 0:
// Param1 = N, Param2 = Alpha (profile value), Param3 = Beta; the quartiles and MTTF of the
// next interfailure time, Pareto with shape a = (N - i) Alpha and scale b = Beta + t(i)
// (MTTF b / (a - 1), or kInfiniteMttf when a <= 1); Pdf and Cdf at x(i+1) for i < rangeEnd.
EstimateRecord RecordLi(const FailureSeries& x, const FailureSeries& t, std::int32_t i,
                        std::int32_t rangeEnd, double remaining, double beta);

// The fit at each failure index i from (p1, p2) = (10, 10) inside |p| <= 1e7 (see
// RecordLi). x and t (failure-indexed, element 0 unused) must outlive the returned fit;
// rangeEnd <= N.
IndexFit PrepareLi(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd into estimates (see RunPrequential).
EstimationResult EstimateLi(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// The p-quantile b ((1 - p)^(-1/a) - 1) of the next interfailure time for shape a > 0 and
// scale b > 0. A p outside [0, 1] gives 0; p = 1, and a quantile beyond the doubles, give
// kInfiniteQuartile.
double PercentileLi(double p, double a, double b);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveLi;

// The failure process at a stored fit.
extern const FailureProcess kProcessLi;

}  // namespace tamsel
