// The whole-file check and what tamsel-cli does with a shared, possibly hostile project file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"

namespace tamsel {
namespace {

using test::CliRun;

class SharedProject : public test::CliProject {
  protected:
    // Edits the file as another program might, relations unchecked.
    void Sql(const std::string& sql) {
        Database db(m_dir.File("x.db"), Database::OpenMode::ExistingFile);
        db.Execute("PRAGMA foreign_keys = OFF;" + sql);
    }
};

TEST_F(SharedProject, CheckListsEveryProblemAndExitsOneOnlyWhenThereIsAny) {
    ImportSys1({{"apply", "x.db", "SYS1", "GO"}});
    test::ExpectRun(Run({"check", "x.db"}), 0, "No problems found.\n", "");

    Sql("UPDATE FailureTimes SET CumulativeTime = -1 WHERE FailureIndex = 3;"
        "UPDATE EstimatesSets SET ModelID = 99;");
    const std::string advice =
        ". The file may be damaged or edited; \"tamsel-cli check\" lists every such value.\n";
    test::ExpectRun(Run({"check", "x.db"}), 1,
                    "Table EstimatesSets, row 1: refers to a row of Models that is missing.\n"
                    "Table FailureTimes, data set 1, failure 3: CumulativeTime is -1, below 0" +
                        advice + "Table EstimatesSets, set 1: its model 99 is missing from Models" +
                        advice,
                    "The project file has 3 problems.\n");
}

TEST_F(SharedProject, ControlCharactersInNamesReachTheTerminalEscaped) {
    const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
    const std::string name =
        "A\x1b]0;owned\x07\x1b[2J\xc2\x9b"
        "B";
    ASSERT_EQ(Run({"import", "x.db", name, sys1}).exitCode, 0);
    const CliRun list = Run({"datasets", "x.db"});
    EXPECT_NE(list.out.find("A\\x1b]0;owned\\x07\\x1b[2J\\x9bB"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find('\x1b'), std::string::npos);
    const CliRun missing = Run({"failures", "x.db", "\x1b[2J"});
    EXPECT_EQ(missing.err, "There is no dataset named \"\\x1b[2J\".\n");
}

TEST_F(SharedProject, NewRemovesWhatAKilledNewLeftButNotTheUsersFiles) {
    // What a killed `new` leaves: a Tamsel file under the temporary name, with its journal.
    ASSERT_EQ(Run({"new", "left.db"}).exitCode, 0);
    std::filesystem::rename(m_dir.File("left.db"), m_dir.File("y.db.new0"));
    m_dir.WriteFile("y.db.new0-journal", "");
    m_dir.WriteFile("y.db.new1", "a file of the user's");
    ASSERT_EQ(Run({"new", "y.db"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("y.db.new0")));
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("y.db.new0-journal")));
    EXPECT_EQ(test::ReadBytes(m_dir.File("y.db.new1")), "a file of the user's");
}

}  // namespace
}  // namespace tamsel
