#include "recalibration_commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tamsel/workbench/recalibrate.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel::cli {
namespace {

struct RecalibrateOptions {
    std::string db;
    int setId = 0;
    int methodId = kDefaultRecalibrationMethodId;
};

struct PredictionsOptions {
    std::string db;
    int setId = 0;
    TableFormat format = TableFormat::Text;
};

void ReportStored(Database& db, const RecalibrateOptions& options, int predictionsSetId) {
    std::cout << "Stored predictions set " << predictionsSetId << ": estimates set "
              << options.setId;
    if (const std::optional<CurrentSelection> set =
            WithRecalibratedSet(db, CurrentSelection{}, predictionsSetId)) {
        std::cout << " (" << set->modelName << ") recalibrated by " << set->recalibrationMethodName
                  << ", failures " << set->rangeStart + kRecalibrationOffset << " to "
                  << set->rangeEnd - 1;
    }
    std::cout << ".\n";
}

int RunRecalibrate(const RecalibrateOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        if (!RecordExists(db, KeyedRecord::EstimatesSet, options.setId) ||
            !RecordExists(db, KeyedRecord::RecalibrationMethod, options.methodId)) {
            return kExitFailure;
        }
        TerminalProgress progress(std::cerr, isatty(STDERR_FILENO) == 1);
        const RecalibrationResult result = ApplyRecalibration(db, options.setId, options.methodId,
                                                              RunControl(&progress, &CancelFlag()));
        if (result.outcome != RecalibrationResult::Outcome::Stored) return kExitFailure;
        ReportStored(db, options, result.predictionsSetId);
        return kExitSuccess;
    });
}

int RunPredictions(const PredictionsOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        if (!RecordExists(db, KeyedRecord::PredictionsSet, options.setId)) return kExitFailure;
        const std::optional<RowSet> rows = PredictionsRows(db, options.setId);
        if (!rows) return kExitFailure;
        PrintTable(std::cout, *rows, options.format);
        return kExitSuccess;
    });
}

}  // namespace

void AddRecalibrationCommands(CLI::App& app, CommandContext& context) {
    auto recalibrateOptions = std::make_shared<RecalibrateOptions>();
    CLI::App* recalibrate = app.add_subcommand(
        "recalibrate", "Recalibrate the predictions of an estimates set and store them");
    AddProjectOption(*recalibrate, recalibrateOptions->db);
    recalibrate->add_option("SETID", recalibrateOptions->setId, "estimates set key")->required();
    recalibrate->add_option("--method", recalibrateOptions->methodId,
                            "recalibration method key (default 1)");
    recalibrate->footer(
        "Predictions are recalibrated from the 16th of the set on. A set already recalibrated "
        "by the method is refused. Ctrl-C cancels the recalibration, which stores nothing.");
    recalibrate->callback(
        [&context, recalibrateOptions] { context.exitCode = RunRecalibrate(*recalibrateOptions); });

    auto predictionsOptions = std::make_shared<PredictionsOptions>();
    CLI::App* predictions =
        app.add_subcommand("predictions", "Print the recalibrated predictions of a set");
    AddProjectOption(*predictions, predictionsOptions->db);
    predictions->add_option("PSETID", predictionsOptions->setId, "predictions set key")->required();
    AddFormatOption(*predictions, predictionsOptions->format);
    AddColumnsFooter(*predictions, TableKind::RecalibratedEstimates,
                     {"FailureIndex", "Pdf", "Cdf", "LowQ", "Median", "UppQ", "MTTF"});
    predictions->callback(
        [&context, predictionsOptions] { context.exitCode = RunPredictions(*predictionsOptions); });
}

}  // namespace tamsel::cli
