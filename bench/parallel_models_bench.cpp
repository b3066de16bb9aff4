// Cost of whole prequential runs on one thread and on every hardware thread: each model on
// SYS1, all eight applied and stored on SYS1, and all eight (and each alone) on simulated
// data sets of 250 to 5,000 failures, from which the growth of the cost with the number of
// failures is fitted.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "model_bench_support.h"
#include "synthetic_data.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/model_table.h"
#include "tamsel/models/prequential.h"
#include "tamsel/workbench/apply_model.h"

namespace tamsel::bench {
namespace {

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;

const int kAllThreads = WorkerThreads(kHardwareThreads);

const Series& Sys1() {
    static const Series series = LoadSeries("sys1.txt");
    return series;
}

// Arguments: model number, threads.
void BM_ModelOnSys1(benchmark::State& state) {
    const ModelInfo& model = *FindModel(static_cast<int>(state.range(0)));
    const auto threads = static_cast<int>(state.range(1));
    EstimatesArray estimates;
    for (auto _ : state) RunModel(model, Sys1(), threads, estimates);
    state.SetLabel(std::string(model.code));
}

// All eight applied to SYS1 and stored, each in its own transaction, as the demo and the
// command-line tool do. Argument: threads.
void BM_AllEightAppliedAndStoredOnSys1(benchmark::State& state) {
    const auto threads = static_cast<int>(state.range(0));
    const std::vector<double> sys1(Sys1().x.begin() + 1, Sys1().x.end());
    for (auto _ : state) {
        state.PauseTiming();
        auto project = std::make_unique<TempProject>("sys1");
        int dataSetId = project->AddDataSet("SYS1", sys1);
        state.ResumeTiming();
        for (const ModelInfo& model : ModelTable()) {
            ApplyModelResult result = ApplyModel(project->Db(), dataSetId, model.number,
                                                 kDefaultRange, kMaximumLikelihood, {}, threads);
            if (result.outcome != ApplyModelResult::Outcome::Stored) {
                state.SkipWithError("a model was not stored");
            }
        }
        state.PauseTiming();
        project.reset();
        state.ResumeTiming();
    }
}

// All eight models over 20..n of the simulated data. Arguments: n, threads.
void BM_AllEightOnSimulated(benchmark::State& state) {
    const Series& series = ScalingSeries(static_cast<int>(state.range(0)));
    const auto threads = static_cast<int>(state.range(1));
    EstimatesArray estimates;
    for (auto _ : state) {
        for (const ModelInfo& model : ModelTable()) RunModel(model, series, threads, estimates);
    }
}

// One model over 20..n of the simulated data. Arguments: model, n, threads.
void BM_ModelOnSimulated(benchmark::State& state) {
    const ModelInfo& model = *FindModel(static_cast<int>(state.range(0)));
    const Series& series = ScalingSeries(static_cast<int>(state.range(1)));
    const auto threads = static_cast<int>(state.range(2));
    EstimatesArray estimates;
    for (auto _ : state) RunModel(model, series, threads, estimates);
    state.SetLabel(std::string(model.code));
}

// One evaluation of a Littlewood-family objective with its gradient and Hessian on the first
// 1,000 simulated failures, at parameters near its fits (in units of the mean interfailure
// time m); the time a term is the time an item. Argument: model 5 (Li) to 8 (KL).
void BM_ObjectiveOnSimulated(benchmark::State& state) {
    constexpr std::int32_t n = 1000;
    const Series& series = ScalingSeries(n);
    const double m = series.t[n] / n;
    std::array<double, 2> g{};
    std::array<double, 4> h{};
    const auto evaluate = [&](const std::array<double, 2>& p) {
        switch (state.range(0)) {
            case 5:
                return ObjectiveLi(p, g, n, series.t, h);
            case 6:
                return ObjectiveLNHPP(p, g, n, 0.0, series.t[n], series.t, h);
            case 7:
                return ObjectiveLV(p, g, n, 0.0, series.x, h);
            default:
                return ObjectiveKL(p, g, n, 0.0, series.x, h);
        }
    };
    const std::array<std::array<double, 2>, 4> at{{{std::sqrt(20.0), std::sqrt(10.0 * m)},
                                                   {std::sqrt(20.0), std::sqrt(10.0 * m)},
                                                   {std::sqrt(m), std::sqrt(3.0 * m)},
                                                   {std::sqrt(0.5), std::sqrt(m)}}};
    const std::array<double, 2>& p = at[static_cast<std::size_t>(state.range(0) - 5)];
    for (auto _ : state) benchmark::DoNotOptimize(evaluate(p));
    state.SetItemsProcessed(state.iterations() * n);
    state.SetLabel(std::string(FindModel(static_cast<int>(state.range(0)))->code));
}

void ModelAndThreads(benchmark::internal::Benchmark* bench) {
    for (int model = 1; model <= 8; ++model) {
        bench->Args({model, 1});
        bench->Args({model, kAllThreads});
    }
}

void SizesAndThreads(benchmark::internal::Benchmark* bench) {
    for (int n : {250, 500, 1000, 2000}) {
        bench->Args({n, 1});
        bench->Args({n, kAllThreads});
    }
    // Minutes a run: once is enough to read off its size.
    bench->Args({5000, kAllThreads});
}

void ModelsSizesAndThreads(benchmark::internal::Benchmark* bench) {
    for (int model = 1; model <= 8; ++model) {
        bench->Args({model, 1000, 1});
        bench->Args({model, 1000, kAllThreads});
        bench->Args({model, 5000, kAllThreads});
    }
}

BENCHMARK(BM_ObjectiveOnSimulated)->DenseRange(5, 8);
BENCHMARK(BM_ModelOnSys1)->Apply(ModelAndThreads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllEightAppliedAndStoredOnSys1)
    ->Arg(1)
    ->Arg(kAllThreads)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllEightOnSimulated)
    ->Apply(SizesAndThreads)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_ModelOnSimulated)
    ->Apply(ModelsSizesAndThreads)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace tamsel::bench
