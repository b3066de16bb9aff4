// Cost of the work around the fits: storing an estimates set of 5,000 rows, recalibrating a
// set of about 1,000 predictions, evaluating every model applied to 1,000 failures, and
// opening a large project to list its datasets.

#include <benchmark/benchmark.h>

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

// What `tamsel-cli datasets` costs on a project of about 100 MB (four million failure times):
// opening reads the header, tables and reference rows only, so it must not grow with the file.
void BM_OpenAndListDataSetsOfALargeProject(benchmark::State& state) {
    static TempProject* project = [] {
        auto* made = new TempProject("large");
        for (int k = 0; k < 4; ++k)
            made->AddDataSet("SIM" + std::to_string(k), ScalingData(1000000));
        return made;
    }();
    for (auto _ : state) {
        std::unique_ptr<Database> db = OpenProject(project->Path());
        std::optional<RowSet> table = db ? DataSetsTable(*db) : std::nullopt;
        if (!table || table->rows.size() != 4) state.SkipWithError("the datasets were not listed");
        benchmark::DoNotOptimize(table);
    }
}

BENCHMARK(BM_StoreEstimatesSet5000Rows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecalibrateSetOf1000Failures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateEightSetsOf1000Failures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndListDataSetsOfALargeProject)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tamsel::bench
