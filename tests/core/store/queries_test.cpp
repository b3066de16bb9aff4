#include "tamsel/store/queries.h"
#include "row_selections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

#include "store_fixture.h"
#include "store_helpers.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/sets.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using namespace test;

double CdfAt(int i) { return std::fmod(i * 0.37, 1.0); }

// Dataset 1 "DS35": interfailure times 1..35; estimates set 1 (JM) and 2 (GO) over the
// default range 20..35, whose Cdf goes up and down; predictions set 1 of set 1 by method 1
// and 2 of set 2 by method 2. Dataset 2 "Other": 25 failures, estimates set 3 (MO).
class QueryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<double> times;
        for (int i = 1; i <= 35; ++i) times.push_back(i);
        test::AddDataSet(Db(), "DS35", times);
        test::AddDataSet(Db(), "Other", std::vector<double>(25, 3.0));
        EstimatesArray estimates = test::MakeEstimates(20, 35);
        for (int i = 20; i <= 35; ++i) estimates[i].cdf = CdfAt(i);
        ASSERT_EQ(StoreEstimatesSet(Db(), 1, 1, 1, 1, 20, 35, estimates), 1);
        ASSERT_EQ(StoreEstimatesSet(Db(), 1, 4, 1, 1, 20, 35, estimates), 2);
        ASSERT_EQ(StoreEstimatesSet(Db(), 2, 3, 1, 1, 20, 25, test::MakeEstimates(20, 25)), 3);
        std::vector<double> values(17, 0.5);
        ASSERT_EQ(
            StorePredictionsSet(Db(), 1, 1, 20, 35, 15, values, values, values, values, values), 1);
        ASSERT_EQ(
            StorePredictionsSet(Db(), 2, 2, 20, 35, 15, values, values, values, values, values), 2);
    }
    Database& Db() { return m_fresh.Db(); }

    test::FreshDatabase m_fresh;
    test::RecordingSink m_sink;
};

TEST_F(QueryTest, BindersListTheirRows) {
    const std::string jm = "Jelinski-Moranda";
    const std::string go = "Goel-Okumoto";
    const std::string ml = "Maximum Likelihood";
    const std::string pbs = "Parametric B-Splines Recalibration";
    const std::string test = "Test/Parametric B-Splines Recalibration";
    struct Case {
        const char* binder;
        std::function<std::optional<RowSet>()> bind;
        Rows rows;
    };
    const Case cases[] = {
        {"BindSortedList newest first",
         [&] {
             return BindSortedList(Db(), "DataName", "DataSetID", "DataSets", "DataSetID", "DESC");
         },
         {{S("Other"), I(2)}, {S("DS35"), I(1)}}},
        {"BindEstimatesSets",
         [&] { return BindEstimatesSets(Db(), "DS35"); },
         {{I(1), S(jm), I(20), kNull, I(35), S(ml)}, {I(2), S(go), I(20), kNull, I(35), S(ml)}}},
        {"BindEstimatesSets of an unknown dataset",
         [&] { return BindEstimatesSets(Db(), "DS3"); },
         {}},
        {"BindPredictionsSets",
         [&] { return BindPredictionsSets(Db(), "DS35"); },
         {{I(1), S(jm), S(pbs)}, {I(2), S(go), S(test)}}},
        {"BindRecalibrationMethods",
         [&] { return BindRecalibrationMethods(Db()); },
         {{I(1), S(pbs), I(300), I(4), 1.0}, {I(2), S(test), I(2), I(4), 1.0}}},
        {"BindModelsOfDataSet",
         [&] { return BindModelsOfDataSet(Db(), 2); },
         {{I(1), S(jm)}, {I(2), S(go)}}},
        {"BindAllPredictionSets",
         [&] { return BindAllPredictionSets(Db(), 2); },
         {{I(1), I(0), S(jm), S("Raw predictions")},
          {I(2), I(0), S(go), S("Raw predictions")},
          {I(1), I(1), S(jm), S(pbs)},
          {I(2), I(1), S(go), S(test)}}},
        {"BindAllPredictionSets of the other dataset",
         [&] { return BindAllPredictionSets(Db(), 3); },
         {{I(3), I(0), S("Musa-Okumoto"), S("Raw predictions")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.binder);
        auto result = c.bind();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->rows, c.rows);
    }
    EXPECT_EQ(m_sink.Count(), 0u);
}

// Every reader says that it failed, and shows one message, rather than returning nothing.
TEST_F(QueryTest, EveryReaderFailsWithAMessageWhenTheEngineFails) {
    MinimisationSettings settings;
    const std::function<bool()> readers[] = {
        [&] {
            return !BindSortedList(Db(), "DataName", "DataSetID", "DataSets", "DataSetID", "DESC");
        },
        [&] { return !BindEstimatesSets(Db(), "DS35"); },
        [&] { return !BindPredictionsSets(Db(), "DS35"); },
        [&] { return !BindRecalibrationMethods(Db()); },
        [&] { return !BindModelsOfDataSet(Db(), 1); },
        [&] { return !BindAllPredictionSets(Db(), 1); },
        [&] { return !SelectRecords(Db(), "Estimates", "EstimatesSetID", I(1), "", "", 0); },
        [&] {
            return !SelectIndexedValues(Db(), "FailureTimes", "DataSetID", S("x y"), "FailureIndex",
                                        "CumulativeTime", false, 0);
        },
        [&] { return !SelectValue(Db(), "Model", "ModelID", I(1), "Models"); },
        [&] { return FindEstimatesSet(Db(), 1, 1, 1, 1) == 0; },
        [&] { return FindPredictionsSet(Db(), 1, 1) == 0; },
        [&] { return !GetRecalibratedSetAttributes(Db(), 1); },
        [&] {
            return !GetMinimisationParameters(Db(), MinimiserSettings::OneDimensional, 1, settings);
        },
        [&] { return !GetModelCode(Db(), 1); },
        [&] { return !GetLastParameters(Db(), "Estimates", 1); },
        [&] { return !FindDataSetId(Db(), "DS35"); },
        [&] { return !FindDataSet(Db(), "DS35"); },
        [&] { return !GetEstimatesSet(Db(), 1); },
        [&] { return !GetPredictionsSet(Db(), 1); },
        [&] { return !GetRecalibrationMethod(Db(), 1); },
        [&] { return !ListEstimatesSets(Db(), "DS35"); },
        [&] { return !ListPredictionsSets(Db(), "DS35"); },
    };
    for (const char* table :
         {"DataSets", "DataTypes", "Estimates", "EstimatesSets", "FailureTimes",
          "InferenceMethodNames", "InferenceMethods", "MinimisationParameters", "Models",
          "Predictions", "PredictionsSets", "Ranges", "RangeTypes", "RecalibrationMethods"}) {
        Db().Execute(std::string("ALTER TABLE ") + table + " RENAME TO Gone" + table + ";");
    }
    for (std::size_t k = 0; k < std::size(readers); ++k) {
        m_sink.Clear();
        EXPECT_TRUE(readers[k]()) << k;
        EXPECT_EQ(m_sink.Count(), 1u) << k;
    }
}

TEST_F(QueryTest, NamesOutsideTheSchemaNeverReachTheEngine) {
    EXPECT_FALSE(
        SelectRecords(Db(), "DataSets; DROP TABLE Models; --", "DataSetID", I(1), "", "", 0));
    EXPECT_FALSE(SelectRecords(Db(), "FailureTimes", "EstimatesSetID", I(1), "", "", 0));
    EXPECT_FALSE(SelectValue(Db(), "DataName FROM DataSets --", "DataSetID", I(1), "DataSets"));
    EXPECT_FALSE(BindSortedList(Db(), "DataName", "DataSetID", "DataSets",
                                "DataSetID; DELETE FROM DataSets", "DESC"));
    EXPECT_FALSE(BindSortedList(Db(), "DataName", "DataSetID", "DataSets", "DataSetID",
                                "DESC; DELETE FROM DataSets"));
    EXPECT_FALSE(GetLastParameters(Db(), "FailureTimes", 1));
    EXPECT_EQ(m_sink.Texts().front(),
              "An error occurred while extracting a recordset from table DataSets; DROP TABLE "
              "Models; -- where the field DataSetID = 1");
    EXPECT_EQ(m_sink.Count(), 6u);
    EXPECT_EQ(CountRows(Db(), "Models"), 8);
    EXPECT_EQ(CountRows(Db(), "DataSets"), 2);
}

TEST_F(QueryTest, SelectRecordsFiltersAndOrders) {
    auto failures =
        SelectRecords(Db(), "failuretimes", "DataSetID", I(1), "FailureIndex", "FailureIndex", 30);
    ASSERT_TRUE(failures);
    EXPECT_EQ(failures->headings,
              (std::vector<std::string>{"FailureID", "DataSetID", "FailureIndex",
                                        "InterfailureTime", "CumulativeTime"}));
    ASSERT_EQ(failures->rows.size(), 6u);
    EXPECT_EQ(failures->rows.front()[2], I(30));
    EXPECT_EQ(failures->rows.back()[4], DbValue{35.0 * 36 / 2});

    auto byCdf = SelectRecords(Db(), "Estimates", "EstimatesSetID", I(1), "Cdf", "", 0);
    ASSERT_TRUE(byCdf);
    ASSERT_EQ(byCdf->rows.size(), 16u) << "every row, the last included";
    EXPECT_TRUE(std::is_sorted(byCdf->rows.begin(), byCdf->rows.end(),
                               [](const auto& a, const auto& b) { return a[8] < b[8]; }));

    auto byName = SelectRecords(Db(), "DataSets", "DataName", S("Other"), "", "FailureIndex", 0);
    ASSERT_TRUE(byName) << "a from-field is ignored when the from-index is 0";
    EXPECT_EQ(byName->rows.size(), 1u);
}

TEST_F(QueryTest, SelectIndexedValuesLeavesOutTheLastIndex) {
    auto byIndex = SelectIndexedValues(Db(), "Estimates", "EstimatesSetID", I(1), "FailureIndex",
                                       "Cdf", false, 0);
    auto byValue = SelectIndexedValues(Db(), "Estimates", "EstimatesSetID", I(1), "FailureIndex",
                                       "Cdf", true, 0);
    auto fromIndex = SelectIndexedValues(Db(), "Estimates", "EstimatesSetID", I(1), "FailureIndex",
                                         "Cdf", true, 30);
    ASSERT_TRUE(byIndex && byValue && fromIndex);
    std::vector<std::pair<double, int>> expected;
    ASSERT_EQ(byIndex->size(), 15u);
    for (int i = 20; i <= 34; ++i) {
        EXPECT_EQ((*byIndex)[i - 20].index, i);
        EXPECT_EQ((*byIndex)[i - 20].value, CdfAt(i));
        expected.push_back({CdfAt(i), i});
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(byValue->size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ((*byValue)[k].index, expected[k].second);
    }
    ASSERT_EQ(fromIndex->size(), 5u);
    EXPECT_TRUE(std::all_of(fromIndex->begin(), fromIndex->end(),
                            [](const IndexedValue& v) { return v.index >= 30 && v.index <= 34; }));
}

TEST_F(QueryTest, SelectValueGivesTextWithNullAsEmptyAndFindersTheKey) {
    EXPECT_EQ(SelectValue(Db(), "RangeEnd", "RangeID", I(1), "Ranges"), "");
    EXPECT_EQ(SelectValue(Db(), "RangeStart", "RangeID", I(1), "Ranges"), "20");
    EXPECT_EQ(
        SelectValue(Db(), "AbsolutePrecision", "ParameterSetID", I(1), "MinimisationParameters"),
        "1e-15");
    EXPECT_EQ(SelectValue(Db(), "DataSetID", "EstimatesSetID", S("3"), "EstimatesSets"), "2");
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(SelectValue(Db(), "Model", "ModelID", I(9), "Models"), std::nullopt);
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{"An error occurred while reading the database."});
    m_sink.Clear();

    // Finders give the key or 0, without a message.
    EXPECT_EQ(FindEstimatesSet(Db(), 1, 4, 1, 1), 2);
    EXPECT_EQ(FindEstimatesSet(Db(), 1, 2, 1, 1), 0);
    EXPECT_EQ(FindEstimatesSet(Db(), 2, 1, 1, 1), 0);
    EXPECT_EQ(FindPredictionsSet(Db(), 2, 2), 2);
    EXPECT_EQ(FindPredictionsSet(Db(), 1, 2), 0);
    EXPECT_EQ(FindDataSetId(Db(), "Other"), 2);
    EXPECT_EQ(FindDataSetId(Db(), "other"), 0);
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(QueryTest, TypedReadsOfSetsAndMethods) {
    const std::optional<DataSetInfo> other = FindDataSet(Db(), "Other");
    ASSERT_TRUE(other);
    EXPECT_EQ(std::tie(other->id, other->file, other->type, other->count, other->source),
              std::tuple(2, "Other.txt", 1, 25, "test"));
    EXPECT_EQ(GetDataSet(Db(), 2)->name, "Other");

    // The default range has no end: it ends at the dataset's last failure.
    const std::optional<std::vector<EstimatesSetInfo>> sets = ListEstimatesSets(Db(), "DS35");
    ASSERT_TRUE(sets);
    ASSERT_EQ(sets->size(), 2u);
    const EstimatesSetInfo& go = (*sets)[1];
    EXPECT_EQ(std::tie(go.id, go.dataSetId, go.modelNumber, go.modelName, go.rangeId, go.rangeStart,
                       go.rangeEnd, go.size, go.inferenceMethodId, go.inference),
              std::tuple(2, 1, 4, "Goel-Okumoto", 1, 20, 35, 35, 1, "Maximum Likelihood"));
    const int bounded = FindOrCreateRange(Db(), 1, 5, 30);
    ASSERT_EQ(StoreEstimatesSet(Db(), 2, 3, bounded, 1, 5, 4, {}), 4);
    EXPECT_EQ(GetEstimatesSet(Db(), 4)->rangeEnd, 30);
    EXPECT_EQ(GetEstimatesSet(Db(), 4)->size, 25);

    const std::optional<std::vector<RecalibratedSetInfo>> recalibrated =
        ListPredictionsSets(Db(), "DS35");
    ASSERT_TRUE(recalibrated);
    ASSERT_EQ(recalibrated->size(), 2u);
    const RecalibratedSetInfo& second = (*recalibrated)[1];
    EXPECT_EQ(std::tie(second.id, second.estimatesSetId, second.recalibrationMethodId),
              std::tuple(2, 2, 2));
    EXPECT_EQ(GetPredictionsSet(Db(), 1)->modelName, "Jelinski-Moranda");
    EXPECT_TRUE(ListPredictionsSets(Db(), "Other")->empty());

    const std::optional<RecalibrationMethodInfo> method = GetRecalibrationMethod(Db(), 1);
    ASSERT_TRUE(method);
    EXPECT_EQ(method->name, "Parametric B-Splines Recalibration");
    EXPECT_EQ(SelectValue(Db(), "Iter", "RecalibrationMethodID", I(1), "RecalibrationMethods"),
              std::to_string(method->iter));
    EXPECT_EQ(SelectValue(Db(), "NI", "RecalibrationMethodID", I(1), "RecalibrationMethods"),
              std::to_string(method->ni));
    EXPECT_EQ(m_sink.Count(), 0u);

    EXPECT_FALSE(FindDataSet(Db(), "other"));
    EXPECT_FALSE(GetDataSet(Db(), 3));
    EXPECT_FALSE(GetEstimatesSet(Db(), 9));
    EXPECT_FALSE(GetPredictionsSet(Db(), 9));
    EXPECT_FALSE(GetRecalibrationMethod(Db(), 9));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>(5, "An error occurred while reading the database."));
}

TEST_F(QueryTest, RecalibratedSetAttributesFollowTheRange) {
    auto attributes = GetRecalibratedSetAttributes(Db(), 2);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(std::tie(attributes->estimatesSetId, attributes->modelName, attributes->rangeStart,
                       attributes->rangeEnd, attributes->setSize, attributes->inferenceMethod,
                       attributes->recalibrationMethodName),
              std::tuple(2, "Goel-Okumoto", 20, 35, 35, "Maximum Likelihood",
                         "Test/Parametric B-Splines Recalibration"));

    const int range = FindOrCreateRange(Db(), 1, 18, 30);
    const int set = StoreEstimatesSet(Db(), 1, 2, range, 1, 18, 30, test::MakeEstimates(18, 30));
    std::vector<double> values(14, 0.5);
    const int predictions =
        StorePredictionsSet(Db(), set, 1, 18, 30, 0, values, values, values, values, values);
    attributes = GetRecalibratedSetAttributes(Db(), predictions);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(std::tie(attributes->rangeStart, attributes->rangeEnd, attributes->setSize),
              std::tuple(18, 30, 35));

    EXPECT_FALSE(GetRecalibratedSetAttributes(Db(), 99));
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{"An error occurred while retrieving the "
                                                       "attributes of a recalibrated set."});
}

bool SameSettings(const MinimisationSettings& a, const MinimisationSettings& b) {
    return a.maxIter == b.maxIter && a.absolutePrecision == b.absolutePrecision &&
           a.relativePrecision == b.relativePrecision && a.eta == b.eta &&
           a.tolerance == b.tolerance;
}

TEST_F(QueryTest, MinimisationParametersFollowTheMinimiser) {
    Db().Execute(
        "UPDATE MinimisationParameters SET MaxIter2D = 500, Eta = 0.25 WHERE ParameterSetID = 1;");
    const MinimisationSettings preset{1, 2.0, 3.0, 7.0, 8.0};
    using enum MinimiserSettings;
    MinimisationSettings settings = preset;
    EXPECT_TRUE(GetMinimisationParameters(Db(), OneDimensional, 1, settings));
    EXPECT_TRUE(SameSettings(settings, {300, 1e-15, 1e-8, 7.0, 8.0}));
    settings = preset;
    EXPECT_TRUE(GetMinimisationParameters(Db(), MultiDimensional, 1, settings));
    EXPECT_TRUE(SameSettings(settings, {500, 1e-15, 1e-8, 0.25, 1e-7}));
    EXPECT_TRUE(m_sink.Texts().empty());

    settings = preset;
    EXPECT_FALSE(GetMinimisationParameters(Db(), OneDimensional, 2, settings))
        << "no inference method 2";
    Db().Execute("UPDATE MinimisationParameters SET Tolerance = NULL;");
    EXPECT_FALSE(GetMinimisationParameters(Db(), MultiDimensional, 1, settings))
        << "a Null setting";
    EXPECT_TRUE(SameSettings(settings, preset));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>(
                  2, "An error occurred while reading the table MinimisationParameters."));
    EXPECT_TRUE(GetMinimisationParameters(Db(), OneDimensional, 1, settings))
        << "Tolerance is not read";
}

TEST_F(QueryTest, RangeModelCodeAndLastParametersOfASet) {
    auto range = GetRange(Db(), 1, 1);
    ASSERT_TRUE(range);
    EXPECT_EQ(std::tie(range->dataNumber, range->rangeStart, range->rangeEnd),
              std::tuple(35, 20, 35));
    range = GetRange(Db(), 2, FindOrCreateRange(Db(), 1, 5, 22));
    ASSERT_TRUE(range);
    EXPECT_EQ(std::tie(range->dataNumber, range->rangeStart, range->rangeEnd),
              std::tuple(25, 5, 22));
    EXPECT_FALSE(GetRange(Db(), 1, 99));
    EXPECT_FALSE(GetRange(Db(), 9, 1));
    EXPECT_EQ(GetModelCode(Db(), 3), "MO");
    auto last = GetLastParameters(Db(), "Estimates", 2);
    ASSERT_TRUE(last);
    EXPECT_EQ(std::tie(last->failureIndex, last->param1, last->param2, last->param3),
              std::tuple(35, 35.01, 35.02, 35.03));
    EXPECT_FALSE(GetModelCode(Db(), 99));
    EXPECT_FALSE(GetLastParameters(Db(), "Estimates", 99));
    EXPECT_EQ(m_sink.Texts(), (std::vector<std::string>{
                                  "An error occurred while reading the database.",
                                  "An error occurred while reading the database.",
                                  "An error occurred while reading the model code.",
                                  "An error occurred while extracting the model parameters"}));
}

TEST_F(QueryTest, ColumnReadersFillFromElementOne) {
    auto cdf = ReadEstimatesColumn(Db(), 1, "Cdf");
    ASSERT_TRUE(cdf);
    ASSERT_EQ(cdf->size(), 16u) << "failures 20 to 34 in elements 1 to 15";
    EXPECT_EQ((*cdf)[0], 0.0);
    EXPECT_EQ((*cdf)[1], CdfAt(20));
    EXPECT_EQ((*cdf)[15], CdfAt(34));

    const std::pair<int, std::size_t> starts[] = {{0, 35}, {1, 35}, {20, 16}, {34, 2}, {35, 1}};
    for (const auto& [start, size] : starts) {
        auto t = ReadFailureTimesColumn(Db(), 1, "CumulativeTime", start);
        ASSERT_TRUE(t) << start;
        ASSERT_EQ(t->size(), size) << start;
        const int first = std::max(start, 1);
        if (size > 1) {
            EXPECT_EQ((*t)[1], first * (first + 1) / 2.0) << start;
        }
    }
    EXPECT_FALSE(ReadFailureTimesColumn(Db(), 1, "CumulativeTime", 36));
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_FALSE(ReadEstimatesColumn(Db(), 1, "Nonsense"));
    EXPECT_EQ(m_sink.Count(), 1u);
}

TEST_F(QueryTest, ReadFailureTimesFillsOneBasedSeries) {
    FailureSeries x;
    FailureSeries t;
    ASSERT_TRUE(ReadFailureTimes(Db(), 1, x, t));
    ASSERT_EQ(x.size(), 36u);
    ASSERT_EQ(t.size(), 36u);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(t[0], 0.0);
    for (int k = 1; k <= 35; ++k) {
        EXPECT_EQ(x[k], k);
        EXPECT_EQ(t[k], k * (k + 1) / 2.0);
    }
    FailureSeries before = x;
    Db().Execute("DELETE FROM FailureTimes WHERE DataSetID = 1 AND FailureIndex = 7;");
    EXPECT_FALSE(ReadFailureTimes(Db(), 1, x, t)) << "a gap in the numbering";
    EXPECT_EQ(x, before);
    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Texts().front().rfind("Table FailureTimes, data set 1, failure 8: failure 7 "
                                           "is missing.",
                                           0),
              0u);
}

}  // namespace
}  // namespace tamsel
