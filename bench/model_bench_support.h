// What the model benchmarks share: the shipped datasets as failure series, the reference
// inference method's settings, and one application of a model over the default range.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "tamsel/models/model_table.h"

namespace tamsel::bench {

struct Series {
    FailureSeries x{0.0};
    FailureSeries t{0.0};
};

inline Series LoadSeries(const std::string& name) {
    std::ifstream in(std::string(TAMSEL_DATA_DIR) + "/" + name);
    Series series;
    for (double value; in >> value;) {
        series.x.push_back(value);
        series.t.push_back(series.t.back() + value);
    }
    return series;
}

inline MinimisationSettings ReferenceSettings() {
    MinimisationSettings settings;
    settings.maxIter = 300;
    settings.absolutePrecision = 1e-15;
    settings.relativePrecision = 1e-8;
    settings.eta = 0.4;
    settings.tolerance = 1e-7;
    return settings;
}

// Fits failures 20 to the last of file with estimate per iteration; reports the number of
// fits and the time per fit.
inline void ApplyOverDefaultRange(benchmark::State& state, EstimateFunction estimate,
                                  const char* file) {
    const Series series = LoadSeries(file);
    const auto last = static_cast<std::int32_t>(series.x.size()) - 1;
    EstimatesArray estimates;
    for (auto _ : state) {
        estimate(series.x, series.t, 20, last, ReferenceSettings(), estimates, {});
        benchmark::DoNotOptimize(estimates.data());
    }
    state.counters["fits"] = last - 19;
    state.counters["per_fit_us"] = benchmark::Counter(
        static_cast<double>(last - 19) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace tamsel::bench
