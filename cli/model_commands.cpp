#include "model_commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tamsel/workbench/set_lists.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel::cli {
namespace {

struct ApplyOptions {
    std::string db;
    std::string name;
    std::vector<std::string> models;
    std::string range;
    int jobs = kHardwareThreads;
    bool extend = false;
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

void ReportStored(const ModelInfo& model, const ApplyModelResult& result) {
    std::cout << "Stored estimates set " << result.estimatesSetId << ": " << model.name
              << ", failures " << result.rangeStart << " to " << result.rangeEnd << ".\n  "
              << result.fitSummary << ".\n"
              << std::flush;
}

int RunApply(const ApplyOptions& options) {
    std::vector<const ModelInfo*> models = ResolveModels(options.models);
    if (options.extend) {
        std::vector<int> numbers;
        for (const ModelInfo* model : models) numbers.push_back(model->number);
        return WithProjectDatabase(options.db, [&](Database& db) {
            const std::optional<int> dataSetId = LookUpDataSet(db, options.name);
            if (!dataSetId) return kExitFailure;
            return RunExtension([&](const RunControl& control, const SetStarted& started) {
                return ExtendSets(db, *dataSetId, numbers, control, options.jobs, started);
            });
        });
    }
    std::optional<RangeRequest> range;
    if (!options.range.empty()) range = ParseRange(options.range);
    return WithProjectDatabase(options.db, [&](Database& db) {
        const std::optional<int> dataSetId = LookUpDataSet(db, options.name);
        if (!dataSetId) return kExitFailure;
        const std::optional<int> rangeId =
            range ? CustomRange(db, *dataSetId, range->start, range->end) : kDefaultRangeId;
        if (!rangeId) return kExitFailure;
        return ApplyModels(db, *dataSetId, models, *rangeId, options.jobs);
    });
}

int RunSets(const SetsOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        const std::string name = TrimDataName(options.name);
        if (!LookUpDataSet(db, name)) return kExitFailure;
        const std::optional<RowSet> table = SetsTable(db, name);
        if (!table) return kExitFailure;
        PrintTable(std::cout, *table, options.format);
        return kExitSuccess;
    });
}

int RunEstimates(const EstimatesOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        if (!RecordExists(db, KeyedRecord::EstimatesSet, options.setId)) return kExitFailure;
        const std::optional<RowSet> rows = EstimatesRows(db, options.setId);
        if (!rows) return kExitFailure;
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

int RunExtension(const std::function<ExtendResult(const RunControl&, const SetStarted&)>& extend) {
    TerminalProgress progress(std::cerr, isatty(STDERR_FILENO) == 1);
    const RunControl control(&progress, &CancelFlag());
    const ExtendResult result =
        extend(control, [&progress](std::string_view model, int number, int count) {
            progress.SetTask(std::string(model) + " (" + std::to_string(number) + "/" +
                             std::to_string(count) + ")");
        });
    if (result.outcome != ExtendResult::Outcome::Stored) return kExitFailure;
    if (result.failuresAdded > 0) {
        std::cout << "Appended " << result.failuresAdded
                  << (result.failuresAdded == 1 ? " failure" : " failures")
                  << ": the dataset holds " << result.failureCount << ".\n";
    }
    if (result.extendedSets.empty()) {
        std::cout << "No set needed extending: every set whose range runs to the last failure "
                     "reaches failure "
                  << result.failureCount << ".\n";
        return kExitSuccess;
    }
    std::cout << "Extended estimates sets";
    for (int id : result.extendedSets) std::cout << " " << id;
    std::cout << " to failure " << result.failureCount;
    if (result.recalibrationsRefitted > 0) {
        std::cout << "; refitted " << result.recalibrationsRefitted
                  << (result.recalibrationsRefitted == 1 ? " recalibration" : " recalibrations");
    }
    std::cout << ".\n" << std::flush;
    return kExitSuccess;
}

int ApplyModels(Database& db, int dataSetId, std::span<const ModelInfo* const> models, int rangeId,
                int threads) {
    TerminalProgress progress(std::cerr, isatty(STDERR_FILENO) == 1);
    RunControl control(&progress, &CancelFlag());
    std::vector<int> numbers;
    for (const ModelInfo* model : models) numbers.push_back(model->number);
    int exitCode = kExitSuccess;
    const auto started = [&](std::size_t k) {
        progress.SetTask(std::string(models[k]->code) + " (" + std::to_string(k + 1) + "/" +
                         std::to_string(models.size()) + ")");
    };
    const auto applied = [&](std::size_t k, const ApplyModelResult& result) {
        switch (result.outcome) {
            case ApplyModelResult::Outcome::Stored:
                ReportStored(*models[k], result);
                return true;
            case ApplyModelResult::Outcome::Cancelled:
                exitCode = kExitFailure;
                return false;
            case ApplyModelResult::Outcome::Failed:
                exitCode = kExitFailure;
                // No other model could be stored either.
                return !db.WriteRefusal();
            case ApplyModelResult::Outcome::Exists:
            case ApplyModelResult::Outcome::Refused:
                exitCode = kExitFailure;
                return true;
        }
        return true;
    };
    tamsel::ApplyModels(db, dataSetId, numbers, rangeId, kDefaultInferenceMethodId, control,
                        threads, started, applied);
    return exitCode;
}

void AddModelCommands(CLI::App& app, CommandContext& context) {
    auto applyOptions = std::make_shared<ApplyOptions>();
    CLI::App* apply = app.add_subcommand("apply", "Fit models to a dataset and store the sets");
    AddProjectOption(*apply, applyOptions->db);
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
    auto* extend = apply->add_flag(
        "--extend", applyOptions->extend,
        "extend the model's sets whose range runs to the last failure but whose rows stop "
        "short of it (failures added since), fitting only the missing indices");
    extend->excludes(apply->get_option("--range"));
    apply->footer(
        "A model already applied to the dataset over the same range is skipped with a message "
        "and the others still run. Ctrl-C cancels the running model, which stores nothing, "
        "and ends the command.");
    apply->callback([&context, applyOptions] { context.exitCode = RunApply(*applyOptions); });

    auto setsOptions = std::make_shared<SetsOptions>();
    CLI::App* sets =
        app.add_subcommand("sets", "List the estimates sets and predictions sets of a dataset");
    AddProjectOption(*sets, setsOptions->db);
    sets->add_option("NAME", setsOptions->name, "dataset name")->required();
    AddFormatOption(*sets, setsOptions->format);
    sets->callback([&context, setsOptions] { context.exitCode = RunSets(*setsOptions); });

    auto estimatesOptions = std::make_shared<EstimatesOptions>();
    CLI::App* estimates = app.add_subcommand("estimates", "Print the estimates of a set");
    AddProjectOption(*estimates, estimatesOptions->db);
    estimates->add_option("SETID", estimatesOptions->setId, "estimates set key")->required();
    AddFormatOption(*estimates, estimatesOptions->format);
    AddColumnsFooter(*estimates, TableKind::Estimates,
                     {"FailureIndex", "Parameter1", "Parameter2", "Parameter3", "LogLikelihood",
                      "Pdf", "Cdf", "LowQ", "Median", "UppQ", "MTTF", "Outcome"});
    estimates->callback(
        [&context, estimatesOptions] { context.exitCode = RunEstimates(*estimatesOptions); });
}

}  // namespace tamsel::cli
