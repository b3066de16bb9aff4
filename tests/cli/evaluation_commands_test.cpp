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
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Fields;
using test::Lines;

// SYS1 with every model applied and the Jelinski-Moranda set recalibrated, made once.
class EvaluationCommands : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<test::TempDir>();
        s_db = s_dir->ProjectLocation("x.db");
        const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
        for (std::vector<std::string> args : {std::vector<std::string>{"new", s_db},
                                              {"import", s_db, "SYS1", sys1},
                                              {"apply", s_db, "SYS1", "all"},
                                              {"recalibrate", s_db, "1"}}) {
            CliRun run = test::RunCli(*s_dir, args);
            ASSERT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    CliRun Run(std::vector<std::string> args) { return test::RunCli(*s_dir, std::move(args)); }

    static std::unique_ptr<test::TempDir> s_dir;
    static std::string s_db;
};

std::unique_ptr<test::TempDir> EvaluationCommands::s_dir;
std::string EvaluationCommands::s_db;

TEST_F(EvaluationCommands, EvaluateRanksEverySetOfSys1) {
    CliRun run = Run({"evaluate", s_db, "SYS1", "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0],
              "Rank,Set,Model,Kind,Points,From,To,U-plot KS,U-plot p,Y-plot KS,Y-plot p,-ln PL,"
              "log(PLR) vs JM,Verdict,AIC (fit to 136),BIC (fit to 136)");
    std::set<std::string> models;
    double previous = 0.0;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        std::vector<std::string> fields = Fields(lines[k]);
        ASSERT_GE(fields.size(), 14u) << lines[k];
        EXPECT_EQ(fields[3], fields[1][0] == 'p' ? "recalibrated" : "raw");
        EXPECT_EQ(fields[4] + " " + fields[5] + " " + fields[6], "101 35 135");
        // Ranked by -ln PL, seventeen digits.
        EXPECT_GE(std::stod(fields[11]), previous);
        previous = std::stod(fields[11]);
        models.insert(fields[2]);
        if (fields[1] == "1") {
            EXPECT_EQ(fields[12], "0");
        }
    }
    EXPECT_EQ(models,
              (std::set<std::string>{"JM", "Du", "MO", "GO", "Li", "LNHPP", "LV", "KL", "JM#"}));
}

TEST_F(EvaluationCommands, EvaluateWithStartAndReference) {
    CliRun csv =
        Run({"evaluate", s_db, "SYS1", "--start", "40", "--reference", "p1", "--format", "csv"});
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
}

TEST_F(EvaluationCommands, TrendOfSys1) {
    CliRun csv = Run({"trend", s_db, "SYS1", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.err, "");
    std::vector<std::string> lines = Lines(csv.out);
    ASSERT_EQ(lines.size(), 137u);
    EXPECT_EQ(lines[0], "Failure,Laplace factor,Running average,Trend");
    // SYS1 begins 3, 30: T = 3, 33. u(2) = (3/33 - 1/2) sqrt(12).
    EXPECT_EQ(lines[1], "1,,3,");
    const std::vector<std::string> second = Fields(lines[2]);
    EXPECT_CLOSE(std::stod(second[1]), (3.0 / 33 - 0.5) * std::sqrt(12.0), 1e-14);
    EXPECT_EQ(second[2], "16.5");
    EXPECT_EQ(second[3], "no significant trend");
    EXPECT_EQ(Fields(lines[136])[3], "reliability growth");

    // The text form ends with the final factor, the critical values and the verdict.
    lines = Lines(Run({"trend", s_db, "SYS1"}).out);
    ASSERT_EQ(lines.size(), 141u);
    EXPECT_EQ(lines[137], "");
    EXPECT_EQ(lines[138].substr(0, 30), "Laplace factor at failure 136:");
    EXPECT_EQ(lines[139],
              "One-sided critical values: ±1.645 at 5 %, ±2.326 at 1 %; negative values mean "
              "growth");
    EXPECT_EQ(lines[140], "Verdict: reliability growth (significant at the 1 % level)");

    test::ExpectRun(Run({"trend", s_db, "NONE"}), 1, "", "There is no dataset named \"NONE\".\n");
}

TEST_F(EvaluationCommands, RefusalsOfEvaluateNextAndForecast) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"evaluate", s_db, "NONE"}, 1, "There is no dataset named \"NONE\".\n"},
        {{"next", s_db, "1", "-5"},
         1,
         "The time to the next failure must be a finite number of 0 or more.\n"},
        {{"next", s_db, "99", "5"}, 1, "There is no estimates set with the key 99.\n"},
        {{"evaluate", s_db, "SYS1", "--reference", "x"}, 2, ""},
        {{"evaluate", s_db, "SYS1", "--reference", "p"}, 2, ""},
        {{"evaluate", s_db, "SYS1", "--reference", "0"}, 2, ""},
        {{"evaluate", s_db, "SYS1", "--reference", "p-1"}, 2, ""},
        {{"next", s_db, "1", "abc"}, 2, ""},
        {{"next", s_db, "p9", "5"},
         1,
         "The project holds no recalibrated set p9. List the sets of a dataset to find their "
         "keys.\n"},
        {{"evaluate", s_db, "SYS1", "--fit-at", "10"},
         1,
         "Failure 10 is not fitted by every estimates set of the dataset SYS1. Choose a failure "
         "from 20 to 136.\n"},
        {{"forecast", s_db, "99"},
         1,
         "The project holds no estimates set 99. List the sets of a dataset to find their "
         "keys.\n"},
        {{"forecast", s_db, "1", "--at", "137"},
         1,
         "Failure 137 is outside the forecasts of set 1 (JM), which run from failure 20 to 136. "
         "Choose an index in that range.\n"},
        {{"forecast", s_db, "p1", "--at", "34"},
         1,
         "Failure 34 is outside the forecasts of set p1 (JM#), which run from failure 35 to "
         "136. Choose an index in that range.\n"},
        {{"forecast", s_db, "1", "--mission", "0"},
         1,
         "The mission time must be a finite number above 0.\n"},
        {{"forecast", s_db, "1", "--target-mttf", "-3"},
         1,
         "The target MTTF must be a finite number above 0.\n"},
        {{"forecast", s_db, "1", "--target-intensity", "inf"},
         1,
         "The target failure intensity must be a finite number above 0.\n"},
        {{"forecast", s_db, "1", "--target-intensity", "1", "--target-mttf", "1"}, 2, ""},
        {{"forecast", s_db, "q1"}, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        test::ExpectRun(Run(c.args), c.exitCode, "", c.err);
    }
}

TEST_F(EvaluationCommands, NextPrintsTheTimeItsUValueAndPdf) {
    CliRun run = Run({"next", s_db, "1", "250.5", "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Failure time,U-value,Pdf");
    std::vector<std::string> fields = Fields(lines[1]);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0], "250.5");
    const double u = std::stod(fields[1]);
    EXPECT_TRUE(u > 0 && u < 1) << u;
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

// The options reach the forecast of the stored fit; the numbers are the core's to prove.
TEST_F(EvaluationCommands, ForecastOfTheStoredFitAtTheChosenIndex) {
    Database db(s_db, Database::OpenMode::ReadOnlyFile);
    for (const int index : {136, 60}) {
        SCOPED_TRACE(index);
        std::vector<std::string> args = {"forecast",      s_db,   "1",        "--mission", "500",
                                         "--target-mttf", "4000", "--format", "csv"};
        if (index != 136) args.insert(args.end(), {"--at", std::to_string(index)});
        std::map<std::string, std::string> values = ForecastValues(Run(args));
        // JM by hand: N - n faults left, each found at rate Lambda.
        const StoredFit fit = StoredFitAt(db, 1, index);
        const double left = fit.param1 - index;
        EXPECT_EQ(values["Failure index"], std::to_string(index));
        EXPECT_EQ(std::stod(values["Cumulative time"]), fit.time);
        EXPECT_CLOSE(std::stod(values["Faults remaining"]), left, 1e-15);
        EXPECT_CLOSE(std::stod(values["Reliability over the mission"]),
                     std::exp(-left * fit.param2 * 500), 1e-14);
        EXPECT_EQ(std::stod(values["Target failure intensity"]), 1.0 / 4000);
    }

    // A recalibrated set has a distribution of the next failure and nothing more.
    std::map<std::string, std::string> values =
        ForecastValues(Run({"forecast", s_db, "p1", "--mission", "800", "--target-intensity",
                            "1e-4", "--format", "csv"}));
    for (const char* undefined : {"Failure intensity", "MTTF", "Expected failures in the mission",
                                  "Faults remaining", "Test time to reach the target"}) {
        EXPECT_EQ(values[undefined], "not defined") << undefined;
    }
    EXPECT_GT(std::stod(values["Median time to next failure"]), 0.0);
}

TEST_F(EvaluationCommands, ForecastShowsTheIntervalsOfTheRawFitsParameters) {
    Database db(s_db, Database::OpenMode::ReadOnlyFile);
    FailureSeries x;
    FailureSeries t;
    ASSERT_TRUE(ReadFailureTimes(db, 1, x, t));
    {
        std::map<std::string, std::vector<std::string>> rows =
            ForecastRows(Run({"forecast", s_db, "1", "--at", "60", "--format", "csv"}));
        const ParameterIntervals expected = ParameterIntervalsAt(
            *FindModel(1), x, t, StoredFitAt(db, 1, 60), FitOutcome::Converged);
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

    // Li ends at failure 136 in its MO limit. A recalibrated set has no likelihood of its own.
    const struct {
        std::string set;
        std::string heading;
        std::string value;
    } cases[] = {
        {"5", "95 % intervals for the parameters (observed information)",
         "no finite interval: the fit is at a limit"},
        {"p1", "95 % intervals for the parameters", "not defined"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        std::map<std::string, std::vector<std::string>> rows =
            ForecastRows(Run({"forecast", s_db, c.set, "--format", "csv"}));
        EXPECT_EQ(rows[c.heading][0], c.value);
        EXPECT_EQ(rows.count("N"), 0u);
    }
}

// The criteria come from the stored log-likelihood at the fit index asked for.
TEST_F(EvaluationCommands, EvaluateShowsAicAndBicOfTheStoredFits) {
    const std::string old = s_dir->File("old.db");
    ASSERT_EQ(Run({"copy", s_db, old}).exitCode, 0);
    Database db(old, Database::OpenMode::ExistingFile);
    // A set from a version that kept no log-likelihood has none.
    db.Execute("UPDATE Estimates SET LogLikelihood = 0 WHERE EstimatesSetID = 3;");
    Statement jm = db.Prepare(
        "SELECT LogLikelihood FROM Estimates WHERE EstimatesSetID = 1 AND FailureIndex = 60;");
    ASSERT_TRUE(jm.Step());
    const double twiceLogLhd = 2 * jm.ColumnDouble(0);

    CliRun run = Run({"evaluate", old, "SYS1", "--fit-at", "60", "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(Fields(lines[0])[14], "AIC (fit to 60)");
    EXPECT_EQ(Fields(lines[0])[15], "BIC (fit to 60)");
    for (std::size_t row = 1; row < lines.size(); ++row) {
        std::vector<std::string> fields = Fields(lines[row]);
        SCOPED_TRACE(lines[row]);
        fields.resize(16);
        if (fields[3] == "recalibrated" || fields[1] == "3") {
            EXPECT_EQ(fields[14] + fields[15], "");
        } else if (fields[1] == "1") {
            // Jelinski-Moranda's two free parameters.
            EXPECT_CLOSE(std::stod(fields[14]), 4 - twiceLogLhd, 1e-14);
            EXPECT_CLOSE(std::stod(fields[15]), 2 * std::log(60) - twiceLogLhd, 1e-14);
        }
    }
}

}  // namespace
}  // namespace tamsel
