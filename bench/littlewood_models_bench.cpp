// Cost of applying the Littlewood, Littlewood NHPP, Littlewood-Verrall and
// Keiller-Littlewood models over the default range (failure 20 to the last) of SYS1 and of
// the largest shipped dataset, CSR1.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/model_table.h"

namespace tamsel {
namespace {

struct Series {
    FailureSeries x{0.0};
    FailureSeries t{0.0};
};

Series Load(const std::string& name) {
    std::ifstream in(std::string(TAMSEL_DATA_DIR) + "/" + name);
    Series series;
    for (double value; in >> value;) {
        series.x.push_back(value);
        series.t.push_back(series.t.back() + value);
    }
    return series;
}

// The reference inference method's settings.
MinimisationSettings ReferenceSettings() {
    MinimisationSettings settings;
    settings.maxIter = 300;
    settings.absolutePrecision = 1e-15;
    settings.relativePrecision = 1e-8;
    settings.eta = 0.4;
    settings.tolerance = 1e-7;
    return settings;
}

void ApplyOverDefaultRange(benchmark::State& state, EstimateFunction estimate, const char* file) {
    const Series series = Load(file);
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

BENCHMARK_CAPTURE(ApplyOverDefaultRange, Li_sys1, &EstimateLi, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LNHPP_sys1, &EstimateLNHPP, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LV_sys1, &EstimateLV, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, KL_sys1, &EstimateKL, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, Li_csr1, &EstimateLi, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LNHPP_csr1, &EstimateLNHPP, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LV_csr1, &EstimateLV, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, KL_csr1, &EstimateKL, "csr1.txt");

}  // namespace
}  // namespace tamsel
