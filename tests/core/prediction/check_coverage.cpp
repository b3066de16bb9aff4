// make check-coverage: how often the nominal 95 % parameter intervals cover the parameters
// that planted the data, and the intervals of the intensity and of R(t) their values under
// the planted parameters. Each replicate simulates 200 failures from a model with known
// parameters, fits the model at the last failure as a run stores it, and asks whether each
// interval holds the true value; an interval without a finite bound spans the whole domain
// and so covers. Prints one table line per model and parameter or quantity. The mission of
// R(t) is the mean interfailure time so far, T / n.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tamsel/models/model_table.h"
#include "tamsel/prediction/forecast.h"

namespace tamsel {
namespace {

constexpr std::int32_t kFailures = 200;
constexpr int kReplicates = 200;

// A unit exponential by inversion of the generator's own bits, the same on every machine.
double UnitExponential(std::mt19937_64& rng) {
    const double u = static_cast<double>(rng() >> 11) * 0x1p-53;
    return -std::log1p(-u);
}

struct Planted {
    const char* code;
    std::vector<double> truth;  // the model's parameters in its order
    // The cumulative failure times 1..kFailures of one replicate.
    std::function<std::vector<double>(std::mt19937_64&)> simulate;
};

// Cumulative times from the unit-rate arrival times Gamma_j of a Poisson process, mapped
// through the inverse of the mean value function.
std::vector<double> Arrivals(std::mt19937_64& rng, const std::function<double(double)>& inverse) {
    std::vector<double> times;
    double gamma = 0.0;
    for (std::int32_t j = 1; j <= kFailures; ++j) {
        gamma += UnitExponential(rng);
        times.push_back(inverse(gamma));
    }
    return times;
}

std::vector<Planted> PlantedModels() {
    constexpr double kFaults = 250.0;
    constexpr double kLambda = 0.002;
    constexpr double kMu = 300.0;
    constexpr double kPhi = 0.01;
    constexpr double kBeta = 0.5;
    constexpr double kAlpha = 1.5;
    constexpr double kShape = 3.0;
    constexpr double kBeta1 = 20.0;
    constexpr double kBeta2 = 2.0;
    return {
        {"JM",
         {kFaults, kLambda},
         [](std::mt19937_64& rng) {
             std::vector<double> times;
             double t = 0.0;
             for (std::int32_t j = 1; j <= kFailures; ++j) {
                 t += UnitExponential(rng) / ((kFaults - j + 1) * kLambda);
                 times.push_back(t);
             }
             return times;
         }},
        {"GO",
         {kMu, kPhi},
         [](std::mt19937_64& rng) {
             return Arrivals(rng, [](double g) { return -std::log1p(-g / kMu) / kPhi; });
         }},
        {"Du",
         {kBeta, kAlpha},
         [](std::mt19937_64& rng) {
             return Arrivals(rng, [](double g) { return std::pow(g / kAlpha, 1.0 / kBeta); });
         }},
        // Pareto interfailure times psi(j) ((1 - u)^(-1/Alpha) - 1), psi(j) = Beta1 + Beta2 j.
        {"LV",
         {kShape, kBeta1, kBeta2},
         [](std::mt19937_64& rng) {
             std::vector<double> times;
             double t = 0.0;
             for (std::int32_t j = 1; j <= kFailures; ++j) {
                 t += (kBeta1 + kBeta2 * j) * std::expm1(UnitExponential(rng) / kShape);
                 times.push_back(t);
             }
             return times;
         }},
    };
}

void Sweep(const Planted& planted) {
    const ModelInfo& model = *FindModel(planted.code);
    const MinimisationSettings settings{300, 1e-15, 1e-8, 0.4, 1e-7};
    const std::size_t count = planted.truth.size();
    std::vector<int> covered(count, 0);
    int intensityCovered = 0;
    int reliabilityCovered = 0;
    int noFinite = 0;
    int noInformation = 0;
    IntervalMethod method = IntervalMethod::ProfileLikelihood;
    for (int replicate = 0; replicate < kReplicates; ++replicate) {
        std::mt19937_64 rng(20261207u + static_cast<unsigned>(replicate));
        FailureSeries x{0.0};
        FailureSeries t{0.0};
        for (double time : planted.simulate(rng)) {
            x.push_back(time - t.back());
            t.push_back(time);
        }
        const IndexResult fitted = model.prepare(x, t, kFailures, settings)(kFailures);
        const EstimateRecord& r = fitted.record;
        const StoredFit fit{kFailures, r.param1, r.param2, r.param3, r.median, t[kFailures]};
        const ParameterIntervals intervals =
            ParameterIntervalsAt(model, x, t, fit, fitted.termination.outcome);
        method = intervals.method;
        noFinite += intervals.status == IntervalStatus::NoFiniteInterval;
        noInformation += intervals.status == IntervalStatus::NoInformation;
        for (std::size_t k = 0; k < count; ++k) {
            const ParameterInterval& p = intervals.parameters[k];
            covered[k] += p.lower <= planted.truth[k] && planted.truth[k] <= p.upper;
        }
        if (!intervals.region) continue;
        const ForecastRequest request{t[kFailures] / kFailures, std::nullopt};
        StoredFit truth = fit;
        truth.param1 = planted.truth[0];
        truth.param2 = planted.truth[1];
        truth.param3 = count > 2 ? planted.truth[2] : 0.0;
        const Forecast expected = ForecastAt(model, truth, request);
        const ForecastIntervals got = ForecastIntervalsAt(model, fit, *intervals.region, request);
        auto holds = [](const std::optional<QuantityInterval>& interval, double value) {
            return interval && interval->lower <= value && value <= interval->upper;
        };
        intensityCovered += holds(got.intensity, *expected.intensity);
        reliabilityCovered += holds(got.reliability, *expected.reliability);
    }
    for (std::size_t k = 0; k < count; ++k) {
        const double share = 100.0 * covered[k] / kReplicates;
        std::printf("| %s | %s | %g | %s | %d | %.1f %% | %d | %d |\n", planted.code,
                    std::string(model.parameterNames[k]).c_str(), planted.truth[k],
                    method == IntervalMethod::ProfileLikelihood ? "profile" : "information",
                    covered[k], share, noFinite, noInformation);
    }
    const std::pair<const char*, int> quantities[] = {{"intensity", intensityCovered},
                                                      {"R(T/n)", reliabilityCovered}};
    for (const auto& [name, hits] : quantities) {
        std::printf("| %s | %s | (at T) | %s | %d | %.1f %% | %d | %d |\n", planted.code, name,
                    method == IntervalMethod::ProfileLikelihood ? "profile" : "information", hits,
                    100.0 * hits / kReplicates, noFinite, noInformation);
    }
}

}  // namespace
}  // namespace tamsel

int main() {
    std::printf("%d replicates of %d failures each; nominal level 95 %%\n\n", tamsel::kReplicates,
                tamsel::kFailures);
    std::printf(
        "| model | parameter | true value | method | covered | coverage | no finite interval | "
        "no information |\n|---|---|---:|---|---:|---:|---:|---:|\n");
    for (const tamsel::Planted& planted : tamsel::PlantedModels()) tamsel::Sweep(planted);
    return 0;
}
