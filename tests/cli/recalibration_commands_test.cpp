// The recalibration commands of tamsel-cli: recalibrate and predictions.
#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli_run.h"
#include "tamsel/store/database.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Lines;

class RecalibrationCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"new", "x.db"}).exitCode, 0);
        std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
        ASSERT_EQ(Run({"import", "x.db", "SYS1", sys1}).exitCode, 0);
        ASSERT_EQ(Run({"apply", "x.db", "SYS1", "Du"}).exitCode, 0);
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

TEST_F(RecalibrationCommands, RecalibrateStoresASetOncePerMethod) {
    CliRun first = Run({"recalibrate", "x.db", "1"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out,
              "Stored predictions set 1: estimates set 1 (Duane) recalibrated by Parametric "
              "B-Splines Recalibration, failures 35 to 135.\n");
    EXPECT_EQ(first.err, "");

    CliRun again = Run({"recalibrate", "x.db", "1", "--method", "1"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "This recalibration is already available for the current dataset\n");
    EXPECT_EQ(again.out, "");

    EXPECT_EQ(Run({"recalibrate", "x.db", "1", "--method", "2"}).exitCode, 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM PredictionsSets;"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Predictions;"), 2 * 101);
}

TEST_F(RecalibrationCommands, UnknownKeysAreRefused) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"recalibrate", "x.db", "7"}, "There is no estimates set with the key 7.\n"},
        {{"recalibrate", "x.db", "1", "--method", "3"},
         "There is no recalibration method with the key 3.\n"},
        {{"predictions", "x.db", "4"}, "There is no predictions set with the key 4.\n"},
    };
    for (const Case& c : cases) {
        CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, c.message);
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM PredictionsSets;"), 0);
}

TEST_F(RecalibrationCommands, PredictionsPrintsTheRowsInEachFormat) {
    ASSERT_EQ(Run({"recalibrate", "x.db", "1"}).exitCode, 0);
    const std::vector<std::string> text = Lines(Run({"predictions", "x.db", "1"}).out);
    ASSERT_EQ(text.size(), 102u);
    EXPECT_EQ(text[0].substr(0, 12), "FailureIndex");

    const std::vector<std::string> csv =
        Lines(Run({"predictions", "x.db", "1", "--format", "csv"}).out);
    ASSERT_EQ(csv.size(), 102u);
    EXPECT_EQ(csv[0], "FailureIndex,Pdf,Cdf,LowQ,Median,UppQ,MTTF");
    EXPECT_EQ(csv[1].substr(0, 3), "35,");
    EXPECT_EQ(csv[1].back(), ',');  // MTTF is Null

    const std::string json = Run({"predictions", "x.db", "1", "--format", "JSON"}).out;
    EXPECT_EQ(json.substr(0, 24), "[\n  {\"FailureIndex\": 35,");

    // Print zones: no heading, lines ended by CR LF, each number after a blank (a
    // non-negative one) at the start of its zone.
    const std::vector<std::string> zones =
        Lines(Run({"predictions", "x.db", "1", "--format", "zones"}).out);
    ASSERT_EQ(zones.size(), 101u);
    EXPECT_EQ(zones[0].substr(0, 15), " 35" + std::string(12, ' '));
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(zones[0][15])));
    EXPECT_EQ(zones[0].back(), '\r');
    EXPECT_EQ(zones[100].substr(0, 5), " 135 ");

    CliRun bad = Run({"predictions", "x.db", "1", "--format", "xml"});
    EXPECT_EQ(bad.exitCode, 2);
}

TEST_F(RecalibrationCommands, InterruptCancelsTheRecalibrationAndStoresNothing) {
    // 3000 failures keep the recalibration busy for seconds.
    std::string data;
    for (int k = 1; k <= 3000; ++k) data += std::to_string(10 + (k * 7919) % 97) + "\n";
    ASSERT_EQ(Run({"import", "x.db", "Long", m_dir.WriteFile("long.txt", data)}).exitCode, 0);
    ASSERT_EQ(Run({"apply", "x.db", "Long", "Du"}).exitCode, 0);

    std::vector<std::string> args{TAMSEL_CLI_PATH, "recalibrate", "x.db", "2"};
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
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(test::ReadAll(errPath), "The recalibration was cancelled by user action\n");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM PredictionsSets;"), 0);
}

}  // namespace
}  // namespace tamsel
