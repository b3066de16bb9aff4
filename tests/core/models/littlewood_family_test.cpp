// What the Littlewood, Littlewood NHPP, Littlewood-Verrall and Keiller-Littlewood models have
// in common: their percentile routines, purity of the per-index fit, cancelling, and how the
// driver treats them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/model_driver.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Series;

using ObjectiveAt = std::function<double(std::span<const double> p, std::span<double> g,
                                         std::int32_t n, const Series& data)>;

struct Objective {
    const char* model;
    ObjectiveAt at;
};

const std::vector<Objective>& Objectives() {
    static const std::vector<Objective> objectives{
        {"Li", [](std::span<const double> p, std::span<double> g, std::int32_t n,
                  const Series& d) { return ObjectiveLi(p, g, n, d.t); }},
        {"LNHPP", [](std::span<const double> p, std::span<double> g, std::int32_t n,
                     const Series& d) { return ObjectiveLNHPP(p, g, n, 1e-15, d.t[n], d.t); }},
        {"LV", [](std::span<const double> p, std::span<double> g, std::int32_t n,
                  const Series& d) { return ObjectiveLV(p, g, n, 1e-15, d.x); }},
        {"KL", [](std::span<const double> p, std::span<double> g, std::int32_t n,
                  const Series& d) { return ObjectiveKL(p, g, n, 1e-15, d.x); }},
    };
    return objectives;
}

// From close to 0 to the box's edge at 1e7 in each variable.
TEST(LittlewoodFamily, GradientMatchesCentralDifferences) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const double points[] = {1e-2, 0.3, 1.0, 10.0, 300.0, 1e4, 9.9e6};
    for (const Objective& objective : Objectives()) {
        for (std::int32_t n : {20, 60, 136}) {
            for (double p1 : points) {
                for (double p2 : points) {
                    std::array<double, 2> p{p1, p2};
                    std::array<double, 2> g{};
                    const double f = objective.at(p, g, n, sys1);
                    auto numeric = test::CentralDifference(
                        [&](std::span<const double> q) {
                            std::array<double, 2> ignored{};
                            return objective.at(q, ignored, n, sys1);
                        },
                        p, 1e-5);
                    for (std::size_t k = 0; k < 2; ++k) {
                        // Rounding in f limits the difference quotient to about 1e-14 |f| / h.
                        const double noise = 1e-13 * std::fabs(f) / (1e-5 * p[k]);
                        EXPECT_TRUE(test::IsClose(g[k], numeric[k], 1e-5, noise))
                            << objective.model << " n " << n << " p " << p1 << ", " << p2
                            << " component " << k;
                    }
                }
            }
        }
    }
}

// No time elapses before the fourth failure: every objective meets an infinity or a 0 / 0.
TEST(LittlewoodFamily, ArithmeticFaultInAnObjectiveGivesALargeFiniteValue) {
    Series zero = test::FromInterfailure({0.0, 0.0, 0.0, 0.0});
    for (const Objective& objective : Objectives()) {
        std::array<double, 2> p{3.0, 0.0};
        std::array<double, 2> g{1.0, 1.0};
        EXPECT_EQ(objective.at(p, g, 4, zero), 1e100) << objective.model;
        EXPECT_EQ(g[0], 0.0) << objective.model;
        EXPECT_EQ(g[1], 0.0) << objective.model;
    }
}

struct Percentile {
    const char* model;
    std::function<double(double p)> at;  // a regular predictive distribution
};

const std::vector<Percentile>& Percentiles() {
    static const std::vector<Percentile> percentiles{
        {"Li", [](double p) { return PercentileLi(p, 3.0, 400.0); }},
        {"LNHPP", [](double p) { return PercentileLNHPP(p, 300.0, 2.0, 100.0, 1600.0); }},
        {"LV", [](double p) { return PercentileLV(p, 400.0, 3.0); }},
        {"KL", [](double p) { return PercentileKL(p, 400.0, 3.0); }},
    };
    return percentiles;
}

TEST(LittlewoodFamily, PercentileOutsideTheUnitIntervalShowsMessageAndGivesZero) {
    for (const Percentile& percentile : Percentiles()) {
        for (double p : {1.2, -0.1}) {
            test::RecordingSink sink;
            EXPECT_EQ(percentile.at(p), 0.0) << percentile.model << " " << p;
            ASSERT_EQ(sink.Count(), 1u) << percentile.model;
            EXPECT_EQ(sink.Texts()[0],
                      "The percentile must be a number between 0 and 1.\r\n"
                      "A value of 0 for this percentile is returned");
            EXPECT_EQ(sink.Entries()[0].icon, MessageIcon::None);
        }
    }
}

TEST(LittlewoodFamily, PercentileEndsAreZeroAndInfinite) {
    test::RecordingSink sink;
    for (const Percentile& percentile : Percentiles()) {
        EXPECT_EQ(percentile.at(0.0), 0.0) << percentile.model;
        EXPECT_EQ(percentile.at(1.0), 1e30) << percentile.model;
        // 400 ((1 - 0.875)^(-1/3) - 1) = 400 for the Pareto models.
        if (std::string(percentile.model) != "LNHPP") {
            EXPECT_CLOSE(percentile.at(0.875), 400.0, 1e-14) << percentile.model;
        }
    }
    EXPECT_EQ(sink.Count(), 0u);
}

struct Estimator {
    const char* model;
    EstimateFunction estimate;
};

const Estimator kEstimators[] = {
    {"Li", &EstimateLi}, {"LNHPP", &EstimateLNHPP}, {"LV", &EstimateLV}, {"KL", &EstimateKL}};

// The fit at an index depends on the data, the index and the settings only.
TEST(LittlewoodFamily, RefittingPartOfTheRangeGivesTheSameRecords) {
    Series sys1 = test::FromDataFile("sys1.txt");
    for (const Estimator& estimator : kEstimators) {
        EstimatesArray whole;
        EstimatesArray part;
        ASSERT_EQ(
            estimator.estimate(sys1.x, sys1.t, 20, 70, test::ReferenceSettings(), whole, {}).status,
            EstimationStatus::Completed);
        ASSERT_EQ(
            estimator.estimate(sys1.x, sys1.t, 55, 70, test::ReferenceSettings(), part, {}).status,
            EstimationStatus::Completed);
        for (std::int32_t i = 55; i <= 70; ++i) {
            EXPECT_EQ(std::memcmp(&whole[i], &part[i], sizeof(EstimateRecord)), 0)
                << estimator.model << " at " << i;
        }
        EXPECT_EQ(whole[70].pdf, 0.0) << estimator.model;
        EXPECT_EQ(whole[70].cdf, 0.0) << estimator.model;
    }
}

TEST(LittlewoodFamily, CancelAfterSomeIndicesStopsTheRun) {
    Series sys1 = test::FromDataFile("sys1.txt");
    for (const Estimator& estimator : kEstimators) {
        test::CancellingProgress progress(25);
        EstimatesArray estimates;
        EXPECT_EQ(estimator
                      .estimate(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), estimates,
                                progress.Control())
                      .status,
                  EstimationStatus::Cancelled)
            << estimator.model;
        EXPECT_EQ(progress.Steps().back(), 25) << estimator.model;
    }
}

// A project file with one dataset of the given interfailure times.
class ProjectWithDataset {
  public:
    explicit ProjectWithDataset(const std::vector<double>& times) {
        const std::string file = m_dir.File("project.db");
        EXPECT_TRUE(CreateTamselDatabase(file));
        m_db = OpenTamselDatabase(file);
        EXPECT_TRUE(m_db);
        EXPECT_TRUE(
            InsertDataSet(*m_db, "data", "data.txt", 1, static_cast<int>(times.size()), ""));
        EXPECT_TRUE(InsertFailureTimes(*m_db, times, 1, "data"));
        m_dataSetId = FindDataSetId(*m_db, "data").value_or(0);
    }
    Database& Db() { return *m_db; }
    int DataSetId() const { return m_dataSetId; }
    std::int64_t Count(const std::string& table) {
        Statement count = m_db->Prepare("SELECT COUNT(*) FROM " + table);
        count.Step();
        return count.ColumnInt(0);
    }

  private:
    test::TempDir m_dir;
    std::unique_ptr<Database> m_db;
    int m_dataSetId = 0;
};

TEST(LittlewoodFamily, WindowModelsRefuseARangeFromTheFirstFailure) {
    ProjectWithDataset project(test::ReadDataValues("ntds.txt"));
    const int fromFirst = FindOrCreateRange(project.Db(), 1, 1, std::nullopt);
    ASSERT_GT(fromFirst, 0);
    for (auto [model, name] : {std::pair{7, "Littlewood-Verrall"}, {8, "Keiller-Littlewood"}}) {
        test::RecordingSink sink;
        ApplyModelResult result =
            ApplyModel(project.Db(), project.DataSetId(), model, fromFirst, 1, {});
        EXPECT_EQ(result.outcome, ApplyModelResult::Outcome::Refused);
        ASSERT_EQ(sink.Count(), 1u);
        EXPECT_EQ(sink.Texts()[0], std::string("The ") + name +
                                       " model cannot be applied: it needs a range that starts "
                                       "at failure 2 or later.");
    }
    EXPECT_EQ(project.Count("EstimatesSets"), 0);
    // The cumulative-time models fit a single failure.
    for (int model : {5, 6}) {
        ApplyModelResult result =
            ApplyModel(project.Db(), project.DataSetId(), model, fromFirst, 1, {});
        EXPECT_EQ(result.outcome, ApplyModelResult::Outcome::Stored) << model;
    }
    EXPECT_EQ(project.Count("Estimates"), 2 * 26);
}

TEST(LittlewoodFamily, NonFiniteRecordIsReportedAndNothingStored) {
    // No time elapses before failure 21: the Littlewood-Verrall shape at failure 20 is
    // infinite.
    std::vector<double> times(21, 0.0);
    times.insert(times.end(), {5.0, 7.0, 3.0});
    ProjectWithDataset project(times);
    test::RecordingSink sink;
    ApplyModelResult result = ApplyModel(project.Db(), project.DataSetId(), 7, 1, 1, {});
    EXPECT_EQ(result.outcome, ApplyModelResult::Outcome::Failed);
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts()[0],
              "An arithmetic error occurred while fitting the Littlewood-Verrall model at "
              "failure index 20: Param1 is not a finite number.\r\nNo estimates were stored.");
    EXPECT_EQ(project.Count("EstimatesSets"), 0);
    EXPECT_EQ(project.Count("Estimates"), 0);
}

}  // namespace
}  // namespace tamsel
