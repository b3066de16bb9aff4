// Cost of the work around the fits: storing an estimates set of 5,000 rows, recalibrating a
// set of about 1,000 predictions, evaluating every model applied to 1,000 failures, and
// opening a large project (44 MB and 1 GB) to list its datasets.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "synthetic_data.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/recalibrate.h"
#include "tamsel/workbench/set_lists.h"

namespace tamsel::bench {
namespace {

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;
constexpr int kFirstRecalibrationMethod = 1;

void BM_StoreEstimatesSet5000Rows(benchmark::State& state) {
    constexpr int kRows = 5000;
    TempProject project("store");
    int dataSetId = project.AddDataSet("SIM", ScalingData(kRows));
    EstimatesArray estimates(kRows + 1);
    for (int i = 1; i <= kRows; ++i) {
        double v = 1.0 / i;
        estimates[i] = {i + v, v, 2 * v, -v, v, 0.5 - v / 4, v, 2 * v, 3 * v, 4 * v};
    }
    for (auto _ : state) {
        int setId = StoreEstimatesSet(project.Db(), dataSetId, 1, kDefaultRange, kMaximumLikelihood,
                                      1, kRows, estimates);
        if (setId == 0) state.SkipWithError("the set was not stored");
        state.PauseTiming();
        project.Db().Execute("DELETE FROM EstimatesSets;");
        state.ResumeTiming();
    }
    state.counters["rows"] = kRows;
}

// A project holding 1,000 simulated failures with every model applied over the default
// range, made once: applying the eight takes seconds.
TempProject& AppliedProject() {
    static TempProject* project = [] {
        auto* made = new TempProject("applied");
        int dataSetId = made->AddDataSet("SIM1000", ScalingData(1000));
        for (const ModelInfo& model : ModelTable()) {
            ApplyModel(made->Db(), dataSetId, model.number, kDefaultRange, kMaximumLikelihood, {});
        }
        return made;
    }();
    return *project;
}

// The Jelinski-Moranda set of the applied project: failures 20 to 1,000, so 980 predictions
// that the recalibration fits.
void BM_RecalibrateSetOf1000Failures(benchmark::State& state) {
    TempProject& project = AppliedProject();
    int dataSetId = FindDataSetId(project.Db(), "SIM1000").value_or(0);
    int setId = FindEstimatesSet(project.Db(), dataSetId, 1, kDefaultRange, kMaximumLikelihood);
    for (auto _ : state) {
        RecalibrationResult result =
            ApplyRecalibration(project.Db(), setId, kFirstRecalibrationMethod, {});
        if (result.outcome != RecalibrationResult::Outcome::Stored) {
            state.SkipWithError("the recalibration was not stored");
        }
        state.PauseTiming();
        project.Db().Execute("DELETE FROM PredictionsSets;");
        state.ResumeTiming();
    }
}

void BM_EvaluateEightSetsOf1000Failures(benchmark::State& state) {
    TempProject& project = AppliedProject();
    for (auto _ : state) {
        std::optional<Evaluation> evaluation =
            EvaluateDataSet(project.Db(), "SIM1000", std::nullopt, std::nullopt);
        if (!evaluation || evaluation->sets.size() != 8) {
            state.SkipWithError("the evaluation did not rank eight sets");
        }
        benchmark::DoNotOptimize(evaluation);
    }
}

// What `tamsel-cli datasets` costs on a large project: opening reads the header, tables and
// reference rows only, so it must not grow with the file. Each dataset holds a million failure
// times, about 44 MB with their index: 24 make a project of about 1 GB. Each project is
// made once, the first time it is asked for (one dataset imported, the others copied from it
// by the engine), and removed at exit.
TempProject& LargeProject(std::size_t dataSets) {
    static std::map<std::size_t, std::unique_ptr<TempProject>> projects;
    std::unique_ptr<TempProject>& project = projects[dataSets];
    if (project) return *project;
    const auto start = std::chrono::steady_clock::now();
    constexpr int kFailures = 1000000;
    project = std::make_unique<TempProject>("large" + std::to_string(dataSets));
    const int first =
        project->AddDataSet("SIM0", SimulateJelinskiMoranda(kFailures, 2 * kFailures, 1e-7, 7));
    for (std::size_t k = 1; k < dataSets; ++k) {
        const std::string name = "SIM" + std::to_string(k);
        InsertDataSet(project->Db(), name, name + ".txt", 1, kFailures, "simulated");
    }
    project->Db().Execute(
        "INSERT INTO FailureTimes (DataSetID, FailureIndex, InterfailureTime, CumulativeTime) "
        "SELECT d.DataSetID, f.FailureIndex, f.InterfailureTime, f.CumulativeTime "
        "FROM DataSets d, FailureTimes f WHERE d.DataSetID <> " +
        std::to_string(first) + " AND f.DataSetID = " + std::to_string(first) +
        "; PRAGMA wal_checkpoint(TRUNCATE);");
    std::fprintf(stderr, "%zu datasets: %d failure times stored, %.0f MB, made in %.0f s\n",
                 dataSets, first == 0 ? 0 : kFailures,
                 static_cast<double>(std::filesystem::file_size(project->Path())) / 1e6,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return *project;
}

void BM_OpenAndListDataSetsOfALargeProject(benchmark::State& state) {
    const auto dataSets = static_cast<std::size_t>(state.range(0));
    TempProject& project = LargeProject(dataSets);
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(project.Path())) / 1e6;
    for (auto _ : state) {
        std::unique_ptr<Database> db = OpenProject(project.Path());
        std::optional<RowSet> table = db ? DataSetsTable(*db) : std::nullopt;
        if (!table || table->rows.size() != dataSets) {
            state.SkipWithError("the datasets were not listed");
        }
        benchmark::DoNotOptimize(table);
    }
}

BENCHMARK(BM_StoreEstimatesSet5000Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecalibrateSetOf1000Failures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateEightSetsOf1000Failures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndListDataSetsOfALargeProject)->Arg(1)->Arg(24)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tamsel::bench
