// Forecasts from a stored fit: what the model says at failure n about the next failure, a
// mission ahead, the faults left and a reliability target. docs/models.md derives each one.
#pragma once

#include <optional>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/model_table.h"
#include "tamsel/models/predictive.h"
#include "tamsel/prediction/intervals.h"
#include "tamsel/recalibration/cub_spl.h"

namespace tamsel {

struct ForecastRequest {
    std::optional<double> mission;  // a mission time t > 0
    // A target failure intensity > 0; a target MTTF M is the intensity 1 / M.
    std::optional<double> targetIntensity;
};

// Times and means are +infinity where infinite (never stored, only shown). What a forecast
// does not define is nothing.
struct Forecast {
    std::optional<double> intensity;
    // The mean of the next interfailure time; nothing where the model reports none.
    std::optional<double> mttf;
    double median = 0.0;
    double lower = 0.0;  // the 5 % quantile of the next interfailure time
    double upper = 0.0;  // the 95 % quantile
    // With a mission: the probability of no failure in it, and the expected failures in it
    // where the model counts failures beyond the next.
    std::optional<double> reliability;
    std::optional<double> expectedFailures;
    // Whether the model has a fault content, and then the expected faults left (nothing when
    // unbounded).
    bool countsFaults = false;
    std::optional<double> faultsRemaining;
    std::optional<TargetReach> target;
};

// The probability of the central forecast interval of the next interfailure time.
inline constexpr double kForecastInterval = 0.90;

// The forecast of model at its stored fit.
Forecast ForecastAt(const ModelInfo& model, const StoredFit& fit, const ForecastRequest& request);

// The 95 % intervals of a raw forecast's quantities; nothing where the quantity is not part of
// the forecast or has no interval. The time to the target counts "reached" as 0 and "never"
// as +infinity, and faults remaining count "unbounded" as +infinity.
struct ForecastIntervals {
    std::optional<QuantityInterval> intensity;
    std::optional<QuantityInterval> mttf;
    std::optional<QuantityInterval> median;
    std::optional<QuantityInterval> reliability;
    std::optional<QuantityInterval> expectedFailures;
    std::optional<QuantityInterval> faultsRemaining;
    std::optional<QuantityInterval> targetTime;
};

// The intervals of the forecast of model at fit (request as for ForecastAt) over the region of
// its parameters there.
ForecastIntervals ForecastIntervalsAt(const ModelInfo& model, const StoredFit& fit,
                                      const LikelihoodRegion& region,
                                      const ForecastRequest& request);

// The next failure after a recalibrated prediction: model's predictive distribution at its
// stored fit passed through the recalibrating function g.
PredictivePoint RecalibratedAt(const ModelInfo& model, const StoredFit& fit,
                               const RecalibratingFunction& g, double s);

// The forecast of a recalibrated prediction, which recalibrates the next interfailure time
// only: its median, interval and the reliability over the mission; nothing else is defined.
Forecast RecalibratedForecastAt(const ModelInfo& model, const StoredFit& fit,
                                const RecalibratingFunction& g, const ForecastRequest& request);

}  // namespace tamsel
