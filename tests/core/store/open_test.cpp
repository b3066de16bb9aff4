// Opening a project file recognises it before anything may write: a foreign file and the
// journal beside it stay as they are, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store_fixture.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using test::FreshDatabase;
using test::QueryValue;

// A copy at copy of db's file with the journal of a transaction that has written into the
// file (a small page cache makes the engine do so): what a crash would leave. The
// transaction is rolled back in db afterwards.
void CopyMidTransaction(Database& db, const std::string& insertSql, const std::string& copy) {
    db.Execute("PRAGMA journal_mode = DELETE; PRAGMA cache_size = 2; BEGIN;");
    db.Execute(insertSql);
    ASSERT_TRUE(std::filesystem::exists(db.FileName() + "-journal"));
    std::filesystem::copy_file(db.FileName(), copy);
    std::filesystem::copy_file(db.FileName() + "-journal", copy + "-journal");
    db.Execute("ROLLBACK;");
}

constexpr const char* kManyRows =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
    "INSERT INTO %T SELECT i, 'row ' || i FROM n;";

std::string ManyRowsInto(const std::string& table) {
    std::string sql = kManyRows;
    sql.replace(sql.find("%T"), 2, table);
    return sql;
}

TEST(OpeningAProjectFile, LeavesAForeignFileAndItsJournalByteIdentical) {
    test::TempDir dir;
    const std::string other = dir.File("other.db");
    const std::string copy = dir.File("crashed.db");
    {
        Database db(other, Database::OpenMode::CreateFile);
        db.Execute("CREATE TABLE Notes (Id INTEGER PRIMARY KEY, Text TEXT);");
        CopyMidTransaction(db, ManyRowsInto("Notes (Id, Text)"), copy);
    }
    // Also a plain file that merely carries a journal's name.
    dir.WriteFile("other.db-journal", "not a journal");
    for (const std::string& path : {copy, other}) {
        SCOPED_TRACE(path);
        const std::string file = test::ReadBytes(path);
        const std::string journal = test::ReadBytes(path + "-journal");
        test::RecordingSink sink;
        EXPECT_EQ(OpenTamselDatabase(path), nullptr);
        EXPECT_EQ(sink.Texts(),
                  std::vector<std::string>{"An error occurred in selecting a database"});
        EXPECT_EQ(test::ReadBytes(path), file);
        EXPECT_EQ(test::ReadBytes(path + "-journal"), journal);
    }
}

TEST(OpeningAProjectFile, RecognisesAFileOfAnEarlierVersionAndMarksIt) {
    FreshDatabase fresh;
    // An earlier version's file: no mark and a rollback journal, left by a crash mid-import.
    fresh.Db().Execute("PRAGMA application_id = 0;");
    const std::string copy = fresh.Dir().File("earlier.db");
    CopyMidTransaction(fresh.Db(), ManyRowsInto("DataSets (DataSetID, DataName)"), copy);

    test::RecordingSink sink;
    auto db = OpenTamselDatabase(copy);
    ASSERT_TRUE(db);
    EXPECT_EQ(sink.Count(), 0u);
    EXPECT_EQ(test::CountRows(*db, "DataSets"), 0) << "the crashed import was rolled back";
    EXPECT_NE(QueryValue(*db, "PRAGMA application_id;"), test::I(0));
    EXPECT_EQ(QueryValue(*db, "PRAGMA journal_mode;"), test::S("wal"));
    EXPECT_EQ(QueryValue(*db, "PRAGMA integrity_check;"), test::S("ok"));
    EXPECT_EQ(QueryValue(*db, "PRAGMA foreign_keys;"), test::I(1)) << "relations are enforced";
}

TEST(OpeningAProjectFile, ReadsOnlyWhatItNeedsAndReportsDamageWhereItIsRead) {
    // A project whose failure times fill many pages, one of them overwritten.
    FreshDatabase fresh;
    const int dataSetId = test::AddDataSet(fresh.Db(), "Big", std::vector<double>(3000, 1.5));
    fresh.Close();
    {
        std::fstream file(fresh.Path(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(-6000, std::ios::end);
        file << std::string(3000, 'U');
    }
    test::RecordingSink sink;
    auto db = OpenTamselDatabase(fresh.Path());
    ASSERT_TRUE(db) << "opening reads the header, the tables and the reference rows only";
    EXPECT_EQ(sink.Count(), 0u);
    EXPECT_EQ(ReadFailureTimesColumn(*db, dataSetId, "CumulativeTime", 1), std::nullopt);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{kFileDamaged});
}

TEST(ProjectLocation, ServerUrisAreToldFromPathsAndShownWithoutPasswords) {
    const struct {
        const char* location;
        bool server;
        const char* shown;
    } cases[] = {
        {"project.db", false, "project.db"},
        {"/data/postgresql://x.db", false, "/data/postgresql://x.db"},
        {"PostgreSQL://db.example/rel", true, "PostgreSQL://db.example/rel"},
        {"postgres://ann:s3cr@t@db:5433/rel?schema=p1", true,
         "postgres://ann@db:5433/rel?schema=p1"},
        {"postgresql://ann@%2Ftmp%2Fs/rel?password=x&schema=p1&sslmode=require", true,
         "postgresql://ann@%2Ftmp%2Fs/rel?schema=p1&sslmode=require"},
        {"postgresql:///rel?PASSWORD=x", true, "postgresql:///rel"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsServerLocation(c.location), c.server) << c.location;
        EXPECT_EQ(DisplayLocation(c.location), c.shown) << c.location;
    }
}

}  // namespace
}  // namespace tamsel
