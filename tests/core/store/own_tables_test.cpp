#include "tamsel/store/own_tables.h"

#include <gtest/gtest.h>

#include "store_fixture.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using namespace test;

// Fits of failures 0..3; the store keeps those of the indices it is given.
const std::vector<FitTermination> kEnds = {{},
                                           {FitOutcome::Converged, "", 40},
                                           {FitOutcome::Limit, "MO", 12},
                                           {FitOutcome::Singular, "", 0}};

bool HasFitOutcomes(Database& db) {
    try {
        QueryRows(db, "SELECT 1 FROM FitOutcomes;");
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

// A project file as an earlier version left it: an estimates set and no FitOutcomes table.
int StoreSetWithoutOutcomes(FreshDatabase& fresh) {
    Database& db = fresh.Db();
    const int dataSetId = AddDataSet(db, "D", {1.0, 2.0, 3.0});
    const int setId = StoreEstimatesSet(db, dataSetId, 1, 1, 1, 1, 3, MakeEstimates(1, 3));
    db.Execute("DROP TABLE IF EXISTS FitOutcomes;");
    return setId;
}

TEST(FitOutcomes, AnEarlierFileReadsAsNotRecordedAndGainsTheTableWhenOpened) {
    FreshDatabase fresh;
    const int setId = StoreSetWithoutOutcomes(fresh);
    fresh.Close();
    RecordingSink sink;
    {  // a write-protected copy is not upgraded, and reads as having no outcomes
        Database readOnly(fresh.Path(), Database::OpenMode::ReadOnlyFile);
        EXPECT_EQ(ReadFitOutcomes(readOnly, setId), std::vector<FitOutcomeRow>{});
        EXPECT_FALSE(HasFitOutcomes(readOnly));
    }
    std::unique_ptr<Database> db = OpenTamselDatabase(fresh.Path());
    ASSERT_TRUE(db);
    EXPECT_TRUE(HasFitOutcomes(*db));
    EXPECT_EQ(ReadFitOutcomes(*db, setId), std::vector<FitOutcomeRow>{});
    ASSERT_TRUE(StoreFitOutcomes(*db, setId, 1, 3, kEnds));
    EXPECT_EQ(ReadFitOutcomes(*db, setId),
              (std::vector<FitOutcomeRow>{
                  {1, "converged", 40}, {2, "limit:MO", 12}, {3, "singular", 0}}));
    EXPECT_EQ(sink.Count(), 0u);
}

TEST(FitOutcomes, RefusedRowsStoreNothingAndRowsGoWithTheirDataset) {
    FreshDatabase fresh;
    Database& db = fresh.Db();
    EnsureOwnTables(db);
    const int dataSetId = AddDataSet(db, "D", {1.0, 2.0, 3.0});
    const int setId = StoreEstimatesSet(db, dataSetId, 1, 1, 1, 1, 3, MakeEstimates(1, 3));
    EXPECT_FALSE(StoreFitOutcomes(db, setId, 1, 4, kEnds)) << "index 4 was not fitted";
    EXPECT_FALSE(StoreFitOutcomes(db, setId + 1, 1, 3, kEnds)) << "no such set";
    ASSERT_TRUE(StoreFitOutcomes(db, setId, 2, 3, kEnds));
    EXPECT_FALSE(StoreFitOutcomes(db, setId, 1, 3, kEnds)) << "index 2 is stored already";
    EXPECT_EQ(CountRows(db, "FitOutcomes"), 2);
    ASSERT_TRUE(DeleteDataSet(db, "D"));
    EXPECT_EQ(CountRows(db, "FitOutcomes"), 0);
}

}  // namespace
}  // namespace tamsel
