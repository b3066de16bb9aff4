// Running the built tamsel-cli as a user would, with standard input that is not a terminal,
// and a project file of the tests' own to run it on.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"
#include "tamsel/store/database.h"
#include "test_support.h"

namespace tamsel::test {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Comma-separated fields of a CSV line without quoted fields.
inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Starts tamsel-cli with args in dir, its output going to stdout.txt and stderr.txt there;
// extraEnv entries ("NAME=value") are added to the environment. Returns 0 if it did not start.
inline pid_t StartCli(const TempDir& dir, std::vector<std::string> args,
                      const std::vector<std::string>& extraEnv) {
    return StartProgram(TAMSEL_CLI_PATH, std::move(args), dir.Path().string(),
                        dir.File("stdout.txt"), dir.File("stderr.txt"), extraEnv);
}

inline CliRun FinishCli(const TempDir& dir, pid_t pid) {
    CliRun run;
    run.exitCode = WaitForProgram(pid);
    run.out = ReadBytes(dir.File("stdout.txt"));
    run.err = ReadBytes(dir.File("stderr.txt"));
    return run;
}

inline CliRun RunCli(const TempDir& dir, std::vector<std::string> args,
                     const std::vector<std::string>& extraEnv = {}) {
    return FinishCli(dir, StartCli(dir, std::move(args), extraEnv));
}

// Checks how a run ended. For bad usage (exit code 2) err need only be a part of what the
// run says on standard error, which must say something.
inline void ExpectRun(const CliRun& run, int exitCode, const std::string& out,
                      const std::string& err) {
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_EQ(run.out, out);
    if (exitCode == 2) {
        EXPECT_NE(run.err.find(err), std::string::npos) << run.err;
        EXPECT_FALSE(run.err.empty());
    } else {
        EXPECT_EQ(run.err, err);
    }
}

// User and system time of a running process in clock ticks, from /proc.
inline long ProcessorTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // utime and stime are the 12th and 13th fields after the parenthesised command name.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int k = 1; k <= 13 && fields >> field; ++k) {
        if (k >= 12) ticks += std::stol(field);
    }
    return ticks;
}

// Runs tamsel-cli and interrupts it once its work is under way: once it has had 0.3 s of
// processor time, or after 1.5 s, since on a server the work is the server's.
inline CliRun InterruptCli(const TempDir& dir, std::vector<std::string> args) {
    const pid_t pid = StartCli(dir, std::move(args), {});
    for (int wait = 0; pid != 0 && wait < 75 && ProcessorTicks(pid) < 30; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid != 0) kill(pid, SIGINT);
    return FinishCli(dir, pid);
}

// A new project x.db in a directory of its own: a file, or a schema on the tests' server.
class CliProject : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(Run({"new", m_db}).exitCode, 0); }

    CliRun Run(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
        return RunCli(m_dir, std::move(args), env);
    }

    // Imports the shipped SYS1 dataset, then runs each of the commands.
    void ImportSys1(const std::vector<std::vector<std::string>>& then = {}) {
        const std::string sys1 = std::filesystem::absolute(DataFile("sys1.txt")).string();
        ASSERT_EQ(Run({"import", m_db, "SYS1", sys1}).exitCode, 0);
        for (const auto& args : then) {
            CliRun run = Run(args);
            ASSERT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        }
    }

    std::int64_t Count(const std::string& table) {
        Database db(m_db, Database::OpenMode::ExistingFile);
        Statement count = db.Prepare("SELECT COUNT(*) FROM " + table + ";");
        count.Step();
        return count.ColumnInt(0);
    }

    TempDir m_dir;
    std::string m_db = m_dir.ProjectLocation("x.db");
};

}  // namespace tamsel::test
