// The cases set against the speed targets: all eight models applied and stored on SYS1 by
// the command-line tool as a whole process, JM's prequential run on 1,000 failures (fits
// only), and all eight on 20,000 simulated failures.

#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "model_bench_support.h"
#include "synthetic_data.h"
#include "tamsel/models/model_table.h"

namespace tamsel::bench {
namespace {

// Runs a shell command, failing the benchmark when it does not exit 0.
void Shell(benchmark::State& state, const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        state.SkipWithError(("failed: " + command).c_str());
    }
}

// `tamsel-cli apply DB SYS1 all` on a fresh copy of a project holding SYS1: the whole process,
// start-up, eight fits and their storing. Argument: threads (--jobs).
void BM_CliAppliesAllEightOnSys1(benchmark::State& state) {
    const std::string cli = TAMSEL_CLI;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tamsel-bench-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string original = (folder / "sys1.db").string();
    const std::string copy = (folder / "run.db").string();
    Shell(state, cli + " new " + original + " >/dev/null && " + cli + " import " + original +
                     " SYS1 " + TAMSEL_DATA_DIR + "/sys1.txt >/dev/null");
    const std::string apply = cli + " apply " + copy + " SYS1 all --jobs " +
                              std::to_string(state.range(0)) + " >/dev/null";
    for (auto _ : state) {
        state.PauseTiming();
        Shell(state, "cp " + original + " " + copy);
        state.ResumeTiming();
        Shell(state, apply);
    }
    std::filesystem::remove_all(folder);
}

// JM over 20..1,000 of simulated data on one thread.
void BM_JmPrequentialOn1000(benchmark::State& state) {
    const ModelInfo& jm = *FindModel(1);
    EstimatesArray estimates;
    for (auto _ : state) RunModel(jm, ScalingSeries(1000), 1, estimates);
}

// All eight over 20..n of simulated data. Arguments: n, threads.
void BM_AllEightOnLargeSets(benchmark::State& state) {
    const Series& series = ScalingSeries(static_cast<int>(state.range(0)));
    const auto threads = static_cast<int>(state.range(1));
    EstimatesArray estimates;
    for (auto _ : state) {
        for (const ModelInfo& model : ModelTable()) RunModel(model, series, threads, estimates);
    }
}

BENCHMARK(BM_CliAppliesAllEightOnSys1)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_JmPrequentialOn1000)->Unit(benchmark::kMillisecond);
// 1,000 and 5,000 failures are BM_AllEightOnSimulated's; this takes minutes: once is enough.
BENCHMARK(BM_AllEightOnLargeSets)
    ->Args({20000, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace tamsel::bench
