// The Goel-Okumoto model (model 4): the Poisson process with mean value function
// Mu (1 - e^(-Phi t)), with its homogeneous limit where the data show no reliability growth.
#pragma once

#include <cstdint>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// The fit at each failure index i with T = t(i) and m = sum t(j) / i, the likelihood's global
// maximum (LogLhd). Where T / 2 <= m (no growth) the homogeneous limit: Mu = kInfiniteFaults,
// Phi = 0, Param3 = rate i / T, exponential predictions with MTTF T / i. Otherwise the one
// interior maximum, Mu = i / (1 - e^(-Phi T)), MTTF kInfiniteMttf (the predictive distribution
// is defective). x and t (failure-indexed, element 0 unused) must outlive the returned fit;
// rangeEnd <= N. The settings are not used: the maximum is a root found to full precision.
IndexFit PrepareGO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings);

// Fits rangeStart..rangeEnd into estimates (see RunPrequential).
EstimationResult EstimateGO(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control);

// The distribution function at s of the time to the next failure after T; survival
// receives 1 minus it. An exponent below -700 gives 1 and survival 0.
double CdfGO(double t, double s, double phi, double mu, double& survival);

// The p-quantile of that time: kInfiniteQuartile where the defective distribution never reaches p.
// A p outside [0, 1] gives 0.
double PercentileGO(double p, double phi, double t, double mu);

// The exponential distribution of the homogeneous limit: distribution function (1 for an
// exponent below -700) and p-quantile (kInfiniteQuartile for rate <= kVanishing; 0 for p outside
// [0, 1]).
double CdfHpp(double s, double rate);
double PercentileHpp(double p, double rate);

// The predictive distribution at a stored fit.
extern const Predictive kPredictiveGO;

// The failure process at a stored fit.
extern const FailureProcess kProcessGO;

}  // namespace tamsel
