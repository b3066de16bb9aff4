#include "tamsel/prediction/forecast.h"

#include <limits>

#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A stored sentinel read back as what it stands for.
double Quantile(const Predictive& predictive, const StoredFit& fit, double p) {
    const double q = predictive.limitQuantile(fit).value_or(predictive.quantile(fit, p));
    if (q >= kInfiniteQuartile) return kInfinity;
    if (q <= kVanishing) return 0.0;
    return q;
}

std::optional<double> Mean(const Predictive& predictive, const StoredFit& fit) {
    const double mean = predictive.mean(fit);
    if (mean == kNoMttf) return std::nullopt;
    if (mean >= kInfiniteMttf) return kInfinity;
    return mean;
}

}  // namespace

Forecast ForecastAt(const ModelInfo& model, const StoredFit& fit, const ForecastRequest& request) {
    const Predictive& predictive = *model.predictive;
    const FailureProcess& process = *model.process;
    Forecast forecast;
    forecast.intensity = process.intensity(fit);
    forecast.mttf = Mean(predictive, fit);
    const double tail = (1.0 - kForecastInterval) / 2.0;
    forecast.median = Quantile(predictive, fit, 0.5);
    forecast.lower = Quantile(predictive, fit, tail);
    forecast.upper = Quantile(predictive, fit, 1.0 - tail);
    if (request.mission) {
        forecast.reliability = process.reliability(fit, *request.mission);
        if (process.expectedFailures) {
            forecast.expectedFailures = process.expectedFailures(fit, *request.mission);
        }
    }
    forecast.countsFaults = process.faultsRemaining != nullptr;
    if (forecast.countsFaults) forecast.faultsRemaining = process.faultsRemaining(fit);
    if (request.targetIntensity) forecast.target = process.reach(fit, *request.targetIntensity);
    return forecast;
}

}  // namespace tamsel
