#include "tamsel/store/own_tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

bool HasTable(Database& db, const std::string& name) {
    try {
        QueryRows(db, "SELECT 1 FROM " + name + ";");
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

// A project as an earlier version left it: an estimates set of failures 1..3 and no table of
// fit outcomes, or (rowPerFit) the earlier table of a row per fit, holding rows.
int StoreEarlierSet(FreshDatabase& fresh, const std::vector<std::string>& rowPerFit = {}) {
    Database& db = fresh.Db();
    const int dataSetId = AddDataSet(db, "D", {1.0, 2.0, 3.0});
    const int setId = StoreEstimatesSet(db, dataSetId, 1, 1, 1, 1, 3, MakeEstimates(1, 3));
    db.Execute("DROP TABLE IF EXISTS FitOutcomeLists;");
    if (rowPerFit.empty()) return setId;
    db.Execute(
        "CREATE TABLE FitOutcomes (EstimatesSetID INTEGER NOT NULL REFERENCES EstimatesSets "
        "(EstimatesSetID) ON DELETE CASCADE, FailureIndex INTEGER NOT NULL, Outcome TEXT NOT "
        "NULL, Evaluations INTEGER NOT NULL, PRIMARY KEY (EstimatesSetID, FailureIndex));");
    for (const std::string& values : rowPerFit) {
        db.Execute("INSERT INTO FitOutcomes VALUES (" + std::to_string(setId) + ", " + values +
                   ");");
    }
    return setId;
}

const std::vector<FitOutcomeRow> kStored = {
    {1, "converged", 40}, {2, "limit:MO", 12}, {3, "singular", 0}};

TEST(FitOutcomes, AnEarlierFileReadsAsNotRecordedAndGainsTheTableWhenOpened) {
    FreshDatabase fresh;
    const int setId = StoreEarlierSet(fresh);
    fresh.Close();
    RecordingSink sink;
    {  // a write-protected copy is not upgraded, and reads as having no outcomes
        Database readOnly(fresh.Path(), Database::OpenMode::ReadOnlyFile);
        EXPECT_EQ(ReadFitOutcomes(readOnly, setId), std::vector<FitOutcomeRow>{});
        EXPECT_FALSE(HasTable(readOnly, "FitOutcomeLists"));
    }
    std::unique_ptr<Database> db = OpenTamselDatabase(fresh.Path());
    ASSERT_TRUE(db);
    EXPECT_TRUE(HasTable(*db, "FitOutcomeLists"));
    EXPECT_EQ(ReadFitOutcomes(*db, setId), std::vector<FitOutcomeRow>{});
    ASSERT_TRUE(StoreFitOutcomes(*db, setId, 1, 3, kEnds));
    EXPECT_EQ(ReadFitOutcomes(*db, setId), kStored);
    EXPECT_EQ(sink.Count(), 0u);
}

// No version left a gap in a set's rows; a list, which has none, ends before one.
TEST(FitOutcomes, ARowPerFitIsReadAsItStandsAndMovedIntoAListWhenOpened) {
    FreshDatabase fresh;
    const int setId = StoreEarlierSet(fresh, {"2, 'limit:MO', 12", "1, 'converged', 40",
                                              "3, 'singular', 0", "5, 'converged', 7"});
    fresh.Close();
    RecordingSink sink;
    {
        Database readOnly(fresh.Path(), Database::OpenMode::ReadOnlyFile);
        std::vector<FitOutcomeRow> asItStands = kStored;
        asItStands.push_back({5, "converged", 7});
        EXPECT_EQ(ReadFitOutcomes(readOnly, setId), asItStands);
    }
    std::unique_ptr<Database> db = OpenTamselDatabase(fresh.Path());
    ASSERT_TRUE(db);
    EXPECT_FALSE(HasTable(*db, "FitOutcomes")) << "the earlier table goes once moved";
    EXPECT_EQ(CountRows(*db, "FitOutcomeLists"), 1);
    EXPECT_EQ(ReadFitOutcomes(*db, setId), kStored);
    EXPECT_EQ(sink.Count(), 0u);
}

// A team's analyst may change the project's tables but not add tables to its schema (as the
// user guide sets the roles up). An earlier project opens for such a role to read, with its
// writes refused, until its owner has opened it; the owner's open grants the new table as the
// others are granted.
TEST(FitOutcomes, AnAnalystReadsAnEarlierServerProjectUntilItsOwnerHasOpenedIt) {
    if (!OnTestServer()) GTEST_SKIP() << "roles and grants are the server's";
    FreshDatabase fresh;
    const int setId =
        StoreEarlierSet(fresh, {"1, 'converged', 40", "2, 'limit:MO', 12", "3, 'singular', 0"});
    const std::string role = "tamsel_analyst_" + std::to_string(::getpid());
    const std::string schema = "\"" + fresh.Db().Schema() + "\"";
    fresh.Db().Execute("CREATE ROLE " + role + " LOGIN; GRANT USAGE ON SCHEMA " + schema + " TO " +
                       role +
                       "; GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN "
                       "SCHEMA " +
                       schema + " TO " + role + "; GRANT USAGE ON ALL SEQUENCES IN SCHEMA " +
                       schema + " TO " + role + ";");
    fresh.Close();
    const std::string user = fresh.Path().substr(0, fresh.Path().find("://") + 3);
    const std::string asRole = user + role + fresh.Path().substr(fresh.Path().find('@'));
    RecordingSink sink;
    {
        std::unique_ptr<Database> analyst = OpenTamselDatabase(asRole);
        ASSERT_TRUE(analyst);
        EXPECT_EQ(ReadFitOutcomes(*analyst, setId), kStored);
        EXPECT_TRUE(analyst->IsReadOnly());
        EXPECT_EQ(analyst->WriteRefusal(),
                  "This project was made by an earlier version of Tamsel, and the role " + role +
                      " may read it but not add the tables this version keeps beside the defined "
                      "ones, so nothing can be stored in it. Ask the project's owner to open it "
                      "once with this version.");
    }
    ASSERT_TRUE(OpenTamselDatabase(fresh.Path()));
    {
        std::unique_ptr<Database> analyst = OpenTamselDatabase(asRole);
        ASSERT_TRUE(analyst);
        EXPECT_EQ(analyst->WriteRefusal(), std::nullopt);
        EXPECT_EQ(ReadFitOutcomes(*analyst, setId), kStored);
        ASSERT_TRUE(ReplaceFitOutcomesFrom(*analyst, setId, 3, 3, kEnds));
    }
    EXPECT_EQ(sink.Count(), 0u);
    std::unique_ptr<Database> owner = OpenTamselDatabase(fresh.Path());
    owner->Execute("DROP OWNED BY " + role + "; DROP ROLE " + role + ";");
}

TEST(FitOutcomes, RefusedListsStoreNothingAndListsGoWithTheirDataset) {
    FreshDatabase fresh;
    Database& db = fresh.Db();
    EnsureOwnTables(db);
    const int dataSetId = AddDataSet(db, "D", {1.0, 2.0, 3.0});
    const int setId = StoreEstimatesSet(db, dataSetId, 1, 1, 1, 1, 3, MakeEstimates(1, 3));
    EXPECT_FALSE(StoreFitOutcomes(db, setId, 1, 4, kEnds)) << "index 4 was not fitted";
    EXPECT_FALSE(StoreFitOutcomes(db, setId + 1, 1, 3, kEnds)) << "no such set";
    ASSERT_TRUE(StoreFitOutcomes(db, setId, 2, 2, kEnds));
    EXPECT_FALSE(StoreFitOutcomes(db, setId, 1, 3, kEnds)) << "the set has its list";
    EXPECT_FALSE(ReplaceFitOutcomesFrom(db, setId, 4, 3, kEnds)) << "index 3 would be missing";
    EXPECT_EQ(ReadFitOutcomes(db, setId), (std::vector<FitOutcomeRow>{kStored[1]}));
    // Appending refits the last fit and adds the next.
    ASSERT_TRUE(ReplaceFitOutcomesFrom(db, setId, 2, 3, kEnds));
    EXPECT_EQ(ReadFitOutcomes(db, setId), (std::vector<FitOutcomeRow>{kStored[1], kStored[2]}));
    ASSERT_TRUE(DeleteDataSet(db, "D"));
    EXPECT_EQ(CountRows(db, "FitOutcomeLists"), 0);
}

TEST(FitOutcomes, AListNotOfOutcomeEvaluationPairsIsAReadingError) {
    FreshDatabase fresh;
    Database& db = fresh.Db();
    const int dataSetId = AddDataSet(db, "D", {1.0, 2.0, 3.0});
    const int setId = StoreEstimatesSet(db, dataSetId, 1, 1, 1, 1, 3, MakeEstimates(1, 3));
    for (const char* fits :
         {"converged/40 limit:MO", "converged/", "/4", "converged/4x", "converged/4  singular/0"}) {
        SCOPED_TRACE(fits);
        db.Execute("DELETE FROM FitOutcomeLists;");
        db.Execute("INSERT INTO FitOutcomeLists VALUES (" + std::to_string(setId) + ", 1, '" +
                   fits + "');");
        RecordingSink sink;
        EXPECT_EQ(ReadFitOutcomes(db, setId), std::nullopt);
        EXPECT_EQ(sink.Texts(),
                  std::vector<std::string>{"An error occurred while reading the database."});
    }
}

}  // namespace
}  // namespace tamsel
