#include "tamsel/workbench/recalibrate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "store_fixture.h"
#include "tamsel/recalibration/cub_spl.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"

namespace tamsel {
namespace {

using Outcome = RecalibrationResult::Outcome;

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;
constexpr int kStoredMethod = 1;
constexpr int kDuane = 2;

class Recalibration : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dataSetId = test::AddDataSet(Db(), "SYS1", test::ReadDataValues("sys1.txt"));
    }
    Database& Db() { return m_fresh.Db(); }

    // The Duane model's set over failures start..end (to the last failure without end).
    int ApplyDuane(int start = 20, std::optional<int> end = std::nullopt) {
        const int rangeId = FindOrCreateRange(Db(), 1, start, end);
        return ApplyModel(Db(), m_dataSetId, kDuane, rangeId, kMaximumLikelihood, RunControl())
            .estimatesSetId;
    }

    std::int64_t Count(const std::string& sql) {
        return std::get<std::int64_t>(test::QueryValue(Db(), sql));
    }

    // Runs the recalibration expecting outcome and exactly message, with the stored predictions
    // sets and rows left as they were.
    void ExpectNothingStored(int setId, int methodId, const RunControl& control, Outcome outcome,
                             const std::string& message) {
        const std::int64_t sets = Count("SELECT COUNT(*) FROM PredictionsSets;");
        const std::int64_t rows = Count("SELECT COUNT(*) FROM Predictions;");
        test::RecordingSink sink;
        EXPECT_EQ(ApplyRecalibration(Db(), setId, methodId, control).outcome, outcome);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{message});
        EXPECT_EQ(Count("SELECT COUNT(*) FROM PredictionsSets;"), sets);
        EXPECT_EQ(Count("SELECT COUNT(*) FROM Predictions;"), rows);
    }

    test::FreshDatabase m_fresh;
    int m_dataSetId = 0;
};

TEST_F(Recalibration, StoresTheSplineResultsForEveryFailureIndexFromTheOffsetOn) {
    const int setId = ApplyDuane();
    ASSERT_GT(setId, 0);
    test::RecordingSink sink;
    const RecalibrationResult result = ApplyRecalibration(Db(), setId, kStoredMethod, RunControl());
    ASSERT_EQ(result.outcome, Outcome::Stored);
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_EQ(FindPredictionsSet(Db(), setId, kStoredMethod), result.predictionsSetId);

    // The same recalibration straight from the raw columns, element k for failure 19 + k.
    const std::vector<double> u = ReadEstimatesColumn(Db(), setId, "Cdf").value();
    const std::vector<double> f = ReadEstimatesColumn(Db(), setId, "Pdf").value();
    const SplineRecalibration expected =
        CubSpl(u, f, SplineSettings{300, 4, 1.0, 15}, RunControl());

    Statement rows = Db().Prepare(
        "SELECT FailureIndex, Cdf, Pdf, LowQ, Median, UppQ, MTTF FROM Predictions "
        "WHERE PredictionsSetID = :set ORDER BY FailureIndex;");
    rows.Bind("set", std::int64_t{result.predictionsSetId});
    int index = 35;  // the range start 20 plus the offset
    while (rows.Step()) {
        ASSERT_EQ(rows.ColumnInt(0), index);
        const std::size_t k = static_cast<std::size_t>(index - 19);
        EXPECT_EQ(rows.ColumnDouble(1), expected.recalCdf[k]);
        EXPECT_EQ(rows.ColumnDouble(2), expected.recalPdf[k]);
        EXPECT_GT(rows.ColumnDouble(3), 0.0);
        EXPECT_GT(rows.ColumnDouble(4), rows.ColumnDouble(3));
        EXPECT_GT(rows.ColumnDouble(5), rows.ColumnDouble(4));
        EXPECT_TRUE(rows.ColumnIsNull(6));
        ++index;
    }
    EXPECT_EQ(index, 136);  // the last failure has no observation to predict
}

TEST_F(Recalibration, ACancelOrAFailedFitStoresNothingAndASecondRunIsRefused) {
    const int setId = ApplyDuane();
    test::CancellingProgress progress(30);
    ExpectNothingStored(setId, kStoredMethod, progress.Control(), Outcome::Cancelled,
                        "The recalibration was cancelled by user action");

    // A method that asks more of each fit than 17 pieces can give.
    Statement insert = PrepareStoredQuery(Db(), "InsertRecalibrationMethod");
    insert.Bind("MName", std::string("Demanding"));
    insert.Bind("MIter", std::int64_t{2});
    insert.Bind("MNI", std::int64_t{4});
    insert.Bind("MSqMax", 1e-4);
    insert.Run();
    const int demanding =
        static_cast<int>(Count("SELECT MAX(RecalibrationMethodID) FROM RecalibrationMethods;"));
    ExpectNothingStored(setId, demanding, RunControl(), Outcome::Failed,
                        "An error occurred in the CubSpl function during the recalibration");

    ASSERT_EQ(ApplyRecalibration(Db(), setId, kStoredMethod, RunControl()).outcome,
              Outcome::Stored);
    // Refused before any work, not after a whole spline fit.
    test::CancellingProgress again;
    ExpectNothingStored(setId, kStoredMethod, again.Control(), Outcome::Exists,
                        "This recalibration is already available for the current dataset");
    EXPECT_EQ(again.Starts(), 0);
}

TEST_F(Recalibration, ARangeThatEndsEarlyIsRecalibratedToItsEnd) {
    const int setId = ApplyDuane(20, 80);
    const RecalibrationResult result = ApplyRecalibration(Db(), setId, kStoredMethod, RunControl());
    ASSERT_EQ(result.outcome, Outcome::Stored);
    EXPECT_EQ(Count("SELECT MIN(FailureIndex) FROM Predictions;"), 35);
    EXPECT_EQ(Count("SELECT MAX(FailureIndex) FROM Predictions;"), 79);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM Predictions;"), 45);
}

// A stored set of 40 predictions at failures 20..59 with the given Cdf and Pdf.
int StoreSyntheticSet(Database& db, int dataSetId, const std::function<double(int)>& cdf,
                      const std::function<double(int)>& pdf) {
    EstimatesArray estimates(61);
    for (int i = 20; i <= 60; ++i) {
        estimates[i].param1 = 0.7;
        estimates[i].param2 = 0.3;
        estimates[i].median = 100.0;
        if (i < 60) {
            estimates[i].cdf = cdf(i);
            estimates[i].pdf = pdf(i);
        }
    }
    const int rangeId = FindOrCreateRange(db, 1, 20, 60);
    return StoreEstimatesSet(db, dataSetId, kDuane, rangeId, kMaximumLikelihood, 20, 60, estimates);
}

TEST_F(Recalibration, SetsThatCannotBeRecalibratedAreRefusedOrFailAndStoreNothing) {
    ExpectNothingStored(ApplyDuane(121), kStoredMethod, RunControl(), Outcome::Refused,
                        "The estimates set holds 15 predictions; at least 16 are needed to "
                        "recalibrate it.");
    const int fewDistinct = StoreSyntheticSet(
        Db(), m_dataSetId, [](int i) { return i < 35 ? 0.25 * (i % 3) : 0.01 * i; },
        [](int) { return 0.01; });
    ExpectNothingStored(fewDistinct, kStoredMethod, RunControl(), Outcome::Refused,
                        "The first 15 predictions of the estimates set give fewer than 4 distinct "
                        "u-values between 0 and 1: there is nothing to recalibrate with.");
    // The recalibrated density G*'(u) f overflows where G*' exceeds 1.
    const auto cdf = [](int i) { return std::pow(((i * 7) % 40 + 0.5) / 40.0, 3.0); };
    const int overflowing = StoreSyntheticSet(Db(), m_dataSetId, cdf, [](int) { return 1e308; });
    ExpectNothingStored(overflowing, kStoredMethod, RunControl(), Outcome::Failed,
                        "An error occurred in the recalibration");

    const int tameId = StoreSyntheticSet(Db(), m_dataSetId, cdf, [](int) { return 1e-3; });
    EXPECT_EQ(ApplyRecalibration(Db(), tameId, kStoredMethod, RunControl()).outcome,
              Outcome::Stored);
}

}  // namespace
}  // namespace tamsel
