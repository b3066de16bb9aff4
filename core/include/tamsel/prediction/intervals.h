// 95 % intervals for a model's parameters at a stored fit. JM, MO and GO, whose fits profile
// one parameter, get profile-likelihood intervals; the others get Wald intervals from the
// observed information, on a log scale for parameters whose domain is positive.
// docs/models.md derives both.
#pragma once

#include <vector>

#include "tamsel/models/model_table.h"
#include "tamsel/models/predictive.h"
#include "tamsel/records/records.h"
#include "tamsel/records/termination.h"

namespace tamsel {

// The drop of the log-likelihood that bounds a 95 % profile interval: chi2_1(0.95) / 2.
inline constexpr double kProfileDrop = 1.920729410347062;
// The standard normal 97.5 % quantile of a 95 % Wald interval.
inline constexpr double kWaldQuantile = 1.959963984540054;

enum class IntervalMethod { ProfileLikelihood, ObservedInformation };

enum class IntervalStatus {
    Computed,
    // The fit is a limit, a boundary or singular: no finite interval exists.
    NoFiniteInterval,
    // The observed information is not positive definite (a flat likelihood at the fit).
    NoInformation,
};

// A side that the data do not bound is the end of the parameter's domain: 0 (or i - 1 for a
// number of faults N) below, -infinity for a parameter of any sign, +infinity above.
struct ParameterInterval {
    double estimate = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};

struct ParameterIntervals {
    IntervalMethod method = IntervalMethod::ProfileLikelihood;
    IntervalStatus status = IntervalStatus::Computed;
    // One per parameter of the model, in its order (Param1, Param2[, Param3]). Without a
    // computed interval each spans the whole domain.
    std::vector<ParameterInterval> parameters;
};

// The intervals of model at its fit at failure index fit.index (its parameters; the time is
// not used), from the interfailure times x and cumulative times t (failure-indexed, element 0
// unused, at least fit.index failures) and how that fit ended.
ParameterIntervals ParameterIntervalsAt(const ModelInfo& model, const FailureSeries& x,
                                        const FailureSeries& t, const StoredFit& fit,
                                        FitOutcome outcome);

}  // namespace tamsel
