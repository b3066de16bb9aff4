// The evaluation commands of tamsel-cli: evaluate and next.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "cli_run.h"
#include "tamsel/models/model_table.h"
#include "tamsel/prediction/forecast.h"
#include "tamsel/prediction/intervals.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/tables/text_table.h"
#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/plots.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Lines;

// Comma-separated fields of a CSV line without quoted fields.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

// SYS1 with every model applied and the Jelinski-Moranda set recalibrated, made once.
class EvaluationCommands : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<test::TempDir>();
        const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
        for (std::vector<std::string> args : {std::vector<std::string>{"new", "x.db"},
                                              {"import", "x.db", "SYS1", sys1},
                                              {"apply", "x.db", "SYS1", "all"},
                                              {"recalibrate", "x.db", "1"}}) {
            CliRun run = test::RunCli(*s_dir, args);
            ASSERT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    CliRun Run(std::vector<std::string> args) { return test::RunCli(*s_dir, std::move(args)); }
    std::string DbPath() const { return s_dir->File("x.db"); }

    static std::unique_ptr<test::TempDir> s_dir;
};

std::unique_ptr<test::TempDir> EvaluationCommands::s_dir;

TEST_F(EvaluationCommands, EvaluateRanksEverySetOfSys1) {
    CliRun run = Run({"evaluate", "x.db", "SYS1", "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0],
              "Rank,Set,Model,Kind,Points,From,To,U-plot KS,U-plot p,Y-plot KS,Y-plot p,-ln PL,"
              "log(PLR) vs JM,Verdict,AIC (fit to 136),BIC (fit to 136)");

    Database db(DbPath(), Database::OpenMode::ReadOnlyFile);
    std::optional<Evaluation> expected = EvaluateDataSet(db, "SYS1", std::nullopt, std::nullopt);
    ASSERT_TRUE(expected.has_value());
    std::set<std::string> models;
    double previous = 0.0;
    for (std::size_t k = 0; k < 9; ++k) {
        std::vector<std::string> fields = Fields(lines[k + 1]);
        ASSERT_GE(fields.size(), 14u) << lines[k + 1];
        const SetEvaluation& set = expected->sets[k];
        EXPECT_EQ(fields[0], std::to_string(set.rank));
        EXPECT_EQ(fields[1], SetRefText(set.set));
        EXPECT_EQ(fields[2], set.label);
        EXPECT_EQ(fields[3], set.set.recalibrated ? "recalibrated" : "raw");
        EXPECT_EQ(fields[4], "101");
        EXPECT_EQ(fields[5], "35");
        EXPECT_EQ(fields[6], "135");
        // Seventeen digits read back as the same doubles.
        EXPECT_EQ(std::stod(fields[7]), set.uPlotDistance);
        EXPECT_EQ(std::stod(fields[8]), set.uPlotP.value());
        EXPECT_EQ(std::stod(fields[9]), set.yPlotDistance);
        EXPECT_EQ(std::stod(fields[10]), set.yPlotP.value());
        EXPECT_EQ(std::stod(fields[11]), set.minusLogPl);
        EXPECT_EQ(std::stod(fields[12]), set.logPlr);
        EXPECT_EQ(fields[13], set.verdict);
        EXPECT_GE(set.minusLogPl, previous);
        previous = set.minusLogPl;
        models.insert(fields[2]);
        if (fields[1] == "1") {
            EXPECT_EQ(fields[12], "0");
        }
    }
    EXPECT_EQ(models,
              (std::set<std::string>{"JM", "Du", "MO", "GO", "Li", "LNHPP", "LV", "KL", "JM#"}));

    // The u-plot distance is the one the u-plot of the set shows over the same failures.
    auto jm = std::find_if(expected->sets.begin(), expected->sets.end(),
                           [](const SetEvaluation& set) { return set.label == "JM"; });
    CurrentSelection selection;
    selection.dataSetName = "SYS1";
    selection.estimatesSetId = jm->set.id;
    selection.rangeStart = 20;
    std::optional<Plot> uPlot = PlotUPlots(db, selection, 35);
    ASSERT_TRUE(uPlot.has_value());
    EXPECT_EQ(uPlot->chart.groups[1].series[0].label,
              KolmogorovLabel("JM", jm->uPlotDistance, jm->uPlotP));
    // Over those 101 failures the JM u-values stray from the uniform (p = 0.0031).
    EXPECT_EQ(jm->verdict, "biased (u-plot p=0.003)");
}

TEST_F(EvaluationCommands, EvaluateWithStartReferenceAndOtherFormats) {
    CliRun csv =
        Run({"evaluate", "x.db", "SYS1", "--start", "40", "--reference", "p1", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::vector<std::string> lines = Lines(csv.out);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(Fields(lines[0])[12], "log(PLR) vs JM#");
    for (std::size_t k = 1; k < lines.size(); ++k) {
        std::vector<std::string> fields = Fields(lines[k]);
        EXPECT_EQ(fields[4], "96");
        EXPECT_EQ(fields[5], "40");
        if (fields[1] == "p1") {
            EXPECT_EQ(fields[12], "0");
        }
    }

    lines = Lines(Run({"evaluate", "x.db", "SYS1"}).out);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0].substr(0, 22), "Rank  Set  Model  Kind");
    const std::string json = Run({"evaluate", "x.db", "SYS1", "--format", "json"}).out;
    EXPECT_EQ(json.substr(0, 14), "[\n  {\"Rank\": 1");
    EXPECT_NE(json.find("\"Set\": \"p1\""), std::string::npos);
}

TEST_F(EvaluationCommands, TrendOfSys1) {
    CliRun csv = Run({"trend", "x.db", "SYS1", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.err, "");
    std::vector<std::string> lines = Lines(csv.out);
    ASSERT_EQ(lines.size(), 137u);
    EXPECT_EQ(lines[0], "Failure,Laplace factor,Running average,Trend");
    // SYS1 begins 3, 30, 113: T = 3, 33, 146. u(2) = (3/33 - 1/2) sqrt(12),
    // u(3) = (18/146 - 1/2) sqrt(24).
    EXPECT_EQ(lines[1], "1,,3,");
    const std::vector<std::string> second = Fields(lines[2]);
    EXPECT_CLOSE(std::stod(second[1]), (3.0 / 33 - 0.5) * std::sqrt(12.0), 1e-14);
    EXPECT_EQ(second[2], "16.5");
    EXPECT_EQ(second[3], "no significant trend");
    const std::vector<std::string> third = Fields(lines[3]);
    EXPECT_CLOSE(std::stod(third[1]), (18.0 / 146 - 0.5) * std::sqrt(24.0), 1e-14);
    EXPECT_EQ(third[3], "reliability growth");
    EXPECT_EQ(Fields(lines[136])[3], "reliability growth");

    // The text form ends with the final factor, the critical values and the verdict.
    lines = Lines(Run({"trend", "x.db", "SYS1"}).out);
    ASSERT_EQ(lines.size(), 141u);
    EXPECT_EQ(lines[137], "");
    EXPECT_EQ(lines[138].substr(0, 30), "Laplace factor at failure 136:");
    EXPECT_EQ(lines[139],
              "One-sided critical values: ±1.645 at 5 %, ±2.326 at 1 %; negative values mean "
              "growth");
    EXPECT_EQ(lines[140], "Verdict: reliability growth (significant at the 1 % level)");

    test::ExpectRun(Run({"trend", "x.db", "NONE"}), 1, "", "There is no dataset named \"NONE\".\n");
}

TEST_F(EvaluationCommands, RefusalsOfEvaluateNextAndForecast) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"evaluate", "x.db", "SYS1", "--reference", "99"},
         1,
         "The reference set 99 is not a set of the dataset SYS1.\n"},
        {{"evaluate", "x.db", "SYS1", "--start", "200"},
         1,
         "The sets of the dataset SYS1 predict no failure in common from failure 200 on.\n"},
        {{"evaluate", "x.db", "NONE"}, 1, "There is no dataset named \"NONE\".\n"},
        {{"next", "x.db", "1", "-5"},
         1,
         "The time to the next failure must be a number of 0 or more.\n"},
        {{"next", "x.db", "99", "5"}, 1, "There is no estimates set with the key 99.\n"},
        {{"evaluate", "x.db", "SYS1", "--reference", "x"}, 2, ""},
        {{"evaluate", "x.db", "SYS1", "--reference", "p"}, 2, ""},
        {{"evaluate", "x.db", "SYS1", "--reference", "0"}, 2, ""},
        {{"evaluate", "x.db", "SYS1", "--reference", "p-1"}, 2, ""},
        {{"next", "x.db", "1", "abc"}, 2, ""},
        {{"next", "x.db", "p1", "-5"},
         1,
         "The time to the next failure must be a number of 0 or more.\n"},
        {{"next", "x.db", "p9", "5"},
         1,
         "The project holds no recalibrated set p9. List the sets of a dataset to find their "
         "keys.\n"},
        {{"evaluate", "x.db", "SYS1", "--fit-at", "10"},
         1,
         "Failure 10 is not fitted by every estimates set of the dataset SYS1. Choose a failure "
         "from 20 to 136.\n"},
        {{"forecast", "x.db", "99"},
         1,
         "The project holds no estimates set 99. List the sets of a dataset to find their "
         "keys.\n"},
        {{"forecast", "x.db", "1", "--at", "137"},
         1,
         "Failure 137 is outside the forecasts of set 1 (JM), which run from failure 20 to 136. "
         "Choose an index in that range.\n"},
        {{"forecast", "x.db", "p1", "--at", "34"},
         1,
         "Failure 34 is outside the forecasts of set p1 (JM#), which run from failure 35 to "
         "136. Choose an index in that range.\n"},
        {{"forecast", "x.db", "1", "--mission", "0"},
         1,
         "The mission time must be a number above 0.\n"},
        {{"forecast", "x.db", "1", "--target-mttf", "-3"},
         1,
         "The target MTTF must be a number above 0.\n"},
        {{"forecast", "x.db", "1", "--target-intensity", "inf"},
         1,
         "The target failure intensity must be a number above 0.\n"},
        {{"forecast", "x.db", "1", "--target-intensity", "1", "--target-mttf", "1"}, 2, ""},
        {{"forecast", "x.db", "q1"}, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        test::ExpectRun(Run(c.args), c.exitCode, "", c.err);
    }
}

TEST_F(EvaluationCommands, NextFromTheLastFit) {
    // The Jelinski-Moranda set's last row: N and Lambda after 136 failures.
    Database db(DbPath(), Database::OpenMode::ReadOnlyFile);
    Statement last = db.Prepare(
        "SELECT Parameter1, Parameter2 FROM Estimates WHERE EstimatesSetID = 1 "
        "ORDER BY FailureIndex DESC LIMIT 1;");
    ASSERT_TRUE(last.Step());
    const double rate = (last.ColumnDouble(0) - 136) * last.ColumnDouble(1);

    CliRun run = Run({"next", "x.db", "1", "250.5", "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Failure time,U-value,Pdf");
    std::vector<std::string> fields = Fields(lines[1]);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0], "250.5");
    EXPECT_CLOSE(std::stod(fields[1]), 1 - std::exp(-rate * 250.5), 1e-13);
    EXPECT_CLOSE(std::stod(fields[2]), rate * std::exp(-rate * 250.5), 1e-13);
}

// The lines of a forecast printed as csv by quantity: its value, and a parameter's interval.
std::map<std::string, std::vector<std::string>> ForecastRows(const CliRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::map<std::string, std::vector<std::string>> rows;
    for (const std::string& line : Lines(run.out)) {
        std::vector<std::string> fields = Fields(line);
        fields.resize(4);
        rows[fields[0]] = {fields.begin() + 1, fields.end()};
    }
    EXPECT_EQ(rows["Quantity"], (std::vector<std::string>{"Value", "Lower", "Upper"}));
    return rows;
}

// The values of a forecast printed as csv, by quantity.
std::map<std::string, std::string> ForecastValues(const CliRun& run) {
    std::map<std::string, std::string> values;
    for (const auto& [quantity, fields] : ForecastRows(run)) values[quantity] = fields[0];
    return values;
}

// The stored fit of estimates set setId at failure index, as the forecast reads it.
StoredFit StoredFitAt(Database& db, int setId, int index) {
    Statement row = db.Prepare(
        "SELECT Parameter1, Parameter2, Parameter3, Median, CumulativeTime FROM Estimates "
        "JOIN EstimatesSets USING (EstimatesSetID) JOIN FailureTimes ON FailureTimes.DataSetID "
        "= EstimatesSets.DataSetID AND FailureTimes.FailureIndex = Estimates.FailureIndex "
        "WHERE EstimatesSetID = ?1 AND Estimates.FailureIndex = ?2;");
    row.Bind(1, std::int64_t{setId});
    row.Bind(2, std::int64_t{index});
    EXPECT_TRUE(row.Step());
    return {index,
            row.ColumnDouble(0),
            row.ColumnDouble(1),
            row.ColumnDouble(2),
            row.ColumnDouble(3),
            row.ColumnDouble(4)};
}

TEST_F(EvaluationCommands, ForecastOfARawSetIsItsModelsForecastAtTheStoredFit) {
    Database db(DbPath(), Database::OpenMode::ReadOnlyFile);
    // Sets 1..8 are models 1..8; SYS1's fits end at failure 136.
    const struct {
        int set;
        std::optional<int> at;
    } cases[] = {{1, std::nullopt}, {1, 60}, {2, 100}, {4, std::nullopt},
                 {5, std::nullopt}, {6, 40}, {7, 136}, {8, 90}};
    for (const auto& c : cases) {
        const int index = c.at.value_or(136);
        SCOPED_TRACE("set " + std::to_string(c.set) + " at " + std::to_string(index));
        std::vector<std::string> args = {"forecast",  "x.db",     std::to_string(c.set),
                                         "--mission", "500",      "--target-mttf",
                                         "4000",      "--format", "csv"};
        if (c.at) args.insert(args.end(), {"--at", std::to_string(*c.at)});
        std::map<std::string, std::string> values = ForecastValues(Run(args));

        const StoredFit fit = StoredFitAt(db, c.set, index);
        const ModelInfo& model = *FindModel(c.set);
        const Forecast expected = ForecastAt(model, fit, {500.0, 1.0 / 4000});
        EXPECT_EQ(values["Failure index"], std::to_string(index));
        EXPECT_EQ(std::stod(values["Cumulative time"]), fit.time);
        EXPECT_EQ(std::stod(values["Failure intensity"]), expected.intensity.value());
        EXPECT_EQ(std::stod(values["Median time to next failure"]), expected.median);
        EXPECT_EQ(std::stod(values["5 % quantile of time to next failure"]), expected.lower);
        EXPECT_EQ(std::stod(values["95 % quantile of time to next failure"]), expected.upper);
        EXPECT_EQ(std::stod(values["Reliability over the mission"]), expected.reliability.value());
        EXPECT_EQ(std::stod(values["Target failure intensity"]), 1.0 / 4000);
        if (expected.expectedFailures) {
            EXPECT_EQ(std::stod(values["Expected failures in the mission"]),
                      *expected.expectedFailures);
        } else {
            EXPECT_EQ(values["Expected failures in the mission"], "not defined");
        }
        if (!expected.countsFaults) {
            EXPECT_EQ(values["Faults remaining"], "not defined");
        } else if (!expected.faultsRemaining) {
            EXPECT_EQ(values["Faults remaining"], "unbounded");
        }
        if (c.set == 1) {
            // JM by hand: N - n faults left, each found at rate Lambda.
            const double left = fit.param1 - index;
            EXPECT_CLOSE(std::stod(values["Faults remaining"]), left, 1e-15);
            EXPECT_CLOSE(std::stod(values["Failure intensity"]), left * fit.param2, 1e-15);
            EXPECT_CLOSE(std::stod(values["Reliability over the mission"]),
                         std::exp(-left * fit.param2 * 500), 1e-14);
            EXPECT_CLOSE(std::stod(values["MTTF"]), 1 / (left * fit.param2), 1e-14);
        }
    }
}

TEST_F(EvaluationCommands, RecalibratedForecastAgreesWithRecalibratedNextFailure) {
    std::map<std::string, std::string> values =
        ForecastValues(Run({"forecast", "x.db", "p1", "--mission", "800", "--target-intensity",
                            "1e-4", "--format", "csv"}));
    for (const char* undefined : {"Failure intensity", "MTTF", "Expected failures in the mission",
                                  "Faults remaining", "Test time to reach the target"}) {
        EXPECT_EQ(values[undefined], "not defined") << undefined;
    }
    // The recalibrated distribution of the next failure reaches 0.05, 0.5 and 0.95 at the
    // forecast's quantiles (as closely as the spline is inverted), and 1 - R at the mission.
    const struct {
        std::string time;
        double level;
        double tolerance;
    } levels[] = {{values["5 % quantile of time to next failure"], 0.05, 1e-5},
                  {values["Median time to next failure"], 0.5, 1e-5},
                  {values["95 % quantile of time to next failure"], 0.95, 1e-5},
                  {"800", 1 - std::stod(values["Reliability over the mission"]), 1e-15}};
    for (const auto& [time, level, tolerance] : levels) {
        CliRun next = Run({"next", "x.db", "p1", time, "--format", "csv"});
        ASSERT_EQ(next.exitCode, 0) << next.err;
        EXPECT_CLOSE_ABS(std::stod(Fields(Lines(next.out).at(1)).at(1)), level, tolerance) << time;
    }
}

TEST_F(EvaluationCommands, ForecastShowsTheIntervalsOfTheRawFitsParameters) {
    Database db(DbPath(), Database::OpenMode::ReadOnlyFile);
    FailureSeries x;
    FailureSeries t;
    ASSERT_TRUE(ReadFailureTimes(db, 1, x, t));
    for (const int index : {136, 60}) {
        SCOPED_TRACE(index);
        std::map<std::string, std::vector<std::string>> rows = ForecastRows(
            Run({"forecast", "x.db", "1", "--at", std::to_string(index), "--format", "csv"}));
        const ParameterIntervals expected = ParameterIntervalsAt(
            *FindModel(1), x, t, StoredFitAt(db, 1, index), FitOutcome::Converged);
        ASSERT_EQ(expected.status, IntervalStatus::Computed);
        EXPECT_EQ(rows["95 % intervals for the parameters (profile likelihood)"][0], "");
        for (const auto& [name, k] : {std::pair{"N", 0}, {"Lambda", 1}}) {
            const ParameterInterval& p = expected.parameters[static_cast<std::size_t>(k)];
            ASSERT_LT(p.upper, INFINITY) << name;
            EXPECT_EQ(rows[name], (std::vector<std::string>{FormatTableNumber(p.estimate, 17),
                                                            FormatTableNumber(p.lower, 17),
                                                            FormatTableNumber(p.upper, 17)}))
                << name;
        }
    }

    // Li ends at failure 136 in its MO limit; a set stored before outcomes were kept is
    // recognised as one by its record. A recalibrated set has no likelihood of its own.
    const std::string old = s_dir->File("no-outcomes.db");
    std::filesystem::copy_file(DbPath(), old);
    Database(old, Database::OpenMode::ExistingFile).Execute("DELETE FROM FitOutcomes;");
    const struct {
        std::string db;
        std::string set;
        std::string heading;
        std::string value;
    } cases[] = {
        {"x.db", "5", "95 % intervals for the parameters (observed information)",
         "no finite interval: the fit is at a limit"},
        {old, "5", "95 % intervals for the parameters (observed information)",
         "no finite interval: the fit is at a limit"},
        {"x.db", "p1", "95 % intervals for the parameters", "not defined"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.db + " " + c.set);
        std::map<std::string, std::vector<std::string>> rows =
            ForecastRows(Run({"forecast", c.db, c.set, "--format", "csv"}));
        EXPECT_EQ(rows[c.heading][0], c.value);
        EXPECT_EQ(rows.count("N"), 0u);
    }
}

TEST_F(EvaluationCommands, EvaluateShowsAicAndBicOfTheStoredFits) {
    const std::string old = s_dir->File("old.db");
    std::filesystem::copy_file(DbPath(), old);
    Database db(old, Database::OpenMode::ExistingFile);
    // Li and LNHPP end at failure 136 in their Musa-Okumoto limit (N, Mu = 999999), which has
    // two free parameters as their other two-parameter limits; LV and KL are interior.
    Statement limits = db.Prepare(
        "SELECT COUNT(*) FROM Estimates WHERE EstimatesSetID IN (5, 6) AND FailureIndex = 136 "
        "AND Parameter1 = 999999;");
    ASSERT_TRUE(limits.Step());
    ASSERT_EQ(limits.ColumnInt(0), 2);
    const std::map<std::string, int> k = {{"JM", 2}, {"Du", 2},    {"MO", 2}, {"GO", 2},
                                          {"Li", 2}, {"LNHPP", 2}, {"LV", 3}, {"KL", 3}};
    const auto logLhd = [&db](const std::string& set, int index) {
        Statement row = db.Prepare(
            "SELECT LogLikelihood FROM Estimates WHERE EstimatesSetID = ?1 AND FailureIndex = ?2;");
        row.Bind(1, std::int64_t{std::stoi(set)});
        row.Bind(2, std::int64_t{index});
        EXPECT_TRUE(row.Step());
        return row.ColumnDouble(0);
    };
    // A set from a version that kept no log-likelihood has none.
    db.Execute("UPDATE Estimates SET LogLikelihood = 0 WHERE EstimatesSetID = 3;");

    // At 136 every set by the table above; at 60 (--fit-at) Duane's closed-form fit.
    for (const int index : {136, 60}) {
        std::vector<std::string> args = {"evaluate", old, "SYS1", "--format", "csv"};
        if (index != 136) args.insert(args.end(), {"--fit-at", std::to_string(index)});
        CliRun run = Run(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), 10u);
        const std::string fit = " (fit to " + std::to_string(index) + ")";
        EXPECT_EQ(Fields(lines[0])[14], "AIC" + fit);
        EXPECT_EQ(Fields(lines[0])[15], "BIC" + fit);
        for (std::size_t row = 1; row < lines.size(); ++row) {
            std::vector<std::string> fields = Fields(lines[row]);
            SCOPED_TRACE(lines[row]);
            fields.resize(16);
            if (fields[3] == "recalibrated" || fields[1] == "3") {
                EXPECT_EQ(fields[14], "");
                EXPECT_EQ(fields[15], "");
                continue;
            }
            if (index != 136 && fields[2] != "Du") continue;
            const double twiceLogLhd = 2 * logLhd(fields[1], index);
            const int free = k.at(fields[2]);
            EXPECT_CLOSE(std::stod(fields[14]), 2 * free - twiceLogLhd, 1e-14);
            EXPECT_CLOSE(std::stod(fields[15]), free * std::log(index) - twiceLogLhd, 1e-14);
        }
    }
}

}  // namespace
}  // namespace tamsel
