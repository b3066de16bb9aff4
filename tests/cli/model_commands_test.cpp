// The model commands of tamsel-cli: apply, sets, estimates, and the models of the demo.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli_run.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Lines;

// User and system time of a running process in clock ticks, from /proc.
long ProcessorTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the command name, which is in parentheses: utime and stime are the
    // 12th and 13th of them.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int k = 1; k <= 13 && fields >> field; ++k) {
        if (k >= 12) ticks += std::stol(field);
    }
    return ticks;
}

class ModelCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"new", "x.db"}).exitCode, 0);
        std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
        ASSERT_EQ(Run({"import", "x.db", "SYS1", sys1}).exitCode, 0);
    }

    CliRun Run(std::vector<std::string> args) { return test::RunCli(m_dir, std::move(args)); }

    std::int64_t Count(const std::string& sql) {
        Database db(m_dir.File("x.db"), Database::OpenMode::ExistingFile);
        Statement count = db.Prepare(sql);
        count.Step();
        return count.ColumnInt(0);
    }

    test::TempDir m_dir;
};

TEST_F(ModelCommands, ApplyStoresEachModelOnceAndGoesOnAfterARepeat) {
    CliRun first = Run({"apply", "x.db", "SYS1", "jm", "2"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out,
              "Stored estimates set 1: Jelinski-Moranda, failures 20 to 136.\n"
              "Stored estimates set 2: Duane, failures 20 to 136.\n");
    EXPECT_EQ(first.err, "");

    CliRun again = Run({"apply", "x.db", "SYS1", "JM", "MO"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "The selected model is already available for the current data set\n");
    EXPECT_EQ(again.out, "Stored estimates set 3: Musa-Okumoto, failures 20 to 136.\n");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM EstimatesSets;"), 3);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Estimates;"), 3 * 117);
}

TEST_F(ModelCommands, AllAppliesEveryModel) {
    CliRun run = Run({"apply", "x.db", "SYS1", "all"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[2], "Stored estimates set 3: Musa-Okumoto, failures 20 to 136.");
    EXPECT_EQ(lines[7], "Stored estimates set 8: Keiller-Littlewood, failures 20 to 136.");
    EXPECT_EQ(Lines(Run({"sets", "x.db", "SYS1", "--format", "csv"}).out).size(), 9u);
}

TEST_F(ModelCommands, RangeOptionUsesOneRangesRowPerRange) {
    CliRun mo = Run({"apply", "x.db", "SYS1", "MO", "--range", "30:40"});
    EXPECT_EQ(mo.exitCode, 0) << mo.err;
    EXPECT_EQ(mo.out, "Stored estimates set 1: Musa-Okumoto, failures 30 to 40.\n");
    EXPECT_EQ(Run({"apply", "x.db", "SYS1", "GO", "--range", "30:40"}).exitCode, 0);
    CliRun repeat = Run({"apply", "x.db", "SYS1", "go", "--range", "30:40"});
    EXPECT_EQ(repeat.exitCode, 1);
    EXPECT_EQ(repeat.err, "The selected model is already available for the current data set\n");
    // From failure 20 without an end is the default range.
    EXPECT_EQ(Run({"apply", "x.db", "SYS1", "GO"}).exitCode, 0);
    EXPECT_EQ(Run({"apply", "x.db", "SYS1", "GO", "--range", "20"}).exitCode, 1);
    EXPECT_EQ(Run({"apply", "x.db", "SYS1", "GO", "--range", "100"}).exitCode, 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Ranges;"), 3);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Estimates WHERE EstimatesSetID = 4;"), 37);

    std::vector<std::string> rows = Lines(Run({"estimates", "x.db", "1", "--format", "csv"}).out);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[1].substr(0, 3), "30,");
    EXPECT_EQ(rows[11].substr(0, 3), "40,");
    // Pdf and Cdf of the last row of a range are 0.
    EXPECT_NE(rows[11].find(",0,0,0,0,"), std::string::npos) << rows[11];
}

TEST_F(ModelCommands, RangesOutsideTheDataAreRefused) {
    struct Case {
        std::string range;
        int exitCode;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"0:40", 1, "The range must start at failure 1 or later, not at failure 0.\n"},
             {"50:40", 1,
              "The range must not end (at failure 40) before it starts (at failure 50).\n"},
             {"30:400", 1,
              "The range reaches failure 400 but the data set has only 136 failures.\n"},
             {"200", 1, "The range reaches failure 200 but the data set has only 136 failures.\n"},
             {"1", 1,
              "The Duane model cannot be applied: it needs a range that starts at failure 2 or "
              "later.\n"},
             {"3x", 2, ""},
             {"5:", 2, ""},
         }) {
        SCOPED_TRACE(c.range);
        CliRun run = Run({"apply", "x.db", "SYS1", "Du", "--range", c.range});
        EXPECT_EQ(run.exitCode, c.exitCode);
        if (c.exitCode == 1) {
            EXPECT_EQ(run.err, c.err);
        } else {
            EXPECT_NE(run.err.find("expected START or START:END"), std::string::npos) << run.err;
        }
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM EstimatesSets;"), 0);
}

TEST_F(ModelCommands, UnknownModelsAndDatasetsAreRefused) {
    CliRun model = Run({"apply", "x.db", "SYS1", "JM", "XX"});
    EXPECT_EQ(model.exitCode, 2);
    EXPECT_NE(model.err.find("unknown model \"XX\""), std::string::npos) << model.err;
    CliRun data = Run({"apply", "x.db", "SYS9", "JM"});
    EXPECT_EQ(data.exitCode, 1);
    EXPECT_EQ(data.err, "There is no dataset named \"SYS9\".\n");
    EXPECT_EQ(Run({"sets", "x.db", "SYS9"}).exitCode, 1);
    CliRun set = Run({"estimates", "x.db", "7"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_EQ(set.err, "There is no estimates set with the key 7.\n");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM EstimatesSets;"), 0);
}

TEST_F(ModelCommands, SetsListsEstimatesAndPredictionsSets) {
    ASSERT_EQ(Run({"apply", "x.db", "SYS1", "JM", "GO"}).exitCode, 0);
    {
        Database db(m_dir.File("x.db"), Database::OpenMode::ExistingFile);
        std::vector<double> values(4, 0.5);  // elements 1..3 for failures 20..22
        ASSERT_NE(StorePredictionsSet(db, 2, 1, 20, 23, 0, values, values, values, values, values),
                  0);
    }
    EXPECT_EQ(Run({"sets", "x.db", "SYS1", "--format", "csv"}).out,
              "Kind,Set ID,Model,Range start,Range end,Set size,Inference method,Recalibration "
              "method,From set\n"
              "estimates,1,Jelinski-Moranda,20,136,136,Maximum Likelihood,,\n"
              "estimates,2,Goel-Okumoto,20,136,136,Maximum Likelihood,,\n"
              "predictions,1,Goel-Okumoto,20,136,136,Maximum Likelihood,Parametric B-Splines "
              "Recalibration,2\n");
    std::string json = Run({"sets", "x.db", "SYS1", "--format", "json"}).out;
    EXPECT_NE(json.find("{\"Kind\": \"estimates\", \"Set ID\": 1, \"Model\": \"Jelinski-Moranda\""),
              std::string::npos)
        << json;
    std::vector<std::string> text = Lines(Run({"sets", "x.db", "SYS1"}).out);
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text[0].substr(0, 4), "Kind");
}

TEST_F(ModelCommands, EstimatesPrintsTheStoredRows) {
    ASSERT_EQ(Run({"apply", "x.db", "SYS1", "GO"}).exitCode, 0);
    std::vector<std::string> csv = Lines(Run({"estimates", "x.db", "1", "--format", "csv"}).out);
    ASSERT_EQ(csv.size(), 118u);
    EXPECT_EQ(csv[0],
              "FailureIndex,Parameter1,Parameter2,Parameter3,LogLikelihood,Pdf,Cdf,LowQ,Median,"
              "UppQ,MTTF");
    EXPECT_EQ(csv[117].substr(0, 4), "136,");
    // Goel-Okumoto's mean is infinite in every regular row.
    EXPECT_EQ(csv[117].substr(csv[117].rfind(',') + 1), "9.9999999999999999e+306");
    std::vector<std::string> text = Lines(Run({"estimates", "x.db", "1"}).out);
    ASSERT_EQ(text.size(), 118u);
    EXPECT_EQ(text[0].substr(0, 12), "FailureIndex");
    std::string json = Run({"estimates", "x.db", "1", "--format", "json"}).out;
    EXPECT_EQ(json.substr(0, 24), "[\n  {\"FailureIndex\": 20,");
}

TEST_F(ModelCommands, InterruptCancelsTheRunningModelAndStoresNothing) {
    // 4000 failures keep the Musa-Okumoto fit busy for seconds.
    std::string data;
    for (int k = 1; k <= 4000; ++k) data += std::to_string(10 + k % 7) + "\n";
    ASSERT_EQ(Run({"import", "x.db", "Long", m_dir.WriteFile("long.txt", data)}).exitCode, 0);

    std::vector<std::string> args{TAMSEL_CLI_PATH, "apply", "x.db", "Long", "MO", "JM"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string errPath = m_dir.File("interrupted.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, m_dir.Path().c_str());
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Interrupt once the fit is under way: after 0.3 s of the child's processor time.
    for (int wait = 0; wait < 1000 && ProcessorTicks(pid) < 30; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(test::ReadAll(errPath), "The calculation was cancelled by user action\n");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM EstimatesSets;"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Estimates;"), 0);
}

TEST_F(ModelCommands, DemoAppliesEveryModelToDatasetsOfMoreThanTwentyFailures) {
    std::filesystem::path samples = m_dir.Path() / "samples";
    std::filesystem::create_directory(samples);
    std::filesystem::copy_file(test::DataFile("ntds.txt"), samples / "ntds.txt");
    std::ofstream(samples / "short.txt") << "3\n5\n2\n8\n";
    CliRun demo = test::RunCli(m_dir, {"demo", "demo.db"}, {"TAMSEL_DATA_DIR=" + samples.string()});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_EQ(Lines(Run({"sets", "demo.db", "NTDS", "--format", "csv"}).out).size(), 9u);
    EXPECT_EQ(Lines(Run({"sets", "demo.db", "SHORT", "--format", "csv"}).out).size(), 1u);
}

}  // namespace
}  // namespace tamsel
