// Runs the built tamsel-cli as a user would, with standard input that is not a terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli_run.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Lines;

// The word on a dataset too short for the default range.
std::string FewFailures(const std::string& name, int count) {
    const std::string n = std::to_string(count);
    return "The dataset \"" + name + "\" holds " + n +
           " failures, and models are applied from failure 20 by default. Apply them over a "
           "range that starts at or before failure " +
           n + " (tamsel-cli apply --range START).\n";
}

class Cli : public test::CliProject {
  protected:
    std::string Data(const std::string& content) {
        return m_dir.WriteFile("data" + std::to_string(++m_files) + ".txt", content);
    }

    int m_files = 0;
};

TEST_F(Cli, ImportsAndPrintsAShippedDataset) {
    std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
    test::ExpectRun(Run({"import", m_db, "SYS1", sys1}), 0,
                    "Stored dataset \"SYS1\": 136 failures read as interfailure times.\n", "");

    CliRun csv = Run({"failures", m_db, "SYS1", "--format", "csv"});
    EXPECT_EQ(csv.exitCode, 0) << csv.err;
    std::vector<std::string> lines = Lines(csv.out);
    ASSERT_EQ(lines.size(), 137u);
    EXPECT_EQ(lines[0], "FailureIndex,InterfailureTime,CumulativeTime");
    EXPECT_EQ(lines[1], "1,3,3");
    EXPECT_EQ(lines[33], "33,0,5089");
    EXPECT_EQ(lines[136], "136,4116,88682");
}

TEST_F(Cli, DatasetsListTheStoredAttributes) {
    EXPECT_EQ(Run({"datasets", m_db, "--format", "json"}).out, "[]\n");
    ASSERT_EQ(Run({"import", m_db, "Trial", Data("3\n5\n2\n"), "--source", "Lab, \"A\""}).exitCode,
              0);
    EXPECT_EQ(Run({"datasets", m_db, "--format", "CSV"}).out,
              "DataSetID,DataName,DataFile,DataTypeID,DataNumber,DataSource\n"
              "1,Trial," +
                  m_dir.File("data1.txt") + ",1,3,\"Lab, \"\"A\"\"\"\n");
}

TEST_F(Cli, QuestionIsAnsweredFromFlagsOrCautiously) {
    struct Case {
        std::string flag;
        std::string lastCumulative;
        std::string trailer;
    };
    for (const Case& c :
         std::vector<Case>{{"--yes", "3,10,21", "> yes (--yes)\n"},
                           {"--no", "3,2,10", "> no (--no)\n"},
                           {"", "3,2,10", "> no (no terminal to ask: use --yes or --no)\n"}}) {
        std::string name = "Rising" + c.flag;
        std::vector<std::string> args{"import",       m_db,     name,
                                      Data("3,8,10"), "--type", "interfailure"};
        if (!c.flag.empty()) args.push_back(c.flag);
        CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << c.flag;
        EXPECT_EQ(run.err,
                  "The input data set is monotonically increasing, \n"
                  "are you sure you want it read as interfailure times?\n"
                  "Click Yes for interfailure times, No for cumulative times.\n" +
                      c.trailer + FewFailures(name, 3))
            << c.flag;
        EXPECT_EQ(Lines(Run({"failures", m_db, name, "--format", "csv"}).out).back(),
                  c.lastCumulative)
            << c.flag;
    }
}

TEST_F(Cli, RefusedOperationsExitWithOne) {
    std::string good = Data("3,5,2");
    ASSERT_EQ(Run({"import", m_db, "SYS1", good}).exitCode, 0);
    m_dir.WriteFile("notes.txt", "not a database\n");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {{"import", m_db, "Neg", Data("3\n-1\n")},
              "An error has occurred during data validation.\nFile contains negative data.\n"
              "Line 2: '-1' is below 0. Failure times are never negative: correct it.\n"},
             {{"import", m_db, "None", ""},
              "No input data file selected.\nPlease select data file.\n"},
             {{"new", m_db},
              test::OnTestServer()
                  ? "The schema of " + m_db +
                        " already holds tables. Use --force to replace them.\n"
                  : "The file " + m_db + " already exists. Use --force to replace it.\n"},
             {{"datasets", "missing.db"}, "An error occurred in selecting a database\n"},
             {{"datasets", "notes.txt"}, "An error occurred in selecting a database\n"},
             {{"failures", m_db, "SYS2"}, "There is no dataset named \"SYS2\".\n"},
             {{"delete", m_db, "SYS2"}, "There is no dataset named \"SYS2\".\n"}}) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        test::ExpectRun(Run(c.args), 1, "", c.err);
    }
    EXPECT_EQ(Lines(Run({"datasets", m_db, "--format", "csv"}).out).size(), 2u);
}

TEST_F(Cli, BadUsageExitsWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"import", m_db, "SYS1"},
             {"import", m_db, "A", "f.txt", "--type", "weekly"},
             {"import", m_db, "A", "f.txt", "--yes", "--no"},
             {"failures", m_db, "A", "--format", "xml"},
             {"new"},
             {"datasets", m_db, "extra"},
             {"import", m_db, "A", "f.txt", "--origin", "2024-03-01 08:00"},
             {"import", m_db, "A", "f.txt", "--header", "--no-header"},
             {"inspect", "f.txt", "--delimiter", "colon"},
             {"inspect", "f.txt", "--decimal-comma", "--decimal-point"},
             {"inspect", "f.txt", "--unit", "weeks"},
             {"inspect"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        test::ExpectRun(Run(args), 2, "", "");
    }
    CliRun help = Run({"import", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--yes"), std::string::npos);
}

// The help of each table-printing command says what every column it prints holds.
TEST_F(Cli, TableCommandsHelpNamesEveryColumnTheyPrint) {
    const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
    ASSERT_EQ(Run({"import", m_db, "A", sys1}).exitCode, 0);
    ASSERT_EQ(Run({"apply", m_db, "A", "JM"}).exitCode, 0);
    ASSERT_EQ(Run({"recalibrate", m_db, "1"}).exitCode, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"failures", m_db, "A"},
                                                 {"estimates", m_db, "1"},
                                                 {"predictions", m_db, "1"}}) {
        SCOPED_TRACE(args[0]);
        std::vector<std::string> printed;
        std::stringstream header(Lines(Run({args[0], args[1], args[2], "--format", "csv"}).out)[0]);
        for (std::string heading; std::getline(header, heading, ',');) printed.push_back(heading);
        const std::string help = Run({args[0], "--help"}).out;
        std::stringstream columns(help.substr(help.find("Columns:\n") + 9));
        std::vector<std::string> described;
        for (std::string line; std::getline(columns, line) && line.rfind("  ", 0) == 0;) {
            described.push_back(line.substr(2, line.find(':') - 2));
        }
        EXPECT_EQ(described, printed);
    }
}

TEST_F(Cli, DeleteRemovesTheDatasetAndForceReplacesTheFile) {
    ASSERT_EQ(Run({"import", m_db, "A", Data("3,5,2")}).exitCode, 0);
    ASSERT_EQ(Run({"import", m_db, "B", Data("1,2")}).exitCode, 0);
    EXPECT_EQ(Run({"delete", m_db, " A "}).exitCode, 0);
    std::vector<std::string> lines = Lines(Run({"datasets", m_db, "--format", "csv"}).out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 4), "2,B,");
    EXPECT_EQ(Run({"failures", m_db, "A"}).exitCode, 1);

    CliRun replaced = Run({"new", m_db, "--force"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(Run({"datasets", m_db, "--format", "json"}).out, "[]\n");
}

}  // namespace
}  // namespace tamsel
