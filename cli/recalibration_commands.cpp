#include "recalibration_commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tamsel/recalibration/recalibration.h"
#include "tamsel/store/queries.h"
#include "tamsel/tables/text_table.h"
#include "tamsel/workbench/recalibrate.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel::cli {
namespace {

struct RecalibrateOptions {
    std::string db;
    int setId = 0;
    int methodId = kDefaultRecalibrationMethodId;
};

enum class PredictionsFormat { Text, Csv, Json, Zones };

struct PredictionsOptions {
    std::string db;
    int setId = 0;
    PredictionsFormat format = PredictionsFormat::Text;
};

// Whether table has a row with key in keyField; shows "There is no <what> with the key
// <key>." when it has none.
bool KeyExists(Database& db, const std::string& table, const std::string& keyField, int key,
               const std::string& what) {
    std::optional<RowSet> rows = SelectRecords(db, table, keyField, std::int64_t{key}, "", "", 0);
    if (!rows) return false;
    if (rows->rows.empty()) {
        ShowMessage("There is no " + what + " with the key " + std::to_string(key) + ".");
        return false;
    }
    return true;
}

void ReportStored(Database& db, const RecalibrateOptions& options, int predictionsSetId) {
    std::cout << "Stored predictions set " << predictionsSetId << ": estimates set "
              << options.setId;
    if (std::optional<RecalibratedSetAttributes> set =
            GetRecalibratedSetAttributes(db, predictionsSetId)) {
        std::cout << " (" << set->modelName << ") recalibrated by " << set->recalibrationMethodName
                  << ", failures " << set->rangeStart + kRecalibrationOffset << " to "
                  << set->rangeEnd - 1;
    }
    std::cout << ".\n";
}

int RunRecalibrate(const RecalibrateOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        if (!KeyExists(db, "EstimatesSets", "EstimatesSetID", options.setId, "estimates set") ||
            !KeyExists(db, "RecalibrationMethods", "RecalibrationMethodID", options.methodId,
                       "recalibration method")) {
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
        std::optional<RowSet> rows = PredictionsRows(db, options.setId);
        if (!rows) return kExitFailure;
        // Every stored predictions set has at least one row.
        if (rows->rows.empty()) {
            ShowMessage("There is no predictions set with the key " +
                        std::to_string(options.setId) + ".");
            return kExitFailure;
        }
        switch (options.format) {
            case PredictionsFormat::Text:
                PrintTable(std::cout, *rows, TableFormat::Text);
                break;
            case PredictionsFormat::Csv:
                PrintTable(std::cout, *rows, TableFormat::Csv);
                break;
            case PredictionsFormat::Json:
                PrintTable(std::cout, *rows, TableFormat::Json);
                break;
            case PredictionsFormat::Zones:
                WriteTextTable(std::cout, *rows);
                break;
        }
        return kExitSuccess;
    });
}

}  // namespace

void AddRecalibrationCommands(CLI::App& app, CommandContext& context) {
    auto recalibrateOptions = std::make_shared<RecalibrateOptions>();
    CLI::App* recalibrate = app.add_subcommand(
        "recalibrate", "Recalibrate the predictions of an estimates set and store them");
    recalibrate->add_option("DB", recalibrateOptions->db, "project file")->required();
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
    predictions->add_option("DB", predictionsOptions->db, "project file")->required();
    predictions->add_option("PSETID", predictionsOptions->setId, "predictions set key")->required();
    AddChoiceOption(*predictions, "--format",
                    "table layout (default text; zones: the saved table's print zones)",
                    predictionsOptions->format,
                    {{"text", PredictionsFormat::Text},
                     {"csv", PredictionsFormat::Csv},
                     {"json", PredictionsFormat::Json},
                     {"zones", PredictionsFormat::Zones}});
    predictions->callback(
        [&context, predictionsOptions] { context.exitCode = RunPredictions(*predictionsOptions); });
}

}  // namespace tamsel::cli
