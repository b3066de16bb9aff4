#include "evaluation_commands.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/next_failure.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel::cli {
namespace {

struct EvaluateOptions {
    std::string db;
    std::string name;
    std::optional<int> start;
    std::optional<PredictionSetRef> reference;
    std::optional<int> fitIndex;
    TableFormat format = TableFormat::Text;
};

struct TrendOptions {
    std::string db;
    std::string name;
    TableFormat format = TableFormat::Text;
};

struct NextOptions {
    std::string db;
    PredictionSetRef set;
    double time = 0.0;
    TableFormat format = TableFormat::Text;
};

// One row a failure: the Laplace factor and running average up to it, and the verdict of the
// test on the failures so far.
RowSet TrendTable(const std::vector<TrendPoint>& trend) {
    RowSet table;
    table.headings = {"Failure", "Laplace factor", "Running average", "Trend"};
    for (const TrendPoint& point : trend) {
        table.rows.push_back(
            {std::int64_t{point.failureIndex}, point.laplace ? DbValue{*point.laplace} : DbValue{},
             point.runningAverage,
             point.laplace ? DbValue{TrendVerdictText(LaplaceVerdict(*point.laplace))}
                           : DbValue{}});
    }
    return table;
}

std::string TrendSummary(int failureIndex, double u) {
    return "Laplace factor at failure " + std::to_string(failureIndex) + ": " + FormatNumber(u, 4) +
           "\n" + "One-sided critical values: ±" + FormatNumber(kLaplace5, 4) + " at 5 %, ±" +
           FormatNumber(kLaplace1, 4) + " at 1 %; negative values mean growth\n" +
           "Verdict: " + LaplaceConclusion(u) + "\n";
}

int RunTrend(const TrendOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        std::optional<std::vector<TrendPoint>> trend = ReadTrend(db, options.name);
        if (!trend) return kExitFailure;
        if (trend->empty() || !trend->back().laplace) {
            ShowMessage("The dataset " + options.name +
                        " has no Laplace factor at its last failure: the test needs at least 2 "
                        "failures and a cumulative time above 0.");
            return kExitFailure;
        }
        PrintTable(std::cout, TrendTable(*trend), options.format);
        // Csv and json stay one table for programs; the last row carries the verdict.
        if (options.format == TableFormat::Text) {
            std::cout << '\n' << TrendSummary(trend->back().failureIndex, *trend->back().laplace);
        }
        return kExitSuccess;
    });
}

int RunEvaluate(const EvaluateOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        std::optional<Evaluation> evaluation =
            EvaluateDataSet(db, options.name, options.start, options.reference, options.fitIndex);
        if (!evaluation) return kExitFailure;
        PrintTable(std::cout, EvaluationTable(*evaluation, options.format == TableFormat::Text),
                   options.format);
        return kExitSuccess;
    });
}

int RunNext(const NextOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        // A recalibrated set that is not there is named by the prediction itself.
        if (!options.set.recalibrated &&
            !RecordExists(db, KeyedRecord::EstimatesSet, options.set.id)) {
            return kExitFailure;
        }
        CurrentSelection selection;
        selection.estimatesSetId = options.set.recalibrated ? 0 : options.set.id;
        selection.recalibrated = options.set.recalibrated;
        selection.predictionsSetId = options.set.recalibrated ? options.set.id : 0;
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

CLI::Option* AddSetRefOption(CLI::App& command, const std::string& name,
                             std::function<void(PredictionSetRef)> store,
                             const std::string& description) {
    return command
        .add_option_function<std::string>(
            name, [store](const std::string& text) { store(*ParseSetRef(text)); }, description)
        ->check(
            [](const std::string& text) {
                return ParseSetRef(text) ? std::string() : "expected SETID or pPSETID";
            },
            "SETID|pPSETID");
}

void AddEvaluationCommands(CLI::App& app, CommandContext& context) {
    auto evaluateOptions = std::make_shared<EvaluateOptions>();
    CLI::App* evaluate = app.add_subcommand(
        "evaluate", "Rank every raw and recalibrated set of a dataset by its predictions");
    AddProjectOption(*evaluate, evaluateOptions->db);
    evaluate->add_option("NAME", evaluateOptions->name, "dataset name")->required();
    evaluate->add_option("--start", evaluateOptions->start,
                         "first failure index judged (default: the largest range start + 15)");
    AddSetRefOption(
        *evaluate, "--reference",
        [evaluateOptions](PredictionSetRef set) { evaluateOptions->reference = set; },
        "SETID or pPSETID: the set log(PLR) compares with (default: the first estimates set)");
    evaluate->add_option("--fit-at", evaluateOptions->fitIndex,
                         "failure index of AIC and BIC, the same for every set (default: the "
                         "largest that every estimates set has fitted)");
    AddFormatOption(*evaluate, evaluateOptions->format);
    evaluate->footer(
        "Every set is judged on the same failures: those from the start on that all of the "
        "dataset's sets predict. Columns: the Kolmogorov distances of the u-plot and the "
        "y-plot, each with the p-value of the standard statistic against the uniform "
        "distribution, minus the log prequential likelihood (smaller is better; the rank "
        "follows it), the log prequential likelihood ratio against the reference (positive: "
        "the set predicted the observed failures better), and the verdict: \"biased\" (u-plot) "
        "or \"drifting\" (y-plot) when either p-value is below 0.05, naming the smaller. Then AIC "
        "and BIC of each estimates set's fit at one failure index (--fit-at): they measure the "
        "fit to the failures seen so far, not the prediction of the next; recalibrated sets "
        "and sets stored without a log-likelihood have none.");
    evaluate->callback(
        [&context, evaluateOptions] { context.exitCode = RunEvaluate(*evaluateOptions); });

    auto trendOptions = std::make_shared<TrendOptions>();
    CLI::App* trend = app.add_subcommand(
        "trend", "Laplace trend test and running average of a dataset's failure times");
    AddProjectOption(*trend, trendOptions->db);
    trend->add_option("NAME", trendOptions->name, "dataset name")->required();
    AddFormatOption(*trend, trendOptions->format);
    trend->footer(
        "For each failure i: the Laplace factor u(i) of the failures up to i (failure-truncated; "
        "negative values mean reliability growth), the running average of the interfailure "
        "times, and the verdict of the one-sided test at 5 %. The text form ends with the "
        "final factor, the critical values and the verdict.");
    trend->callback([&context, trendOptions] { context.exitCode = RunTrend(*trendOptions); });

    auto nextOptions = std::make_shared<NextOptions>();
    CLI::App* next = app.add_subcommand(
        "next", "U-value and predictive density of a proposed time to the next failure");
    AddProjectOption(*next, nextOptions->db);
    AddSetRefOption(
        *next, "SET", [nextOptions](PredictionSetRef set) { nextOptions->set = set; },
        "SETID, or pPSETID for a recalibrated set")
        ->required();
    next->add_option("TIME", nextOptions->time,
                     "time from the set's last fitted failure, in the dataset's time unit")
        ->required();
    AddFormatOption(*next, nextOptions->format);
    next->callback([&context, nextOptions] { context.exitCode = RunNext(*nextOptions); });
}

}  // namespace tamsel::cli
