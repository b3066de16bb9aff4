#include "model_commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tamsel/import/add_data_set.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/fit_outcomes.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel::cli {
namespace {

constexpr int kVariableRangeType = 1;

struct ApplyOptions {
    std::string db;
    std::string name;
    std::vector<std::string> models;
    std::string range;
    int jobs = kHardwareThreads;
};

struct SetsOptions {
    std::string db;
    std::string name;
    TableFormat format = TableFormat::Text;
};

struct EstimatesOptions {
    std::string db;
    int setId = 0;
    TableFormat format = TableFormat::Text;
};

struct RangeRequest {
    int start = 0;
    std::optional<int> end;
};

std::optional<int> ParseIndex(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// START or START:END; throws CLI::ValidationError otherwise.
RangeRequest ParseRange(const std::string& text) {
    std::size_t colon = text.find(':');
    std::optional<int> start = ParseIndex(std::string_view(text).substr(0, colon));
    std::optional<int> end;
    if (colon != std::string::npos) end = ParseIndex(std::string_view(text).substr(colon + 1));
    if (!start || (colon != std::string::npos && !end)) {
        throw CLI::ValidationError("--range", "expected START or START:END, got \"" + text + "\"");
    }
    return {*start, end};
}

bool IsAll(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "all";
}

// The models named on the command line, in the order given; "all" stands for every model.
// Throws CLI::ValidationError for an unknown name.
std::vector<const ModelInfo*> ResolveModels(const std::vector<std::string>& names) {
    std::vector<const ModelInfo*> models;
    for (const std::string& name : names) {
        if (IsAll(name)) {
            std::vector<const ModelInfo*> all = AllModels();
            models.insert(models.end(), all.begin(), all.end());
            continue;
        }
        const ModelInfo* model = FindModel(std::string_view(name));
        if (!model) {
            throw CLI::ValidationError(
                "MODEL", "unknown model \"" + name +
                             "\": use JM, Du, MO, GO, Li, LNHPP, LV, KL, a number 1 to 8, or all");
        }
        models.push_back(model);
    }
    return models;
}

// The number of failures of the dataset, or nothing after a message.
std::optional<int> FailureCount(Database& db, int dataSetId) {
    const std::optional<DataSetInfo> dataSet = GetDataSet(db, dataSetId);
    if (!dataSet) return std::nullopt;
    return dataSet->count;
}

// The Ranges row of the requested range, or 0 after a message.
int RangeIdFor(Database& db, int dataSetId, const RangeRequest& range) {
    std::optional<int> count = FailureCount(db, dataSetId);
    if (!count) return 0;
    std::string start = std::to_string(range.start);
    std::string failures = std::to_string(*count);
    std::string refusal;
    if (range.start < 1) {
        refusal = "The range must start at failure 1 or later, not at failure " + start + ".";
    } else if (range.end && *range.end < range.start) {
        refusal = "The range must not end (at failure " + std::to_string(*range.end) +
                  ") before it starts (at failure " + start + ").";
    } else if (range.end.value_or(range.start) > *count) {
        refusal = "The range reaches failure " + std::to_string(range.end.value_or(range.start)) +
                  " but the data set has only " + failures + " failures.";
    }
    if (!refusal.empty()) {
        ShowMessage(refusal);
        return 0;
    }
    int rangeId = FindOrCreateRange(db, kVariableRangeType, range.start, range.end);
    if (rangeId == 0) ShowMessage("An error occurred while storing the range.");
    return rangeId;
}

void ReportStored(Database& db, const ModelInfo& model, int dataSetId, int rangeId,
                  const ApplyModelResult& result) {
    std::cout << "Stored estimates set " << result.estimatesSetId << ": " << model.name;
    if (std::optional<RangeInfo> range = GetRange(db, dataSetId, rangeId)) {
        std::cout << ", failures " << range->rangeStart << " to " << range->rangeEnd;
    }
    std::cout << ".\n  " << result.fitSummary << ".\n" << std::flush;
}

int RunApply(const ApplyOptions& options) {
    std::vector<const ModelInfo*> models = ResolveModels(options.models);
    std::optional<RangeRequest> range;
    if (!options.range.empty()) range = ParseRange(options.range);
    return WithProjectDatabase(options.db, [&](Database& db) {
        int dataSetId = DataSetIdOf(db, options.name);
        if (dataSetId == 0) return kExitFailure;
        int rangeId = range ? RangeIdFor(db, dataSetId, *range) : kDefaultRangeId;
        if (rangeId == 0) return kExitFailure;
        return ApplyModels(db, dataSetId, models, rangeId, options.jobs);
    });
}

// A row of the sets table: kind, key, model, range, size, inference and recalibration
// method, the estimates set a predictions set was made from, and how an estimates set's fits
// ended.
std::vector<DbValue> SetRow(std::string kind, const DbValue& key, const DbValue& model,
                            const DbValue& start, const DbValue& end, const DbValue& size,
                            const DbValue& inference, const DbValue& recalibration,
                            const DbValue& from, const DbValue& outcomes) {
    return {std::move(kind), key,           model, start,   end, size,
            inference,       recalibration, from,  outcomes};
}

int RunSets(const SetsOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        std::string name = TrimDataName(options.name);
        if (DataSetIdOf(db, name) == 0) return kExitFailure;
        std::optional<RowSet> estimates = BindEstimatesSets(db, name);
        std::optional<RowSet> predictions = BindPredictionsSets(db, name);
        if (!estimates || !predictions) return kExitFailure;
        RowSet table;
        table.headings = {"Kind",
                          "Set ID",
                          "Model",
                          "Range start",
                          "Range end",
                          "Set size",
                          "Inference method",
                          "Recalibration method",
                          "From set",
                          "Fit outcomes"};
        for (const auto& row : estimates->rows) {
            // An open range ends at the last failure.
            const DbValue& end = IsNull(row[3]) ? row[4] : row[3];
            auto key = std::get_if<std::int64_t>(&row[0]);
            std::optional<std::string> outcomes =
                key ? StoredFitSummary(db, static_cast<int>(*key)) : std::nullopt;
            if (!outcomes) return kExitFailure;
            table.rows.push_back(SetRow("estimates", row[0], row[1], row[2], end, row[4], row[5],
                                        {}, {}, *outcomes));
        }
        for (const auto& row : predictions->rows) {
            auto key = std::get_if<std::int64_t>(&row[0]);
            if (!key) return kExitFailure;
            std::optional<RecalibratedSetAttributes> set =
                GetRecalibratedSetAttributes(db, static_cast<int>(*key));
            if (!set) return kExitFailure;
            table.rows.push_back(SetRow(
                "predictions", row[0], set->modelName, std::int64_t{set->rangeStart},
                std::int64_t{set->rangeEnd}, std::int64_t{set->setSize}, set->inferenceMethod,
                set->recalibrationMethodName, std::int64_t{set->estimatesSetId}, {}));
        }
        PrintTable(std::cout, table, options.format);
        return kExitSuccess;
    });
}

int RunEstimates(const EstimatesOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        std::optional<RowSet> rows = EstimatesRows(db, options.setId);
        if (!rows) return kExitFailure;
        // Every stored set has at least one row.
        if (rows->rows.empty()) {
            ShowMessage("There is no estimates set with the key " + std::to_string(options.setId) +
                        ".");
            return kExitFailure;
        }
        PrintTable(std::cout, *rows, options.format);
        return kExitSuccess;
    });
}

}  // namespace

std::vector<const ModelInfo*> AllModels() {
    std::vector<const ModelInfo*> models;
    for (const ModelInfo& model : ModelTable()) models.push_back(&model);
    return models;
}

int ApplyModels(Database& db, int dataSetId, std::span<const ModelInfo* const> models, int rangeId,
                int threads) {
    TerminalProgress progress(std::cerr, isatty(STDERR_FILENO) == 1);
    RunControl control(&progress, &CancelFlag());
    int exitCode = kExitSuccess;
    for (const ModelInfo* model : models) {
        ApplyModelResult result = ApplyModel(db, dataSetId, model->number, rangeId,
                                             kReferenceInferenceMethodId, control, threads);
        switch (result.outcome) {
            case ApplyModelResult::Outcome::Stored:
                ReportStored(db, *model, dataSetId, rangeId, result);
                break;
            case ApplyModelResult::Outcome::Cancelled:
                return kExitFailure;
            case ApplyModelResult::Outcome::Exists:
            case ApplyModelResult::Outcome::Refused:
            case ApplyModelResult::Outcome::Failed:
                exitCode = kExitFailure;
                break;
        }
    }
    return exitCode;
}

void AddModelCommands(CLI::App& app, CommandContext& context) {
    auto applyOptions = std::make_shared<ApplyOptions>();
    CLI::App* apply = app.add_subcommand("apply", "Fit models to a dataset and store the sets");
    apply->add_option("DB", applyOptions->db, "project file")->required();
    apply->add_option("NAME", applyOptions->name, "dataset name")->required();
    apply
        ->add_option("MODEL", applyOptions->models,
                     "JM, Du, MO, GO, Li, LNHPP, LV, KL (any case), a number 1 to 8, or all")
        ->required();
    apply->add_option("--range", applyOptions->range,
                      "failures START to END (START alone: to the last failure); default 20");
    apply
        ->add_option("--jobs", applyOptions->jobs,
                     "threads that fit the failure indices; default: every hardware thread")
        ->check(CLI::Range(1, 4096));
    apply->footer(
        "A model already applied to the dataset over the same range is skipped with a message "
        "and the others still run. Ctrl-C cancels the running model, which stores nothing, "
        "and ends the command.");
    apply->callback([&context, applyOptions] { context.exitCode = RunApply(*applyOptions); });

    auto setsOptions = std::make_shared<SetsOptions>();
    CLI::App* sets =
        app.add_subcommand("sets", "List the estimates sets and predictions sets of a dataset");
    sets->add_option("DB", setsOptions->db, "project file")->required();
    sets->add_option("NAME", setsOptions->name, "dataset name")->required();
    AddFormatOption(*sets, setsOptions->format);
    sets->callback([&context, setsOptions] { context.exitCode = RunSets(*setsOptions); });

    auto estimatesOptions = std::make_shared<EstimatesOptions>();
    CLI::App* estimates = app.add_subcommand("estimates", "Print the estimates of a set");
    estimates->add_option("DB", estimatesOptions->db, "project file")->required();
    estimates->add_option("SETID", estimatesOptions->setId, "estimates set key")->required();
    AddFormatOption(*estimates, estimatesOptions->format);
    estimates->callback(
        [&context, estimatesOptions] { context.exitCode = RunEstimates(*estimatesOptions); });
}

}  // namespace tamsel::cli
