#include "tamsel/workbench/next_failure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "project_fixture.h"

namespace tamsel {
namespace {

std::vector<std::string> Texts(std::initializer_list<const char*> texts) {
    return {texts.begin(), texts.end()};
}

TEST(EvaluateNextFailure, ClosedFormsAndLimits) {
    struct Case {
        const char* what;
        NextFailureFit fit;
        double s;
        double u, pdf;
        double relTol;  // 0: exactly
    };
    const double e1 = std::exp(-1.0);
    const Case cases[] = {
        // N = 10.5, Lambda = 0.01 after 10 failures: rate 0.005.
        {"JM", {1, 10, 10.5, 0.01, 0, 0}, 100, 1 - std::exp(-0.5), 0.005 * std::exp(-0.5), 1e-14},
        {"JM, every fault found", {1, 10, 10.0, 0.01, 0, 0}, 100, 0.0, 1e-30, 0},
        {"JM at time 0", {1, 10, 12.0, 0.5, 0, 0}, 0.0, 0.0, 1.0, 1e-15},
        {"GO homogeneous limit, Parameter3 the rate",
         {4, 30, 999999.0, 0.0, 0.02, 1000.0},
         50,
         1 - e1,
         0.02 * e1,
         1e-14},
        {"GO, every fault found", {4, 30, 40.0, 0.0, 0.0, 1000.0}, 50, 0.0, 1e-30, 0},
        // An exponent below -700: certain failure, vanishing survival.
        {"GO, exponent below -700", {4, 30, 1e6, 1e-3, 0.0, 10.0}, 1e5, 1.0, 0.0, 0},
        {"Duane, exponent below -700", {2, 30, 1.0, 10.0, 0.0, 10.0}, 100.0, 1.0, 0.0, 0},
    };
    test::RecordingSink sink;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<NextFailurePrediction> p = EvaluateNextFailure(c.fit, c.s);
        ASSERT_TRUE(p.has_value());
        EXPECT_TRUE(test::IsClose(p->u, c.u, c.relTol));
        EXPECT_TRUE(test::IsClose(p->pdf, c.pdf, c.relTol));
    }
    EXPECT_EQ(sink.Count(), 0u);
    // No growth: refused by design.
    EXPECT_FALSE(EvaluateNextFailure({1, 10, 999999.0, 1e-30, 0, 0}, 100).has_value());
    EXPECT_EQ(sink.Texts(), Texts({"Limit case, next prediction not evaluated"}));
}

TEST(EvaluateNextFailure, RefusalsWithTheirMessages) {
    struct Case {
        NextFailureFit fit;
        double s;
        const char* message;
    };
    const Case cases[] = {
        {{3, 25, 300.0, 12.0, 0, 1200.0},
         -1.0,
         "The time to the next failure must be a finite number of 0 or more."},
        {{3, 25, 300.0, 12.0, 0, 1200.0},
         std::numeric_limits<double>::quiet_NaN(),
         "The time to the next failure must be a finite number of 0 or more."},
        {{3, 25, 300.0, 12.0, 0, 1200.0},
         std::numeric_limits<double>::infinity(),
         "The time to the next failure must be a finite number of 0 or more."},
        {{0, 25, 1, 1, 1, 1},
         1.0,
         "An error occurred while computing the next failure for the estimates set"},
        {{9, 25, 1, 1, 1, 1},
         1.0,
         "An error occurred while computing the next failure for the estimates set"},
        // A negative rate: the distribution function overflows.
        {{1, 25, 30.0, -1.0, 0, 0},
         1000.0,
         "An error occurred while computing the next failure for the JM model"},
    };
    for (const Case& c : cases) {
        test::RecordingSink sink;
        EXPECT_FALSE(EvaluateNextFailure(c.fit, c.s).has_value()) << c.message;
        EXPECT_EQ(sink.Texts(), Texts({c.message}));
    }
}

class NextFailureStore : public ::testing::Test {
  protected:
    test::ProjectFile m_project;
    test::RecordingSink m_sink;
};

TEST_F(NextFailureStore, TheExactTimeOfTheLastFittedFailure) {
    // Cumulative times 2.5, 12.5, 19.5; the set's last row is failure 2.
    const int dataSet = m_project.AddDataSet("DAYS", {2.5, 10.0, 7.0});
    EstimatesArray records(3);
    records[1] = {100.0, 3.0, 0, 0, 0.1, 0.2, 1, 2, 3, 4};
    records[2] = {200.0, 4.0, 0, 0, 0, 0, 1, 2, 3, 4};
    const int set = m_project.AddEstimatesSet(dataSet, 3, 1, 1, 2, records);

    std::optional<NextFailureFit> fit = ReadNextFailureFit(m_project.Db(), set);
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(fit->modelNumber, 3);
    EXPECT_EQ(fit->failureIndex, 2);
    EXPECT_EQ(fit->param1, 200.0);
    EXPECT_EQ(fit->param2, 4.0);
    EXPECT_EQ(fit->cumulativeTime, 12.5);

    std::optional<NextFailurePrediction> p =
        PredictNextFailure(m_project.Db(), test::SelectionOf("DAYS", set, 1, 3), 10.0);
    ASSERT_TRUE(p.has_value());
    const double survival = std::pow(212.5 / 222.5, 4.0);
    EXPECT_CLOSE(p->u, 1 - survival, 1e-14);
    EXPECT_CLOSE(p->pdf, survival * 4.0 / 222.5, 1e-14);

    // Littlewood NHPP also predicts from the current time.
    const int lnhpp = m_project.AddEstimatesSet(dataSet, 6, 1, 1, 2, records);
    EXPECT_EQ(ReadNextFailureFit(m_project.Db(), lnhpp).value().cumulativeTime, 12.5);

    // A recalibrated set the project does not hold, and a negative time.
    EXPECT_FALSE(PredictNextFailure(m_project.Db(), test::SelectionOf("DAYS", set, 1, 3, 5), 10));
    EXPECT_FALSE(PredictNextFailure(m_project.Db(), test::SelectionOf("DAYS", set, 1, 3), -2));
    EXPECT_EQ(m_sink.Texts(),
              Texts({"The project holds no recalibrated set p5. List the sets of a dataset to "
                     "find their keys.",
                     "The time to the next failure must be a finite number of 0 or more."}));
}

TEST_F(NextFailureStore, LookupFailures) {
    EXPECT_FALSE(ReadNextFailureFit(m_project.Db(), 42).has_value());
    EXPECT_EQ(m_sink.Texts(), Texts({"An error occurred while reading the database."}));

    // A set without rows.
    const int dataSet = m_project.AddDataSet("DS", {1.0, 2.0});
    const int empty = static_cast<int>(std::get<std::int64_t>(test::QueryValue(
        m_project.Db(),
        "INSERT INTO EstimatesSets (DataSetID, ModelID, RangeID, InferenceMethodID) VALUES (" +
            std::to_string(dataSet) + ", 2, 1, 1) RETURNING EstimatesSetID;")));
    m_sink.Clear();
    EXPECT_FALSE(ReadNextFailureFit(m_project.Db(), empty).has_value());
    EXPECT_EQ(m_sink.Texts(), Texts({"An error occurred while extracting the model parameters"}));

    // Rows beyond the dataset's failures.
    EstimatesArray records(4);
    records[3] = {1.0, 1.0, 0, 0, 0, 0, 0, 0, 0, 0};
    const int beyond = m_project.AddEstimatesSet(dataSet, 2, 3, 3, 3, records);
    m_sink.Clear();
    EXPECT_FALSE(ReadNextFailureFit(m_project.Db(), beyond).has_value());
    EXPECT_EQ(m_sink.Texts(),
              Texts({"An error occurred while extracting the last cumulative time"}));
    // Jelinski-Moranda needs no time.
    const int jm = m_project.AddEstimatesSet(dataSet, 1, 3, 3, 3, records);
    EXPECT_TRUE(ReadNextFailureFit(m_project.Db(), jm).has_value());
}

}  // namespace
}  // namespace tamsel
