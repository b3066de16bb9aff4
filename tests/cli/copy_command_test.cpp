// Copying whole projects. On the tests' server the middle copy is a server schema, so the round
// trip crosses both engines both ways; else it is a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "tamsel/store/database.h"

namespace tamsel {
namespace {

using test::CliRun;
using Rows = std::vector<std::vector<DbValue>>;

// Every row of every table of a project file, read with plain SQL: tables by name, rows in key
// order (the key is the first column, or the first two).
std::vector<std::pair<std::string, Rows>> Contents(const std::string& file) {
    Database db(file, Database::OpenMode::ExistingFile);
    std::vector<std::pair<std::string, Rows>> tables;
    Statement names = db.Prepare(
        "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
        "ORDER BY name;");
    while (names.Step()) tables.push_back({names.ColumnText(0), {}});
    for (auto& [name, rows] : tables) {
        Statement select = db.Prepare("SELECT * FROM " + name + " ORDER BY 1, 2;");
        while (select.Step()) {
            std::vector<DbValue>& row = rows.emplace_back();
            for (int c = 0; c < select.ColumnCount(); ++c) row.push_back(select.Column(c));
        }
    }
    return tables;
}

TEST(CopyCommand, RoundTripKeepsEveryRowAndKeyAndNeverReplacesWithoutLeave) {
    test::TempDir dir;
    auto run = [&dir](std::vector<std::string> args) { return test::RunCli(dir, std::move(args)); };
    ASSERT_EQ(run({"demo", "a.db"}).exitCode, 0);
    const auto original = Contents(dir.File("a.db"));
    ASSERT_EQ(original.size(), 16u);
    const std::string middle = dir.ProjectLocation("middle.db");
    test::ExpectRun(run({"copy", "a.db", middle}), 0, "", "");
    test::ExpectRun(run({"copy", middle, "b.db"}), 0, "", "");
    EXPECT_EQ(Contents(dir.File("b.db")), original);

    test::ExpectRun(run({"copy", "a.db", "b.db"}), 1, "",
                    "The file b.db already exists. Use --force to replace it.\n");
    const CliRun refused = run({"copy", "b.db", middle});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Use --force"), std::string::npos) << refused.err;
    // Replacing the source by itself would first remove it; on a server, also where the URIs
    // differ but name the same schema.
    EXPECT_EQ(run({"copy", middle, middle, "--force"}).exitCode, 1);
    if (test::OnTestServer()) {
        const std::string alias =
            "postgres" + middle.substr(middle.find("://")) + "&application_name=alias";
        const CliRun itself = run({"copy", middle, alias, "--force"});
        EXPECT_EQ(itself.exitCode, 1);
        EXPECT_NE(itself.err.find("the target is the source project itself"), std::string::npos)
            << itself.err;
    }

    // New rows in either copy get keys past the copied ones.
    const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
    const auto& dataSets = original[1];
    ASSERT_EQ(dataSets.first, "DataSets");
    const std::string next =
        std::to_string(std::get<std::int64_t>(dataSets.second.back()[0]) + 1) + ",NEW,";
    for (const std::string& copy : {middle, std::string("b.db")}) {
        ASSERT_EQ(run({"import", copy, "NEW", sys1}).exitCode, 0) << copy;
        const auto lines = test::Lines(run({"datasets", copy, "--format", "csv"}).out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().substr(0, next.size()), next);
    }

    test::ExpectRun(run({"copy", "a.db", "b.db", "--force"}), 0, "", "");
    EXPECT_EQ(Contents(dir.File("b.db")), original);
}

// A name another program gave a column would be written into the copy's SQL.
TEST(CopyCommand, RefusesAColumnNameThatIsNotPlain) {
    test::TempDir dir;
    const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"new", "a.db"},
                                                 {"import", "a.db", "SYS1", sys1},
                                                 {"apply", "a.db", "SYS1", "GO"}}) {
        ASSERT_EQ(test::RunCli(dir, args).exitCode, 0) << args[0];
    }
    Database(dir.File("a.db"), Database::OpenMode::ExistingFile)
        .Execute("ALTER TABLE FitOutcomeLists ADD COLUMN \"x) VALUES (1); --\" TEXT;");
    test::ExpectRun(test::RunCli(dir, {"copy", "a.db", "b.db"}), 1, "",
                    "An error occurred while copying the project to b.db: the project has a "
                    "column named \"x) VALUES (1); --\". Nothing was copied.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.db")));
}

// As an earlier version stored a source given by a terminal that was not set to UTF-8: a file
// keeps the bytes as they are; a server refuses them, and the copy names the row by its key.
TEST(CopyCommand, TextThatIsNotUtf8IsCopiedToAFileAndRefusedByAServer) {
    test::TempDir dir;
    const std::string sys1 = std::filesystem::absolute(test::DataFile("sys1.txt")).string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"new", "a.db"},
                                                 {"import", "a.db", "SYS0", sys1},
                                                 {"import", "a.db", "SYS1", sys1}}) {
        ASSERT_EQ(test::RunCli(dir, args).exitCode, 0) << args[0];
    }
    Database(dir.File("a.db"), Database::OpenMode::ExistingFile)
        .Execute(
            "UPDATE DataSets SET DataSource = 'Quelle ' || CAST(X'B5' AS TEXT) "
            "WHERE DataSetID = 2;");
    const std::string target = dir.ProjectLocation("b.db");
    const CliRun copy = test::RunCli(dir, {"copy", "a.db", target});
    if (!test::OnTestServer()) {
        EXPECT_EQ(copy.exitCode, 0) << copy.err;
        EXPECT_EQ(Contents(dir.File("b.db")), Contents(dir.File("a.db")));
        return;
    }
    test::ExpectRun(copy, 1, "",
                    "An error occurred while copying the project to " + target +
                        ": Table DataSets, DataSetID 2: DataSource is not UTF-8 text: its byte "
                        "0xB5 after \"Quelle \" is no part of a UTF-8 character. A server refuses "
                        "such text, and the windows show it as \uFFFD. Correct the value in the "
                        "file first (with the sqlite3 program, for instance); \"tamsel-cli "
                        "check\" lists every such value. Nothing was copied.\n");
    EXPECT_EQ(test::RunCli(dir, {"datasets", target}).exitCode, 1) << "no schema is left";
}

}  // namespace
}  // namespace tamsel
