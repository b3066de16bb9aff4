#include "tamsel/prediction/forecast.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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

// The median of the next interfailure time at fit's parameters, by bisection on its
// distribution function from near start: what a run stores with them, and what some models'
// quantiles start from.
double MedianAt(const Predictive& predictive, const StoredFit& fit, double start) {
    auto below = [&](double s) { return predictive.at(fit, s).cdf < 0.5; };
    double low = start > 0.0 && std::isfinite(start) ? start : 1.0;
    double high = low;
    while (!below(low) && low > 1e-300) low *= 0.5;
    while (below(high)) {
        if (high > 1e300) return kInfiniteQuartile;
        high *= 2.0;
    }
    for (int iteration = 0; iteration < 200; ++iteration) {
        const double middle = 0.5 * (low + high);
        if (middle == low || middle == high) break;
        (below(middle) ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

std::optional<double> TargetTime(const Forecast& forecast) {
    if (!forecast.target) return std::nullopt;
    switch (forecast.target->status) {
        case TargetReach::Status::Reached:
            return 0.0;
        case TargetReach::Status::Never:
            return kInfinity;
        case TargetReach::Status::After:
            break;
    }
    return forecast.target->time;
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

ForecastIntervals ForecastIntervalsAt(const ModelInfo& model, const StoredFit& fit,
                                      const LikelihoodRegion& region,
                                      const ForecastRequest& request) {
    std::vector<Forecast> forecasts;
    forecasts.reserve(region.points.size());
    for (const ParameterPoint& p : region.points) {
        StoredFit at = fit;
        at.param1 = p[0];
        at.param2 = p[1];
        at.param3 = p[2];
        if (p != region.points.front()) at.median = MedianAt(*model.predictive, at, fit.median);
        forecasts.push_back(ForecastAt(model, at, request));
    }
    auto interval = [&](auto quantity, QuantityScale scale = QuantityScale::Log) {
        std::vector<std::optional<double>> values;
        for (const Forecast& forecast : forecasts) values.push_back(quantity(forecast));
        return QuantityIntervalOf(region, values, scale);
    };
    ForecastIntervals intervals;
    intervals.intensity = interval([](const Forecast& f) { return f.intensity; });
    intervals.mttf = interval([](const Forecast& f) { return f.mttf; });
    intervals.median = interval([](const Forecast& f) { return std::optional(f.median); });
    intervals.reliability =
        interval([](const Forecast& f) { return f.reliability; }, QuantityScale::Logit);
    intervals.expectedFailures = interval([](const Forecast& f) { return f.expectedFailures; });
    intervals.faultsRemaining = interval([](const Forecast& f) {
        return f.countsFaults ? std::optional(f.faultsRemaining.value_or(kInfinity)) : std::nullopt;
    });
    intervals.targetTime = interval(TargetTime);
    return intervals;
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
