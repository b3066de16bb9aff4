// Cost of appending 10 failures to a 1,000-failure dataset that has all eight models applied,
// from reading the file to the commit of the extended sets: what an engineer waits for when
// adding the failures of a test day.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "synthetic_data.h"
#include "tamsel/models/model_table.h"
#include "tamsel/workbench/append.h"
#include "tamsel/workbench/apply_model.h"

namespace tamsel::bench {
namespace {

constexpr int kKept = 1000;
constexpr int kAdded = 10;

// The project with the first kKept failures and all eight sets over 20.. (fitted once), and
// the file of the next kAdded failures.
struct Template {
    TempProject project{"append-template"};
    std::string rest = project.Path() + ".rest.txt";

    Template() {
        const std::vector<double> data = ScalingData(kKept + kAdded);
        const int id = project.AddDataSet("S", {data.begin(), data.begin() + kKept});
        for (const ModelInfo& model : ModelTable()) {
            ApplyModel(project.Db(), id, model.number, 1, 1, RunControl(), kHardwareThreads);
        }
        std::ofstream out(rest);
        out.precision(17);
        for (int k = kKept; k < kKept + kAdded; ++k) out << data[k] << "\n";
        // Everything in the main file, so that a copy of it is the whole project.
        project.Db().Execute("PRAGMA wal_checkpoint(TRUNCATE);");
    }
    ~Template() { std::filesystem::remove(rest); }
};

// Argument: threads.
void BM_AppendTenFailuresAndExtendEightSets(benchmark::State& state) {
    static Template base;
    const auto threads = static_cast<int>(state.range(0));
    const std::string copy = base.project.Path() + ".copy.db";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(base.project.Path(), copy,
                                   std::filesystem::copy_options::overwrite_existing);
        std::unique_ptr<Database> db = OpenTamselDatabase(copy);
        state.ResumeTiming();
        const ExtendResult result = AppendFailures(*db, {"S", base.rest}, RunControl(), threads);
        if (result.outcome != ExtendResult::Outcome::Stored || result.extendedSets.size() != 8) {
            state.SkipWithError("the append was not stored");
        }
        state.PauseTiming();
        db.reset();
        std::filesystem::remove(copy);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_AppendTenFailuresAndExtendEightSets)
    ->Arg(1)
    ->Arg(WorkerThreads(kHardwareThreads))
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace tamsel::bench
