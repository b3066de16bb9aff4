#include "tamsel/prediction/forecast.h"

#include <algorithm>
#include <limits>

#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kLowerTail = (1.0 - kForecastInterval) / 2.0;

// A stored sentinel read back as what it stands for.
double Quantile(const Predictive& predictive, const StoredFit& fit, double p) {
    if (p <= 0.0) return 0.0;
    const double q = predictive.limitQuantile(fit).value_or(predictive.quantile(fit, p));
    if (q >= kInfiniteQuartile) return kInfinity;
    if (q <= kVanishing) return 0.0;
    return q;
}

// The p-quantile read at the raw level q.
double QuantileAtLevel(const Predictive& predictive, const StoredFit& fit, double q) {
    return Quantile(predictive, fit, std::clamp(q, 0.0, 1.0));
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
    forecast.median = Quantile(predictive, fit, 0.5);
    forecast.lower = Quantile(predictive, fit, kLowerTail);
    forecast.upper = Quantile(predictive, fit, 1.0 - kLowerTail);
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

PredictivePoint RecalibratedAt(const ModelInfo& model, const StoredFit& fit,
                               const RecalibratingFunction& g, double s) {
    const PredictivePoint raw = model.predictive->at(fit, s);
    return {g.Cdf(raw.cdf), g.Pdf(raw.cdf, raw.pdf)};
}

Forecast RecalibratedForecastAt(const ModelInfo& model, const StoredFit& fit,
                                const RecalibratingFunction& g, const ForecastRequest& request) {
    const Predictive& predictive = *model.predictive;
    Forecast forecast;
    forecast.median = QuantileAtLevel(predictive, fit, g.Level(0.5));
    forecast.lower = QuantileAtLevel(predictive, fit, g.Level(kLowerTail));
    forecast.upper = QuantileAtLevel(predictive, fit, g.Level(1.0 - kLowerTail));
    if (request.mission) {
        forecast.reliability = 1.0 - RecalibratedAt(model, fit, g, *request.mission).cdf;
    }
    return forecast;
}

}  // namespace tamsel
