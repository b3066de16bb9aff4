// A project file is input like any other: values edited by hand or by another program are
// refused where they are read, with a message naming table, row and problem, and `check`
// reports the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store_fixture.h"
#include "tamsel/store/checks.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

constexpr const char* kAdvice =
    ". The file may be damaged or edited; \"tamsel-cli check\" lists every such value.";

// What reads the tampered value.
enum class Reader { Apply, ListSets, EstimatesColumn };

struct Tampering {
    const char* what;
    const char* sql;
    Reader reader;
    const char* message;  // without kAdvice
};

const Tampering kTamperings[] = {
    {"text for a time", "UPDATE FailureTimes SET InterfailureTime = 'soon' WHERE FailureIndex = 5",
     Reader::Apply,
     "Table FailureTimes, data set 1, failure 5: InterfailureTime is the text \"soon\", not a "
     "finite number"},
    {"a negative time", "UPDATE FailureTimes SET CumulativeTime = -2.5 WHERE FailureIndex = 7",
     Reader::Apply, "Table FailureTimes, data set 1, failure 7: CumulativeTime is -2.5, below 0"},
    {"an infinite time", "UPDATE FailureTimes SET InterfailureTime = 9e999 WHERE FailureIndex = 3",
     Reader::Apply,
     "Table FailureTimes, data set 1, failure 3: InterfailureTime is infinite, not a finite "
     "number"},
    {"a failure stored twice",
     "INSERT INTO FailureTimes (DataSetID, FailureIndex, InterfailureTime, CumulativeTime) "
     "SELECT DataSetID, FailureIndex, InterfailureTime, CumulativeTime FROM FailureTimes "
     "WHERE FailureIndex = 9; UPDATE DataSets SET DataNumber = 137",
     Reader::Apply, "Table FailureTimes, data set 1, failure 9: the failure is stored twice"},
    {"a missing failure",
     "DELETE FROM FailureTimes WHERE FailureIndex = 4; UPDATE DataSets SET DataNumber = 135",
     Reader::Apply, "Table FailureTimes, data set 1, failure 5: failure 4 is missing"},
    {"a count that does not match", "UPDATE DataSets SET DataNumber = 140", Reader::Apply,
     "Table DataSets, data set 1: DataNumber is 140 but 136 failure times are stored"},
    {"a count in words", "UPDATE DataSets SET DataNumber = 'many'", Reader::Apply,
     "Table DataSets, data set 1: DataNumber is the text \"many\", not a whole number from 0 to "
     "2147483647"},
    {"a count beyond 32 bits", "UPDATE DataSets SET DataNumber = 3000000000", Reader::Apply,
     "Table DataSets, data set 1: DataNumber is 3000000000, not a whole number from 0 to "
     "2147483647"},
    {"an unknown model", "UPDATE EstimatesSets SET ModelID = 99", Reader::ListSets,
     "Table EstimatesSets, set 1: its model 99 is missing from Models"},
    {"a missing range", "UPDATE EstimatesSets SET RangeID = 42", Reader::ListSets,
     "Table EstimatesSets, set 1: its range 42 is missing from Ranges"},
    {"an estimate stored twice",
     "INSERT INTO Estimates (EstimatesSetID, FailureIndex, Pdf, Cdf) "
     "SELECT EstimatesSetID, FailureIndex, Pdf, Cdf FROM Estimates WHERE FailureIndex = 30",
     Reader::EstimatesColumn,
     "Table Estimates, EstimatesSetID 1, failure 30: the row is stored more than once"},
};

TEST(TamperedProjectFile, EveryBadValueIsRefusedWhereReadAndReportedByCheck) {
    for (const Tampering& tampering : kTamperings) {
        SCOPED_TRACE(tampering.what);
        test::FreshDatabase fresh;
        Database& db = fresh.Db();
        const int dataSetId = test::AddDataSet(db, "SYS1", test::ReadDataValues("sys1.txt"));
        ASSERT_EQ(ApplyModel(db, dataSetId, 4, 1, 1, RunControl(), 1).outcome,
                  ApplyModelResult::Outcome::Stored);
        db.Execute("PRAGMA foreign_keys = OFF;");
        db.Execute(tampering.sql);
        db.Execute("PRAGMA foreign_keys = ON;");

        const std::string message = std::string(tampering.message) + kAdvice;
        test::RecordingSink sink;
        switch (tampering.reader) {
            case Reader::Apply:
                EXPECT_NE(ApplyModel(db, dataSetId, 3, 1, 1, RunControl(), 1).outcome,
                          ApplyModelResult::Outcome::Stored);
                break;
            case Reader::ListSets:
                EXPECT_EQ(ListEstimatesSets(db, "SYS1").value().size(), 0u);
                break;
            case Reader::EstimatesColumn:
                EXPECT_EQ(ReadEstimatesColumn(db, 1, "Cdf"), std::nullopt);
                break;
        }
        ASSERT_FALSE(sink.Texts().empty());
        EXPECT_EQ(sink.Texts().front().substr(0, message.size()), message);
        EXPECT_EQ(test::CountRows(db, "EstimatesSets"), 1) << "nothing was stored";

        const std::vector<std::string> problems = FindProblems(db);
        EXPECT_NE(std::find(problems.begin(), problems.end(), message), problems.end())
            << "check reports it too";
    }
}

TEST(TamperedProjectFile, CheckFindsNothingInAnUntouchedFile) {
    test::FreshDatabase fresh;
    const int dataSetId = test::AddDataSet(fresh.Db(), "SYS1", test::ReadDataValues("sys1.txt"));
    ApplyModel(fresh.Db(), dataSetId, 4, 1, 1, RunControl(), 1);
    EXPECT_EQ(FindProblems(fresh.Db()), std::vector<std::string>{});
}

// As an earlier version stored a source given by a terminal that was not set to UTF-8.
TEST(TamperedProjectFile, CheckFindsTextThatIsNotUtf8) {
    test::FreshDatabase fresh;
    test::AddDataSet(fresh.Db(), "SYS1", test::ReadDataValues("sys1.txt"));
    fresh.Db().Execute("UPDATE DataSets SET DataSource = 'Quelle ' || CAST(X'B5' AS TEXT);");
    EXPECT_EQ(FindProblems(fresh.Db()),
              std::vector<std::string>{
                  "Table DataSets, DataSetID 1: DataSource is not UTF-8 text: its byte 0xB5 after "
                  "\"Quelle \" is no part of a UTF-8 character. A server refuses such text, and "
                  "the windows show it as \uFFFD."});
}

}  // namespace
}  // namespace tamsel
