// The evaluation commands of tamsel-cli: evaluate and next.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "cli_run.h"
#include "tamsel/store/database.h"
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
              "log(PLR) vs JM,Verdict");

    Database db(DbPath(), Database::OpenMode::ReadOnlyFile);
    std::optional<Evaluation> expected = EvaluateDataSet(db, "SYS1", std::nullopt, std::nullopt);
    ASSERT_TRUE(expected.has_value());
    std::set<std::string> models;
    double previous = 0.0;
    for (std::size_t k = 0; k < 9; ++k) {
        std::vector<std::string> fields = Fields(lines[k + 1]);
        ASSERT_EQ(fields.size(), 14u) << lines[k + 1];
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

TEST_F(EvaluationCommands, RefusalsOfEvaluateAndNext) {
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
        {{"next", "x.db", "99", "5"}, 1, "An error occurred while reading the database.\n"},
        {{"evaluate", "x.db", "SYS1", "--reference", "x"}, 2, ""},
        {{"evaluate", "x.db", "SYS1", "--reference", "p"}, 2, ""},
        {{"evaluate", "x.db", "SYS1", "--reference", "0"}, 2, ""},
        {{"evaluate", "x.db", "SYS1", "--reference", "p-1"}, 2, ""},
        {{"next", "x.db", "1", "abc"}, 2, ""},
        {{"next", "x.db", "p1", "5"}, 2, ""},
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

}  // namespace
}  // namespace tamsel
