// The Littlewood-Verrall model (model 7): the j-th interfailure time is exponential with a
// Gamma(Alpha, psi(j)) rate, psi(j) = Beta1 + Beta2 j, so that it has the Pareto density
// Alpha psi^Alpha / (psi + x)^(Alpha + 1).
#pragma once

#include <cstdint>
#include <span>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The negative profile log-likelihood of the interfailure times x(1..n), n >= 2, with psi on
// the line through psi(1) = A = p[0]^2 + eps and psi(n) = B = p[1]^2 + eps and Alpha at its
// maximising value. Fills g with the gradient in p and a non-empty h with the Hessian (row-major).
// An arithmetic fault gives 1e100 and a zero gradient, never a NaN.
double ObjectiveLV(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                   const FailureSeries& x, std::span<double> h = {});

// ObjectiveLV's value at every point (points[k0], points[k1]) into
// values[k0 * points.size() + k1], bit for bit, without its derivatives.
void GridLV(std::span<const double> points, std::int32_t n, double eps, const FailureSeries& x,
            std::span<double> values);

// The record at failure index i >= 2 for the fitted window ends A = psi(1) > 0 and
// B = psi(i) > 0: Param1 = Alpha (profile value), Param2 = Beta1 = A - Beta2,
// Param3 = Beta2 = (B - A) / (i - 1); the next interfailure time is Pareto with shape Alpha
// and scale Beta1 + Beta2 i of the stored parameters, B to within rounding (quartiles,
// MttfLV), with Pdf and Cdf at x(i+1) for i < rangeEnd.
EstimateRecord RecordLV(const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd, double first,
                        double last);

// The fit at each failure index i >= 2 from (p1, p2) = (10, 10) inside |p| <= 1e7, with eps
// the settings' absolute precision (see RecordLV). A range that starts at failure 1 cannot
// be fitted: the window needs two failures. x (failure-indexed, element 0 unused) must
// outlive the returned fit; rangeEnd <= N.
IndexFit PrepareLV(const FailureSeries& x, std::int32_t rangeEnd,
                   const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd, rangeStart >= 2, into estimates (see RunPrequential).
EstimationResult EstimateLV(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// psi / (Alpha - 1), or kInfiniteMttf when Alpha <= 1 (the mean is infinite).
double MttfLV(double alpha, double psi);

// The p-quantile psi ((1 - p)^(-1/Alpha) - 1). A p outside [0, 1] gives 0; p = 1, and a quantile
// beyond the doubles, give kInfiniteQuartile.
double PercentileLV(double p, double psi, double alpha);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveLV;

// The failure process at a stored fit.
extern const FailureProcess kProcessLV;

}  // namespace tamsel
