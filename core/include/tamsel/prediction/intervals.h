// 95 % intervals for a model's parameters at a stored fit. JM, MO and GO, whose fits profile
// one parameter, get profile-likelihood intervals; the others get Wald intervals from the
// observed information, on a log scale for parameters whose domain is positive.
// docs/models.md derives both.
#pragma once

#include <array>
#include <optional>
#include <span>
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

// The step of a working coordinate (relative, at least absolute) for the delta method's
// differences.
inline constexpr double kQuantityStep = 1e-4;

using ParameterPoint = std::array<double, 3>;  // Param1, Param2, Param3

// What the likelihood says about a model's parameters, for intervals of any quantity derived
// from them. points[0] is the estimate. With the profile likelihood the other points lie on the
// boundary of the 95 % likelihood-ratio region {l >= max l - kProfileDrop} (where the data do
// not bound it, at the far end of the search), so a quantity's interval is its range over
// them. With the observed information they are the estimate's neighbours one step above and
// below in each working coordinate k (points[1 + 2k], points[2 + 2k]), and covariance is the
// inverse observed information in those coordinates.
struct LikelihoodRegion {
    IntervalMethod method = IntervalMethod::ProfileLikelihood;
    int parameters = 2;
    std::vector<ParameterPoint> points;
    std::array<double, 3> steps{};
    std::array<std::array<double, 3>, 3> covariance{};
};

// The scale the delta method works on: log for a positive quantity, logit for a probability.
enum class QuantityScale { Log, Logit };

struct QuantityInterval {
    double lower = 0.0;
    double upper = 0.0;  // +infinity where unbounded
};

// The 95 % interval of a quantity from its values at region.points (+infinity allowed;
// nothing where it is not defined). Nothing when it is not defined at the estimate, or, for
// the observed information, when a value lies outside the scale's domain (0, 1 or infinity).
std::optional<QuantityInterval> QuantityIntervalOf(const LikelihoodRegion& region,
                                                   std::span<const std::optional<double>> values,
                                                   QuantityScale scale);

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
    // With Computed: where the intervals of derived quantities come from.
    std::optional<LikelihoodRegion> region;
};

// The intervals of model at its fit at failure index fit.index (its parameters; the time is
// not used), from the interfailure times x and cumulative times t (failure-indexed, element 0
// unused, at least fit.index failures) and how that fit ended.
ParameterIntervals ParameterIntervalsAt(const ModelInfo& model, const FailureSeries& x,
                                        const FailureSeries& t, const StoredFit& fit,
                                        FitOutcome outcome);

}  // namespace tamsel
