#include "tamsel/store/writers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "store_fixture.h"
#include "store_helpers.h"
#include "tamsel/store/queries.h"

namespace tamsel {
namespace {

using namespace test;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

Rows FailureRows(Database& db) {
    return QueryRows(db,
                     "SELECT FailureIndex, InterfailureTime, CumulativeTime FROM FailureTimes "
                     "ORDER BY FailureID;");
}

TEST(InsertFailureTimes, DerivesTheOtherColumnFromEitherKind) {
    struct Case {
        int type;
        std::vector<double> data;
        Rows expected;
    };
    const Case cases[] = {
        {1, {3, 5, 2}, {{I(1), 3.0, 3.0}, {I(2), 5.0, 8.0}, {I(3), 2.0, 10.0}}},
        {2, {3, 8, 10}, {{I(1), 3.0, 3.0}, {I(2), 5.0, 8.0}, {I(3), 2.0, 10.0}}},
        {1, {4.5}, {{I(1), 4.5, 4.5}}},
        {2, {4.5}, {{I(1), 4.5, 4.5}}},
        {1, {}, {}},
    };
    for (const Case& c : cases) {
        FreshDatabase fresh;
        ASSERT_TRUE(InsertDataSet(fresh.Db(), "D", "d.txt", c.type, 3, ""));
        EXPECT_TRUE(InsertFailureTimes(fresh.Db(), c.data, c.type, "D"));
        EXPECT_EQ(FailureRows(fresh.Db()), c.expected) << "type " << c.type;
    }
}

TEST(InsertFailureTimes, RefusesWholeSeriesWithoutStoringAny) {
    struct Case {
        const char* what;
        int type;
        std::vector<double> data;
        const char* name;
    };
    const Case cases[] = {
        {"NaN", 1, {1, kNaN, 2}, "D"},
        {"infinity", 2, {1, 2, kInf}, "D"},
        {"sum overflows", 1, {1e308, 1e308}, "D"},
        {"difference overflows", 2, {-1e308, 1e308}, "D"},
        {"unknown data type", 3, {1, 2}, "D"},
        {"unknown name", 1, {1, 2}, "E"},
        {"name with blanks", 1, {1, 2}, " D "},
    };
    for (const Case& c : cases) {
        FreshDatabase fresh;
        ASSERT_TRUE(InsertDataSet(fresh.Db(), "D", "d.txt", 1, 2, ""));
        EXPECT_FALSE(InsertFailureTimes(fresh.Db(), c.data, c.type, c.name)) << c.what;
        EXPECT_EQ(CountRows(fresh.Db(), "FailureTimes"), 0) << c.what;
    }
}

// Rows go to the engine many to a statement: sets one shorter than a batch, one batch, one
// longer, and two batches and one, all come back whole and in order, from each writer.
TEST(Writers, SetsAroundTheBatchSizeComeBackWholeAndInOrder) {
    for (int n : {63, 64, 65, 129}) {
        SCOPED_TRACE(n);
        FreshDatabase fresh;
        Database& db = fresh.Db();
        std::vector<double> cumulative;
        Rows failures;
        for (int i = 1; i <= n; ++i) {
            const double x = i % 7 + 0.25;
            cumulative.push_back((i == 1 ? 0.0 : cumulative.back()) + x);
            failures.push_back({I(i), x, cumulative.back()});
        }
        ASSERT_TRUE(InsertDataSet(db, "D", "d.txt", 2, n, ""));
        ASSERT_TRUE(InsertFailureTimes(db, cumulative, 2, "D"));
        EXPECT_EQ(FailureRows(db), failures);

        ASSERT_EQ(StoreEstimatesSet(db, 1, 1, 1, 1, 1, n, test::MakeEstimates(1, n)), 1);
        Rows estimates;
        for (int i = 1; i <= n; ++i) {
            estimates.push_back({I(i), I(1), I(i)});
            for (int f = 1; f <= 10; ++f) estimates.back().push_back(i + f / 100.0);
        }
        EXPECT_EQ(QueryRows(db, "SELECT * FROM Estimates ORDER BY EstimateID;"), estimates);

        // Array a, element j holds 10 * a + j / 100; element k is the row of failure k.
        std::vector<std::vector<double>> arrays(5, std::vector<double>(n + 1, 0.0));
        Rows predictions;
        for (int j = 1; j <= n; ++j) {
            for (int a = 0; a < 5; ++a) arrays[a][j] = 10.0 * a + j / 100.0;
            predictions.push_back({I(j), I(1), I(j), arrays[1][j], arrays[0][j], arrays[2][j],
                                   arrays[3][j], arrays[4][j], kNull});
        }
        ASSERT_EQ(StorePredictionsSet(db, 1, 1, 1, n + 1, 0, arrays[0], arrays[1], arrays[2],
                                      arrays[3], arrays[4]),
                  1);
        EXPECT_EQ(QueryRows(db, "SELECT * FROM Predictions ORDER BY PredictionID;"), predictions);
    }
}

// A dataset with one estimates set (model 1, range 1, method 1) and no estimates.
class WriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::AddDataSet(Db(), "D", std::vector<double>(40, 1.0));
        ASSERT_EQ(StoreEstimatesSet(Db(), 1, 1, 1, 1, 1, 0, {}), 1);
    }
    Database& Db() { return m_fresh.Db(); }

    FreshDatabase m_fresh;
};

// A set goes in whole under its new key, or not at all.
TEST_F(WriterTest, StoreEstimatesSetReturnsItsKeyOrStoresNothing) {
    EstimatesArray withNaN = test::MakeEstimates(20, 25);
    withNaN[25].mttf = kNaN;
    EstimatesArray withInf = test::MakeEstimates(20, 25);
    withInf[20].param3 = -kInf;
    const EstimatesArray good = test::MakeEstimates(20, 25);
    struct Case {
        const char* what;
        int model, first, last;
        const EstimatesArray& estimates;
        int key;
    };
    const Case cases[] = {
        {"NaN in the last row", 1, 20, 25, withNaN, 0},
        {"infinity in the first row", 1, 20, 25, withInf, 0},
        {"last beyond the array", 1, 20, 26, good, 0},
        {"negative first", 1, -1, 25, good, 0},
        {"a good set", 4, 20, 25, good, 2},
        {"no such model", 9, 20, 25, good, 0},
    };
    std::int64_t sets = 1;
    for (const Case& c : cases) {
        EXPECT_EQ(StoreEstimatesSet(Db(), 1, c.model, 1, 1, c.first, c.last, c.estimates), c.key)
            << c.what;
        sets += c.key != 0;
        EXPECT_EQ(CountRows(Db(), "EstimatesSets"), sets) << c.what;
        EXPECT_EQ(CountRows(Db(), "Estimates"), 6 * (sets - 1)) << c.what;
    }
}

TEST_F(WriterTest, PredictionsTakeElementKMinusBasePlusOne) {
    // Distinct values per array and element: array a, element j holds 10 * a + j / 100.
    std::vector<std::vector<double>> arrays(5, std::vector<double>(8, 0.0));
    for (int a = 0; a < 5; ++a) {
        for (int j = 1; j < 8; ++j) arrays[a][j] = 10.0 * a + j / 100.0;
    }
    const auto& [cdf, pdf, lowQ, median, uppQ] =
        std::tie(arrays[0], arrays[1], arrays[2], arrays[3], arrays[4]);
    EXPECT_EQ(StorePredictionsSet(Db(), 1, 1, 20, 27, 0, cdf, pdf, lowQ, median, uppQ), 1);
    const int set2 = StorePredictionsSet(Db(), 1, 2, 20, 27, 5, cdf, pdf, lowQ, median, uppQ);
    EXPECT_EQ(set2, 2);

    Rows rows = QueryRows(Db(),
                          "SELECT PredictionsSetID, FailureIndex, Pdf, Cdf, LowQ, Median, UppQ, "
                          "MTTF FROM Predictions ORDER BY PredictionID;");
    Rows expected;
    for (int k = 20; k <= 26; ++k) {
        const double j = (k - 20 + 1) / 100.0;
        expected.push_back({I(1), I(k), 10 + j, j, 20 + j, 30 + j, 40 + j, kNull});
    }
    for (int k = 25; k <= 26; ++k) {
        const double j = (k - 20 + 1) / 100.0;
        expected.push_back({I(2), I(k), 10 + j, j, 20 + j, 30 + j, 40 + j, kNull});
    }
    EXPECT_EQ(rows, expected);
}

TEST_F(WriterTest, PredictionsAreRefusedWhole) {
    std::vector<double> full(8, 0.5);
    std::vector<double> shortArray(7, 0.5);
    std::vector<double> withNaN(8, 0.5);
    withNaN[7] = kNaN;
    EXPECT_EQ(StorePredictionsSet(Db(), 1, 1, 20, 27, 0, full, full, full, shortArray, full), 0);
    EXPECT_EQ(StorePredictionsSet(Db(), 1, 1, 20, 27, 0, full, full, full, full, withNaN), 0);
    EXPECT_EQ(StorePredictionsSet(Db(), 2, 1, 20, 27, 0, full, full, full, full, full), 0)
        << "no estimates set 2";
    EXPECT_EQ(StorePredictionsSet(Db(), 1, 1, 20, 27, 0, withNaN, full, full, full, full), 0);
    EXPECT_EQ(CountRows(Db(), "PredictionsSets"), 0);
    EXPECT_EQ(CountRows(Db(), "Predictions"), 0);
}

TEST_F(WriterTest, FindOrCreateRangeReusesAnEqualRow) {
    EXPECT_EQ(FindOrCreateRange(Db(), 1, 20, std::nullopt), 1);
    EXPECT_EQ(FindOrCreateRange(Db(), 1, 5, 30), 2);
    EXPECT_EQ(FindOrCreateRange(Db(), 1, 5, 30), 2);
    EXPECT_EQ(FindOrCreateRange(Db(), 1, 5, std::nullopt), 3);
    EXPECT_EQ(FindOrCreateRange(Db(), 2, 5, 30), 4);
    EXPECT_EQ(FindOrCreateRange(Db(), 1, 0, 30), 0);
    EXPECT_EQ(FindOrCreateRange(Db(), 1, 10, 9), 0);
    EXPECT_EQ(FindOrCreateRange(Db(), 3, 10, 20), 0) << "no range type 3";
    EXPECT_EQ(QueryRows(Db(), "SELECT * FROM Ranges WHERE RangeID = 2;"),
              (Rows{{I(2), I(1), kNull, I(5), I(30)}}));
    EXPECT_EQ(CountRows(Db(), "Ranges"), 4);
}

TEST(DeleteDataSet, AMissingDataSetShowsTheMessageAndDeletesNothing) {
    FreshDatabase fresh;
    test::AddDataSet(fresh.Db(), "D", {1, 2});
    test::RecordingSink sink;
    EXPECT_FALSE(DeleteDataSet(fresh.Db(), " D"));
    EXPECT_FALSE(DeleteDataSet(fresh.Db(), "d"));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"There is no dataset named \" D\".",
                                                      "There is no dataset named \"d\"."}));
    EXPECT_EQ(CountRows(fresh.Db(), "FailureTimes"), 2);
}

TEST(DataSetNames, AwkwardNamesAreStoredFoundRefusedAndDeleted) {
    const std::string names[] = {
        "say \"hi\"", "O'Brien", "a; DROP TABLE DataSets; --",
        "100%",       "_%",      "Müller Ærø 数据",
        "007",        "2021",    "7",
    };
    FreshDatabase fresh;
    Database& db = fresh.Db();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const int key = test::AddDataSet(db, name, {1, 2.5});
        EXPECT_EQ(FindDataSetId(db, name), key);
        EXPECT_EQ(SelectValue(db, "DataSetID", "DataName", name, "DataSets"), std::to_string(key));
        EXPECT_FALSE(InsertDataSet(db, name, "again.txt", 1, 2, ""));
    }
    // Names match exactly: no other spelling, no case folding, no wildcards.
    for (const char* other : {"07", "7.0", "SAY \"HI\"", "1__%", "a%"}) {
        EXPECT_EQ(DataSetNameExists(db, other), false) << other;
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::int64_t remaining = CountRows(db, "DataSets");
        ASSERT_TRUE(DeleteDataSet(db, name));
        EXPECT_EQ(DataSetNameExists(db, name), false);
        EXPECT_EQ(CountRows(db, "DataSets"), remaining - 1);
    }
    EXPECT_EQ(CountRows(db, "FailureTimes"), 0);
}

// The writers of whole sets, each given more rows than a nearly full database can take.
const std::vector<std::pair<const char*, std::function<bool(Database&)>>> kSetWriters = {
    {"InsertFailureTimes",
     [](Database& db) { return InsertFailureTimes(db, std::vector<double>(20000, 1.25), 1, "D"); }},
    {"StoreEstimatesSet",
     [](Database& db) {
         return StoreEstimatesSet(db, 1, 2, 1, 1, 1, 8000, test::MakeEstimates(1, 8000)) != 0;
     }},
    {"StorePredictionsSet",
     [](Database& db) {
         std::vector<double> values(10001, 0.5);
         return StorePredictionsSet(db, 1, 1, 1, 10001, 0, values, values, values, values,
                                    values) != 0;
     }},
};

std::vector<std::int64_t> AllCounts(Database& db) {
    std::vector<std::int64_t> counts;
    for (const char* table : {"DataSets", "FailureTimes", "EstimatesSets", "Estimates",
                              "PredictionsSets", "Predictions", "Ranges"})
        counts.push_back(CountRows(db, table));
    return counts;
}

TEST_F(WriterTest, AFullDatabaseLeavesNothingHalfWritten) {
    if (OnTestServer()) GTEST_SKIP() << "about project files";
    const auto pages = std::get<std::int64_t>(QueryValue(Db(), "PRAGMA page_count;"));
    Db().Execute("PRAGMA max_page_count = " + std::to_string(pages + 3) + ";");
    const auto before = AllCounts(Db());
    for (const auto& [name, writer] : kSetWriters) {
        EXPECT_FALSE(writer(Db())) << name;
        EXPECT_EQ(AllCounts(Db()), before) << name;
    }
    EXPECT_EQ(QueryValue(Db(), "PRAGMA integrity_check;"), test::S("ok"));
    EXPECT_TRUE(InsertFailureTimes(Db(), {1, 2}, 1, "D")) << "small sets still fit";
}

}  // namespace
}  // namespace tamsel
