// The Jelinski-Moranda model (model 1): N initial faults of equal hazard Lambda, so that the
// time between failures j-1 and j is exponential with rate (N - j + 1) * Lambda.
#pragma once

#include <cstdint>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The fit at each failure index i: Param1 = N (real), Param2 = Lambda, quartiles and
// MTTF = 1 / rate of the next interfailure time, rate = (N - i) * Lambda; Pdf and Cdf at
// x(i+1) for i < rangeEnd. Two limit cases are decided in closed form: all faults found
// (N = i, rate kVanishing, Cdf 0, Pdf kVanishing) and no fault reduction (N = kInfiniteFaults,
// Lambda = kVanishing, rate i / T); both store MTTF 0. A profile maximum that the minimiser
// places at N beyond kInfiniteFaults (or infinite) is the second case, one at N <= i the first.
// x and t (failure-indexed, element 0 unused) must outlive the returned fit;
// rangeEnd <= N.
IndexFit PrepareJM(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd into estimates (see RunPrequential).
EstimationResult EstimateJM(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// The negative profile log-likelihood in y = 1 / (N - n + r), up to terms free of y:
// -sum_{j=1..n} ln(1 + y (n + 1 - j - r)), where r = sum t(j) / t(n). Defined on
// [0, 1/r]; outside it, where a logarithm's argument is not positive, +infinity.
double ObjectiveJM(double y, std::int32_t n, double r);

// The p-quantile of the exponential distribution with this rate, -ln(1 - p) / rate. A p
// outside [0, 1] gives 0; p = 1 gives +infinity.
double PercentileJM(double p, double rate);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveJM;

// The failure process at a stored fit.
extern const FailureProcess kProcessJM;

}  // namespace tamsel
