#include "evaluation_commands.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tamsel/measures/evaluation.h"
#include "tamsel/prediction/next_failure.h"

namespace tamsel::cli {
namespace {

struct EvaluateOptions {
    std::string db;
    std::string name;
    std::optional<int> start;
    std::optional<PredictionSetRef> reference;
    TableFormat format = TableFormat::Text;
};

struct NextOptions {
    std::string db;
    int setId = 0;
    double time = 0.0;
    TableFormat format = TableFormat::Text;
};

RowSet LeagueTable(const Evaluation& evaluation) {
    RowSet table;
    table.headings = {"Rank",
                      "Set",
                      "Model",
                      "Kind",
                      "Points",
                      "From",
                      "To",
                      "U-plot KS",
                      "Y-plot KS",
                      "-ln PL",
                      "log(PLR) vs " + evaluation.referenceLabel};
    for (const SetEvaluation& set : evaluation.sets) {
        table.rows.push_back({std::int64_t{set.rank}, SetRefText(set.set), set.label,
                              std::string(set.set.recalibrated ? "recalibrated" : "raw"),
                              std::int64_t{evaluation.points}, std::int64_t{evaluation.firstIndex},
                              std::int64_t{evaluation.lastIndex}, set.uPlotDistance,
                              set.yPlotDistance, set.minusLogPl, set.logPlr});
    }
    return table;
}

int RunEvaluate(const EvaluateOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        std::optional<Evaluation> evaluation =
            EvaluateDataSet(db, options.name, options.start, options.reference);
        if (!evaluation) return kExitFailure;
        PrintTable(std::cout, LeagueTable(*evaluation), options.format);
        return kExitSuccess;
    });
}

int RunNext(const NextOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        CurrentSelection selection;
        selection.estimatesSetId = options.setId;
        std::optional<NextFailurePrediction> prediction =
            PredictNextFailure(db, selection, options.time);
        if (!prediction) return kExitFailure;
        RowSet table;
        table.headings = {"Failure time", "U-value", "Pdf"};
        table.rows.push_back({options.time, prediction->u, prediction->pdf});
        PrintTable(std::cout, table, options.format);
        return kExitSuccess;
    });
}

}  // namespace

void AddEvaluationCommands(CLI::App& app, CommandContext& context) {
    auto evaluateOptions = std::make_shared<EvaluateOptions>();
    CLI::App* evaluate = app.add_subcommand(
        "evaluate", "Rank every raw and recalibrated set of a dataset by its predictions");
    evaluate->add_option("DB", evaluateOptions->db, "project file")->required();
    evaluate->add_option("NAME", evaluateOptions->name, "dataset name")->required();
    evaluate->add_option("--start", evaluateOptions->start,
                         "first failure index judged (default: the largest range start + 15)");
    evaluate
        ->add_option_function<std::string>(
            "--reference",
            [evaluateOptions](const std::string& text) {
                evaluateOptions->reference = ParseSetRef(text);
            },
            "SETID or pPSETID: the set log(PLR) compares with (default: the first estimates set)")
        ->check(
            [](const std::string& text) {
                return ParseSetRef(text) ? std::string() : "expected SETID or pPSETID";
            },
            "SETID|pPSETID");
    AddFormatOption(*evaluate, evaluateOptions->format);
    evaluate->footer(
        "Every set is judged on the same failures: those from the start on that all of the "
        "dataset's sets predict. Columns: the Kolmogorov distances of the u-plot and the "
        "y-plot, minus the log prequential likelihood (smaller is better; the rank follows "
        "it), and the log prequential likelihood ratio against the reference (positive: the "
        "set predicted the observed failures better).");
    evaluate->callback(
        [&context, evaluateOptions] { context.exitCode = RunEvaluate(*evaluateOptions); });

    auto nextOptions = std::make_shared<NextOptions>();
    CLI::App* next = app.add_subcommand(
        "next", "U-value and predictive density of a proposed time to the next failure");
    next->add_option("DB", nextOptions->db, "project file")->required();
    next->add_option("SETID", nextOptions->setId, "estimates set key")->required();
    next->add_option("TIME", nextOptions->time,
                     "time from the set's last fitted failure, in the dataset's time unit")
        ->required();
    AddFormatOption(*next, nextOptions->format);
    next->callback([&context, nextOptions] { context.exitCode = RunNext(*nextOptions); });
}

}  // namespace tamsel::cli
