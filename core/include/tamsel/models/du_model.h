// The Duane model (model 2): the Poisson process with mean value function Alpha * t^Beta,
// fitted in closed form at each failure index.
#pragma once

#include <cstdint>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The fit at each failure index i >= 2 with T = t(i): Beta = i / (i ln T - sum ln t(j)),
// Alpha = i / T^Beta (so that Alpha * T^Beta = i); quartiles, MTTF and, for i < rangeEnd,
// Pdf and Cdf at x(i+1) of the time to the next event. Where that fit is undefined (i = 1,
// a cumulative time of 0 among t(1..i), or all of them equal) the record is that of the
// homogeneous process fitted to the same failures: Beta = 1, Alpha = i / T (kInfiniteQuartile for
// T = 0). x and t (failure-indexed, element 0 unused) must outlive the returned fit;
// rangeEnd <= N.
IndexFit PrepareDu(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd);

// Fits rangeStart..rangeEnd into estimates (see RunPrequential). settings are not used:
// the fit has a closed form.
EstimationResult EstimateDu(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// The distribution function at s of the time to the next event after T,
// 1 - exp(-Alpha ((T + s)^Beta - T^Beta)); survival receives the survival function. An
// exponent below -700 gives 1 and survival 0.
double CdfDu(double t, double s, double beta, double alpha, double& survival);

// The s at which CdfDu(T, s, ...) = p. A p outside [0, 1] gives 0; p = 1, and a quantile
// beyond the doubles, give kInfiniteQuartile.
double PercentileDu(double p, double t, double beta, double alpha);

// The mean time to the next event after the i-th, at T, for Alpha * T^Beta = i:
// e^i Gamma(a) Q(a, i) / (Beta Alpha^a) with a = 1 / Beta and Q the regularised upper
// incomplete gamma function; kInfiniteMttf where it is beyond the doubles. Where the gamma
// functions give no value it gives Crow's estimate T / (i Beta) with the fault
// MathFault::MttfGamma.
Guarded MttfDu(double beta, double alpha, std::int32_t i, double t);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveDu;

// The failure process at a stored fit.
extern const FailureProcess kProcessDu;

}  // namespace tamsel
