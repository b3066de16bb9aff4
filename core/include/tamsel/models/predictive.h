// The predictive distribution of the time to the next failure at a stored fit: what
// recalibration, the next-failure calculator and the tables ask of a model, each model
// answering in its own file.
#pragma once

#include <cstdint>
#include <optional>

namespace tamsel {

// A stored fit at failure index n: the row's parameters and median, and T, the cumulative
// time of failure n (read only by models that use the current time).
struct StoredFit {
    std::int32_t index = 0;
    double param1 = 0.0;
    double param2 = 0.0;
    double param3 = 0.0;
    double median = 0.0;
    double time = 0.0;
};

struct PredictivePoint {
    double cdf = 0.0;  // the distribution function at s
    double pdf = 0.0;  // the density at s
};

struct Predictive {
    // The distribution function and density at s >= 0 from the row's parameters, with the
    // limit conventions of the stored estimates (a density of kVanishing where it vanishes).
    PredictivePoint (*at)(const StoredFit& fit, double s);
    // The p-quantile for p in [0, 1] (0 for p outside it).
    double (*quantile)(const StoredFit& fit, double p);
    // The value every quantile of a limit fit takes, or nothing for a regular fit.
    std::optional<double> (*limitQuantile)(const StoredFit& fit);
    // The mean of the next interfailure time, as the fit stores it as MTTF (kInfiniteMttf
    // where it is infinite, kNoMttf where none is reported).
    double (*mean)(const StoredFit& fit);
    // Whether the fit is a limit at which no next prediction is made; null when none is.
    bool (*noNextPrediction)(const StoredFit& fit);
};

}  // namespace tamsel
