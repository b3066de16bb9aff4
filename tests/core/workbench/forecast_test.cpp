#include "tamsel/workbench/forecast.h"

#include <gtest/gtest.h>

#include "store_fixture.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/next_failure.h"
#include "tamsel/workbench/recalibrate.h"

namespace tamsel {
namespace {

constexpr int kDuane = 2;

TEST(RecalibratedForecast, NextFailureAtAnObservedFailureIsTheStoredRecalibratedPrediction) {
    test::FreshDatabase fresh;
    Database& db = fresh.Db();
    const std::vector<double> x = test::ReadDataValues("sys1.txt");
    const int dataSetId = test::AddDataSet(db, "SYS1", x);
    const int rangeId = FindOrCreateRange(db, 1, 20, std::nullopt);
    const int setId = ApplyModel(db, dataSetId, kDuane, rangeId, 1, RunControl()).estimatesSetId;
    const int recalibrated = ApplyRecalibration(db, setId, 1, RunControl()).predictionsSetId;
    ASSERT_GT(recalibrated, 0);

    // Predictions of failures 35 (the first recalibrated one), 36, 90 and 135 (the last
    // observed), refitted from the raw set alone.
    for (const int index : {35, 36, 90, 135}) {
        SCOPED_TRACE(index);
        Statement stored = db.Prepare(
            "SELECT Cdf, Pdf FROM Predictions WHERE PredictionsSetID = ?1 AND FailureIndex = ?2;");
        stored.Bind(1, std::int64_t{recalibrated});
        stored.Bind(2, std::int64_t{index});
        ASSERT_TRUE(stored.Step());
        std::optional<ForecastBasis> basis = LoadForecastBasis(db, {recalibrated, true}, index);
        ASSERT_TRUE(basis.has_value());
        std::optional<NextFailurePrediction> next =
            PredictRecalibratedNextFailure(*basis, x[static_cast<std::size_t>(index)]);
        ASSERT_TRUE(next.has_value());
        EXPECT_CLOSE(next->u, stored.ColumnDouble(0), 1e-13);
        EXPECT_CLOSE(next->pdf, stored.ColumnDouble(1), 1e-13);
        EXPECT_CLOSE(1 - ForecastReliability(*basis, x[static_cast<std::size_t>(index)]),
                     stored.ColumnDouble(0), 1e-13);
    }
}

}  // namespace
}  // namespace tamsel
