// The Musa-Okumoto logarithmic Poisson model (model 3): mean value function
// beta0 ln(1 + t / a) and intensity beta0 / (a + t) in cumulative time t.
#pragma once

#include <cstdint>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The fit at each failure index i with T = t(i): theta* minimises ObjectiveMO over
// [theta0, 1e8] with theta0 = sqrt(T / (e^i - 1)), the theta at which beta0 is 1;
// Param1 = a = theta*^2, Param2 = beta0 = i / ln(1 + T / a); MTTF (a + T) / (beta0 - 1)
// where beta0 > 1, else kInfiniteMttf. theta0 is computed without overflow for any i. x and t
// (failure-indexed, element 0 unused) must outlive the returned fit; rangeEnd <= N.
IndexFit PrepareMO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd into estimates (see RunPrequential).
EstimationResult EstimateMO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// The negative profile log-likelihood of failures 1..n observed up to T, for a = theta^2, up
// to terms free of theta: sum_{j=1..n} ln(theta^2 + t(j)) + n ln(ln(1 + T / theta^2)).
// Where a step would fail (theta = 0 with t(j) = 0) theta is nudged up by 2e-16; the value is
// finite for every theta >= 0 when T > 0.
double ObjectiveMO(double theta, std::int32_t n, double t, const FailureSeries& cumulative);

// The p-quantile of the time to the next failure after T: (a + T)((1 - p)^(-1/beta0) - 1),
// computed without cancellation for any beta0. A p outside [0, 1] gives 0; p = 1, and a quantile
// beyond the doubles, give kInfiniteQuartile.
double PercentileMO(double p, double a, double t, double beta0);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveMO;

// The failure process at a stored fit.
extern const FailureProcess kProcessMO;

}  // namespace tamsel
