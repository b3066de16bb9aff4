#include "forecast_command.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "evaluation_commands.h"
#include "tamsel/workbench/forecast.h"

namespace tamsel::cli {
namespace {

struct ForecastOptions {
    std::string db;
    PredictionSetRef set;
    std::optional<int> at;
    ForecastQuery query;
    TableFormat format = TableFormat::Text;
};

int RunForecast(const ForecastOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        std::optional<std::vector<ForecastLine>> lines =
            ForecastSet(db, options.set, options.at, options.query);
        if (!lines) return kExitFailure;
        PrintTable(std::cout, ForecastTable(*lines), options.format);
        return kExitSuccess;
    });
}

}  // namespace

void AddForecastQueryOptions(CLI::App& command, ForecastQuery& query) {
    command.add_option("--mission", query.mission,
                       "mission time t: reliability and expected failures within t");
    CLI::Option* intensity =
        command.add_option("--target-intensity", query.targetIntensity,
                           "target failure intensity: the further test time (and fixes) to "
                           "reach it");
    command
        .add_option("--target-mttf", query.targetMttf,
                    "target MTTF M, read as the target intensity 1/M")
        ->excludes(intensity);
}

void AddForecastCommand(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<ForecastOptions>();
    CLI::App* forecast = app.add_subcommand(
        "forecast",
        "Failure intensity, MTTF, next failure, mission reliability and target of a set");
    AddProjectOption(*forecast, options->db);
    AddSetRefOption(
        *forecast, "SET", [options](PredictionSetRef set) { options->set = set; },
        "SETID, or pPSETID for a recalibrated set")
        ->required();
    forecast->add_option("--at", options->at,
                         "failure index to forecast from (default: the set's last)");
    AddForecastQueryOptions(*forecast, options->query);
    AddFormatOption(*forecast, options->format);
    forecast->footer(
        "Times are in the dataset's unit, from the cumulative time of the failure forecast from. "
        "The 90 % interval of the time to the next failure runs from its 5 % to its 95 % "
        "quantile. A recalibrated set recalibrates the next failure only: its intensity, MTTF, "
        "expected failures, faults remaining and target are \"not defined\". Faults remaining "
        "are defined for JM, GO, Li and LNHPP (\"unbounded\" in a limit without a finite fault "
        "content); a target is \"reached\", a further test time, or \"never\". A raw set ends "
        "with the 95 % intervals of its fit's parameters (Lower, Upper), or says why there are "
        "none. docs/models.md derives every quantity.");
    forecast->callback([&context, options] { context.exitCode = RunForecast(*options); });
}

}  // namespace tamsel::cli
