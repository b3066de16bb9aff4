// The model and recalibration commands of tamsel-cli: apply, sets, estimates, recalibrate,
// predictions, and the models of the demo.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "cli_run.h"
#include "tamsel/store/writers.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Lines;

// SYS1 imported into x.db.
class ModelCommands : public test::CliProject {
  protected:
    void SetUp() override {
        CliProject::SetUp();
        if (!HasFatalFailure()) ImportSys1();
    }

    // A dataset "Long" whose models keep the machine busy for seconds.
    void ImportLong(int failures, int step, int modulus) {
        std::string data;
        for (int k = 1; k <= failures; ++k) data += std::to_string(10 + k * step % modulus) + "\n";
        ASSERT_EQ(Run({"import", m_db, "Long", m_dir.WriteFile("long.txt", data)}).exitCode, 0);
    }
};

TEST_F(ModelCommands, ApplyStoresEachModelOnceAndGoesOnAfterARepeat) {
    test::ExpectRun(Run({"apply", m_db, "SYS1", "jm", "2"}), 0,
                    "Stored estimates set 1: Jelinski-Moranda, failures 20 to 136.\n"
                    "  117 fits: 117 converged.\n"
                    "Stored estimates set 2: Duane, failures 20 to 136.\n"
                    "  117 fits: 117 converged.\n",
                    "");
    test::ExpectRun(Run({"apply", m_db, "SYS1", "JM", "MO"}), 1,
                    "Stored estimates set 3: Musa-Okumoto, failures 20 to 136.\n"
                    "  117 fits: 117 converged.\n",
                    "The selected model is already available for the current data set\n");
    EXPECT_EQ(Count("EstimatesSets"), 3);
    EXPECT_EQ(Count("Estimates"), 3 * 117);

    CliRun all = Run({"apply", m_db, "SYS1", "all"});
    EXPECT_EQ(all.exitCode, 1);
    const std::vector<std::string> lines = Lines(all.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              "Stored estimates set 8: Keiller-Littlewood, failures 20 to 136.");
    EXPECT_EQ(lines.back().substr(0, 12), "  117 fits: ");
    EXPECT_EQ(Lines(Run({"sets", m_db, "SYS1", "--format", "csv"}).out).size(), 9u);
}

TEST_F(ModelCommands, RangeOptionUsesOneRangesRowPerRange) {
    test::ExpectRun(Run({"apply", m_db, "SYS1", "MO", "--range", "30:40"}), 0,
                    "Stored estimates set 1: Musa-Okumoto, failures 30 to 40.\n"
                    "  11 fits: 11 converged.\n",
                    "");
    EXPECT_EQ(Run({"apply", m_db, "SYS1", "GO", "--range", "30:40"}).exitCode, 0);
    test::ExpectRun(Run({"apply", m_db, "SYS1", "go", "--range", "30:40"}), 1, "",
                    "The selected model is already available for the current data set\n");
    // From failure 20 without an end is the default range.
    EXPECT_EQ(Run({"apply", m_db, "SYS1", "GO"}).exitCode, 0);
    EXPECT_EQ(Run({"apply", m_db, "SYS1", "GO", "--range", "20"}).exitCode, 1);
    EXPECT_EQ(Run({"apply", m_db, "SYS1", "GO", "--range", "100"}).exitCode, 0);
    EXPECT_EQ(Count("Ranges"), 3);
    EXPECT_EQ(Count("Estimates WHERE EstimatesSetID = 4"), 37);

    std::vector<std::string> rows = Lines(Run({"estimates", m_db, "1", "--format", "csv"}).out);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[1].substr(0, 3), "30,");
    EXPECT_EQ(rows[11].substr(0, 3), "40,");
    // Pdf and Cdf of the last row of a range are 0 (after the log-likelihood).
    EXPECT_NE(rows[11].find(",0,0,"), std::string::npos) << rows[11];
}

TEST_F(ModelCommands, RangesOutsideTheDataAreRefused) {
    struct Case {
        std::string range;
        int exitCode;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"50:40", 1,
              "The range must not end (at failure 40) before it starts (at failure 50).\n"},
             {"200", 1, "The range reaches failure 200 but the data set has only 136 failures.\n"},
             {"3x", 2, "expected START or START:END"},
             {"5:", 2, "expected START or START:END"},
         }) {
        SCOPED_TRACE(c.range);
        test::ExpectRun(Run({"apply", m_db, "SYS1", "Du", "--range", c.range}), c.exitCode, "",
                        c.err);
    }
    EXPECT_EQ(Count("EstimatesSets"), 0);
}

TEST_F(ModelCommands, UnknownKeysAreRefused) {
    ASSERT_EQ(Run({"apply", m_db, "SYS1", "Du"}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // the whole message, or a part of it for bad usage
    };
    const Case cases[] = {
        {{"apply", m_db, "SYS1", "JM", "XX"}, 2, "unknown model \"XX\""},
        {{"apply", m_db, "SYS9", "JM"}, 1, "There is no dataset named \"SYS9\".\n"},
        {{"sets", m_db, "SYS9"}, 1, "There is no dataset named \"SYS9\".\n"},
        {{"estimates", m_db, "7"}, 1, "There is no estimates set with the key 7.\n"},
        {{"recalibrate", m_db, "7"}, 1, "There is no estimates set with the key 7.\n"},
        {{"recalibrate", m_db, "1", "--method", "3"},
         1,
         "There is no recalibration method with the key 3.\n"},
        {{"predictions", m_db, "4"}, 1, "There is no predictions set with the key 4.\n"},
        {{"predictions", m_db, "1", "--format", "xml"}, 2, "xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        test::ExpectRun(Run(c.args), c.exitCode, "", c.err);
    }
    EXPECT_EQ(Count("EstimatesSets"), 1);
    EXPECT_EQ(Count("PredictionsSets"), 0);
}

TEST_F(ModelCommands, SetsAndEstimatesListTheStoredRows) {
    ASSERT_EQ(Run({"apply", m_db, "SYS1", "JM", "GO"}).exitCode, 0);
    {
        Database db(m_db, Database::OpenMode::ExistingFile);
        std::vector<double> values(4, 0.5);  // elements 1..3 for failures 20..22
        ASSERT_NE(StorePredictionsSet(db, 2, 1, 20, 23, 0, values, values, values, values, values),
                  0);
    }
    EXPECT_EQ(Run({"sets", m_db, "SYS1", "--format", "csv"}).out,
              "Kind,Set ID,Model,Range start,Range end,Set size,Inference method,Recalibration "
              "method,From set,Fit outcomes\n"
              "estimates,1,Jelinski-Moranda,20,136,136,Maximum Likelihood,,,117 fits: 117 "
              "converged\n"
              "estimates,2,Goel-Okumoto,20,136,136,Maximum Likelihood,,,117 fits: 117 converged\n"
              "predictions,1,Goel-Okumoto,20,136,136,Maximum Likelihood,Parametric B-Splines "
              "Recalibration,2,117 fits: 117 converged\n");

    std::vector<std::string> csv = Lines(Run({"estimates", m_db, "2", "--format", "csv"}).out);
    ASSERT_EQ(csv.size(), 118u);
    EXPECT_EQ(csv[0],
              "FailureIndex,Parameter1,Parameter2,Parameter3,LogLikelihood,Pdf,Cdf,LowQ,Median,"
              "UppQ,MTTF,Outcome");
    EXPECT_EQ(csv[117].substr(0, 4), "136,");
    // Goel-Okumoto's mean is infinite in every regular row.
    EXPECT_EQ(csv[117].substr(csv[117].rfind(",9.9") + 1), "9.9999999999999999e+306,converged");
    EXPECT_EQ(Run({"estimates", m_db, "2", "--format", "json"}).out.substr(0, 24),
              "[\n  {\"FailureIndex\": 20,");
}

// Eleven failures with a zero interfailure time at failure 5, which makes Littlewood-Verrall's
// likelihood unbounded.
TEST_F(ModelCommands, OutcomesAreSummedUpListedAndNotRecordedForEarlierSets) {
    ASSERT_EQ(
        Run({"import", m_db, "P", m_dir.WriteFile("p.txt", "3 5 2 8 0 6 9 4 12 15 20")}).exitCode,
        0);
    test::ExpectRun(Run({"apply", m_db, "P", "LV", "JM", "--range", "3"}), 0,
                    "Stored estimates set 1: Littlewood-Verrall, failures 3 to 11.\n"
                    "  9 fits: 0 converged, 4 at a limit, 5 singular.\n"
                    "Stored estimates set 2: Jelinski-Moranda, failures 3 to 11.\n"
                    "  9 fits: 7 converged, 2 at a limit.\n",
                    "");
    // The last field of each row of a csv table.
    auto lastFields = [&](const std::vector<std::string>& args) {
        std::vector<std::string> fields;
        for (const std::string& line : Lines(Run(args).out)) {
            fields.push_back(line.substr(line.rfind(',') + 1));
        }
        return fields;
    };
    const std::vector<std::string> lv = lastFields({"estimates", m_db, "1", "--format", "csv"});
    ASSERT_EQ(lv.size(), 10u);
    EXPECT_EQ(lv[1], "limit:exponential");
    EXPECT_EQ(lv[3], "singular");

    {  // a set stored by a version that kept no outcomes
        Database db(m_db, Database::OpenMode::ExistingFile);
        db.Execute("DELETE FROM FitOutcomeLists WHERE EstimatesSetID = 2;");
    }
    std::vector<std::string> notRecorded(10, "not recorded");
    notRecorded[0] = "Outcome";
    EXPECT_EQ(lastFields({"estimates", m_db, "2", "--format", "csv"}), notRecorded);
    const std::vector<std::string> sets = Lines(Run({"sets", m_db, "P", "--format", "csv"}).out);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[1].substr(sets[1].find(",,,")),
              ",,,\"9 fits: 0 converged, 4 at a limit, 5 singular\"");
    EXPECT_EQ(sets[2].substr(sets[2].find(",,,")), ",,,not recorded");
}

TEST_F(ModelCommands, RecalibrateStoresASetOncePerMethod) {
    ASSERT_EQ(Run({"apply", m_db, "SYS1", "Du"}).exitCode, 0);
    test::ExpectRun(Run({"recalibrate", m_db, "1"}), 0,
                    "Stored predictions set 1: estimates set 1 (Duane) recalibrated by "
                    "Parametric B-Splines Recalibration, failures 35 to 135.\n",
                    "");
    test::ExpectRun(Run({"recalibrate", m_db, "1", "--method", "1"}), 1, "",
                    "This recalibration is already available for the current dataset\n");

    EXPECT_EQ(Run({"recalibrate", m_db, "1", "--method", "2"}).exitCode, 0);
    EXPECT_EQ(Count("PredictionsSets"), 2);
    EXPECT_EQ(Count("Predictions"), 2 * 101);

    const std::vector<std::string> csv =
        Lines(Run({"predictions", m_db, "1", "--format", "csv"}).out);
    ASSERT_EQ(csv.size(), 102u);
    EXPECT_EQ(csv[0], "FailureIndex,Pdf,Cdf,LowQ,Median,UppQ,MTTF");
    EXPECT_EQ(csv[1].substr(0, 3), "35,");
    EXPECT_EQ(csv[1].back(), ',');  // MTTF is Null
    EXPECT_EQ(Run({"predictions", m_db, "1", "--format", "JSON"}).out.substr(0, 24),
              "[\n  {\"FailureIndex\": 35,");
    // Print zones: no heading, lines ended by CR LF, each number after a blank (a
    // non-negative one) at the start of its zone.
    const std::vector<std::string> zones =
        Lines(Run({"predictions", m_db, "1", "--format", "zones"}).out);
    ASSERT_EQ(zones.size(), 101u);
    EXPECT_EQ(zones[0].substr(0, 15), " 35" + std::string(12, ' '));
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(zones[0][15])));
    EXPECT_EQ(zones[0].back(), '\r');
    EXPECT_EQ(zones[100].substr(0, 5), " 135 ");
}

TEST_F(ModelCommands, InterruptCancelsTheRunningModelAndStoresNothing) {
    ImportLong(4000, 1, 7);
    test::ExpectRun(test::InterruptCli(m_dir, {"apply", m_db, "Long", "MO", "JM"}), 1, "",
                    "The calculation was cancelled by user action\n");
    EXPECT_EQ(Count("EstimatesSets"), 0);
    EXPECT_EQ(Count("Estimates"), 0);
}

// Every sample of the data folder, and every model on those of more than twenty failures.
TEST_F(ModelCommands, DemoAppliesEveryModelToDatasetsOfMoreThanTwentyFailures) {
    std::filesystem::path samples = m_dir.Path() / "samples";
    std::filesystem::create_directory(samples);
    std::filesystem::copy_file(test::DataFile("ntds.txt"), samples / "ntds.txt");
    std::ofstream(samples / "short.txt") << "3\n5\n2\n8\n";
    const std::string data = "TAMSEL_DATA_DIR=" + samples.string();
    const std::string demo = m_dir.ProjectLocation("demo.db");
    CliRun made = Run({"demo", demo}, {data});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(Lines(Run({"datasets", demo, "--format", "csv"}).out).size(), 3u);
    EXPECT_EQ(Lines(Run({"sets", demo, "NTDS", "--format", "csv"}).out).size(), 9u);
    EXPECT_EQ(Lines(Run({"sets", demo, "SHORT", "--format", "csv"}).out).size(), 1u);
    EXPECT_EQ(Lines(Run({"failures", demo, "NTDS", "--format", "csv"}).out).back(), "26,1,250");
    EXPECT_EQ(Run({"demo", demo}, {data}).exitCode, 1);
    EXPECT_EQ(Run({"demo", demo, "--force"}, {data}).exitCode, 0);

    std::filesystem::create_directory(m_dir.Path() / "empty");
    test::ExpectRun(Run({"demo", "other.db"}, {"TAMSEL_DATA_DIR=" + m_dir.File("empty")}), 1, "",
                    "No sample datasets (*.txt) found in " + m_dir.File("empty") +
                        ". Set TAMSEL_DATA_DIR to the data folder.\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("other.db")));
}

}  // namespace
}  // namespace tamsel
