// The Littlewood NHPP model (model 6): the Poisson process with mean value function
// m(t) = Mu (1 - (Beta / (Beta + t))^Alpha) in cumulative time.
#pragma once

#include <cstdint>
#include <span>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The negative log-likelihood -(sum ln lambda(t(j)) - m(T)) of failures 1..n observed up to
// end = T (cumulative times t, failure-indexed) at Mu - n = p[0]^2 + eps,
// Beta = p[1]^2 + eps, with Alpha solved from m(T) = n. Fills g with the gradient in p and a
// non-empty h with the Hessian (row-major). An arithmetic fault gives 1e100 and a zero gradient,
// never a NaN.
double ObjectiveLNHPP(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                      double end, const FailureSeries& t, std::span<double> h = {});

// ObjectiveLNHPP's value, the window ending at t(n), at every point (points[k0], points[k1])
// into values[k0 * points.size() + k1], bit for bit, at the cost of one pass over the times for
// each Beta.
void GridLNHPP(std::span<const double> points, std::int32_t n, double eps, const FailureSeries& t,
               std::span<double> values);

// The record at failure index i for the fitted Mu - i = remaining > 0 and Beta > 0, with
// T = t(i): Param1 = Mu, Param2 = Alpha (from m(T) = i), Param3 = Beta; the quartiles of the
// next interfailure time (PercentileLNHPP), MTTF from MttfLNHPP, and Pdf and Cdf at x(i+1)
// for i < rangeEnd. The next interfailure time is defective: with probability e^(-(Mu - i))
// no further failure occurs.
EstimateRecord RecordLNHPP(const FailureSeries& x, const FailureSeries& t, std::int32_t i,
                           std::int32_t rangeEnd, double remaining, double beta);

// The fit at each failure index i from (p1, p2) = (100, 1000) inside |p| <= 1e7, with eps
// the settings' absolute precision (see RecordLNHPP). x and t (failure-indexed, element 0
// unused) must outlive the returned fit; rangeEnd <= N.
IndexFit PrepareLNHPP(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                      const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd into estimates (see RunPrequential).
EstimationResult EstimateLNHPP(const FailureSeries& x, const FailureSeries& t,
                               std::int32_t rangeStart, std::int32_t rangeEnd,
                               const MinimisationSettings& settings, EstimatesArray& estimates,
                               const RunControl& control);

// The mean time to the next failure after T for intensity lambda at T, to first order and
// conditioned on a further failure occurring: with M = (Beta + T) lambda / Alpha the expected
// number of further failures and r = (1 + 1 / Alpha) / M, (1 + r) / (lambda D) where
// D = 1 - e^(-M) (1 when M >= 700); 0 (no mean reported) when r >= 1.
double MttfLNHPP(double lambda, double alpha, double beta, double end);

// The p-quantile of the time to the next failure after T = end for the fit (Alpha, Beta, Mu):
// (T + Beta) (v^(-1/Alpha) - 1) with v = 1 + ln(1 - p) (1 + T / Beta)^Alpha / Mu. It is
// kInfiniteQuartile where v <= 0, that is for p at or beyond 1 - e^(-M), the probability that a
// further failure occurs at all, and where the quantile is beyond the doubles. A p
// outside [0, 1] gives 0.
double PercentileLNHPP(double p, double end, double alpha, double beta, double mu);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveLNHPP;

// The failure process at a stored fit.
extern const FailureProcess kProcessLNHPP;

}  // namespace tamsel
