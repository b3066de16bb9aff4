#include "tamsel/store/foreign_keys.h"

#include <gtest/gtest.h>

#include <optional>
#include <variant>
#include <vector>

#include "store_fixture.h"
#include "tamsel/store/writers.h"
#include "test_support.h"

namespace tamsel {
namespace {

// The file engine's switch of its own key checks; a server always checks.
class BulkKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        if (test::OnTestServer()) GTEST_SKIP() << "about project files";
    }
    std::int64_t NewDataSet(const std::string& name) {
        const int dataSetId = InsertDataSet(*m_db, name, name + ".txt", 1, 2, "");
        EXPECT_NE(dataSetId, 0);
        return dataSetId;
    }

    // A failure row of dataset, which need not exist (nullopt stores a Null key).
    void InsertFailure(std::optional<std::int64_t> dataSet) {
        Statement insert = m_db->Prepare(
            "INSERT INTO FailureTimes (DataSetID, FailureIndex, InterfailureTime, "
            "CumulativeTime) VALUES (?1, 1, 2.5, 2.5)");
        if (dataSet) insert.Bind(1, *dataSet);
        insert.Run();
    }

    std::int64_t Count(const std::string& sql) {
        return std::get<std::int64_t>(test::QueryValue(*m_db, sql));
    }

    test::FreshDatabase m_project;
    Database* m_db = &m_project.Db();
};

constexpr std::int64_t kMissing = 999;

TEST_F(BulkKeys, NewRowsWithoutTheirParentAreFound) {
    struct Case {
        const char* what;
        std::vector<std::optional<std::int64_t>> parents;  // 1 and 2 exist
        bool hold;
    };
    const std::vector<Case> cases{
        {"one existing parent", {1, 1, 1}, true},
        {"two existing parents", {1, 2, 1}, true},
        {"Null keys beside an existing parent", {std::nullopt, 2}, true},
        {"one missing parent for all rows", {kMissing, kMissing}, false},
        {"one row of a missing parent among good ones", {1, kMissing, 2}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ForeignKeysSuspended off(*m_db);
        Transaction unit(*m_db);
        NewDataSet("A");
        NewDataSet("B");
        InsertFailure(1);  // an earlier row, not checked
        const std::int64_t last = LastRowKey(*m_db, "FailureTimes");
        for (const auto& parent : c.parents) InsertFailure(parent);
        EXPECT_EQ(NewRowsKeysHold(*m_db, "FailureTimes", last), c.hold);
        EXPECT_TRUE(NewRowsKeysHold(*m_db, "DataSets", 0));
    }
}

TEST_F(BulkKeys, AViolationRollsTheUnitBackAndEnforcementReturns) {
    {
        const ForeignKeysSuspended off(*m_db);
        Transaction unit(*m_db);
        const std::int64_t last = LastRowKey(*m_db, "FailureTimes");
        NewDataSet("A");
        InsertFailure(kMissing);  // accepted while the check is off
        ASSERT_FALSE(NewRowsKeysHold(*m_db, "FailureTimes", last));
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM DataSets"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM FailureTimes"), 0);
    EXPECT_EQ(Count("PRAGMA foreign_keys"), 1);
    EXPECT_THROW(InsertFailure(kMissing), DatabaseError);
}

TEST_F(BulkKeys, InsideAUnitEnforcementStaysOn) {
    Transaction outer(*m_db);
    const ForeignKeysSuspended off(*m_db);
    EXPECT_THROW(InsertFailure(kMissing), DatabaseError);
}

}  // namespace
}  // namespace tamsel
