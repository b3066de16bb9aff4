#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "model_test_support.h"
#include "tamsel/models/model_driver.h"
#include "tamsel/models/model_table.h"
#include "tamsel/models/prequential.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using Outcome = ApplyModelResult::Outcome;

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;

bool SameBits(const EstimatesArray& a, const EstimatesArray& b) {
    return a.size() == b.size() &&
           std::memcmp(a.data(), b.data(), a.size() * sizeof(EstimateRecord)) == 0;
}

EstimateRecord Marked(std::int32_t i) {
    EstimateRecord record;
    record.param1 = i;
    record.mttf = 0.5 * i;
    return record;
}

// Lower indices take longer, so that with several workers later indices finish first.
EstimateRecord SlowFirst(std::int32_t i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 2 == 0 ? 4 : 1));
    return Marked(i);
}

TEST(ParallelPrequential, EveryModelGivesTheSameBitsOnAnyNumberOfThreads) {
    for (const char* file : {"sys1.txt", "csr1.txt"}) {
        test::Series series = test::FromDataFile(file);
        for (const ModelInfo& model : ModelTable()) {
            SCOPED_TRACE(std::string(file) + " " + std::string(model.code));
            IndexFit fit =
                model.prepare(series.x, series.t, series.Count(), test::ReferenceSettings());
            EstimatesArray one;
            ASSERT_EQ(RunPrequential(20, series.Count(), fit, one, RunControl(), 1).status,
                      EstimationStatus::Completed);
            for (int threads : {2, 4}) {
                EstimatesArray several;
                ASSERT_EQ(
                    RunPrequential(20, series.Count(), fit, several, RunControl(), threads).status,
                    EstimationStatus::Completed);
                EXPECT_TRUE(SameBits(one, several)) << threads << " threads";
            }
        }
    }
}

TEST(ParallelPrequential, ProgressStepsOnceAnIndexInOrder) {
    for (int threads : {2, 4, 40}) {
        SCOPED_TRACE(threads);
        test::CancellingProgress progress;
        EstimatesArray estimates;
        EstimationResult result =
            RunPrequential(3, 30, SlowFirst, estimates, progress.Control(), threads);
        EXPECT_EQ(result.status, EstimationStatus::Completed);
        std::vector<int> expected;
        for (int i = 3; i <= 30; ++i) expected.push_back(i);
        EXPECT_EQ(progress.Steps(), expected);
        ASSERT_EQ(estimates.size(), 31u);
        EXPECT_EQ(estimates[2].param1, 0.0);
        EXPECT_EQ(estimates[3].param1, 3.0);
        EXPECT_EQ(estimates[30].mttf, 15.0);
    }
}

TEST(ParallelPrequential, CancelStopsTheWorkersAfterTheirCurrentFit) {
    constexpr int kThreads = 4;
    test::CancellingProgress progress(8);
    std::atomic<int> fitsAfterCancel = 0;
    RunControl control = progress.Control();
    IndexFit fit = [&](std::int32_t i) {
        if (control.CancelRequested()) ++fitsAfterCancel;
        return SlowFirst(i);
    };
    EstimatesArray estimates;
    EstimationResult result = RunPrequential(3, 400, fit, estimates, control, kThreads);
    EXPECT_EQ(result.status, EstimationStatus::Cancelled);
    EXPECT_EQ(progress.Steps(), (std::vector<int>{3, 4, 5, 6, 7, 8}));
    // A worker may have taken its next index just before the flag was set.
    EXPECT_LE(fitsAfterCancel.load(), kThreads);
}

// The first faulty index is named, whatever the order in which the workers meet the faults.
TEST(ParallelPrequential, FaultsNameTheFirstFaultyIndex) {
    struct Case {
        std::int32_t first;
        std::int32_t second;
    };
    for (const Case& c : {Case{5, 12}, Case{12, 5}, Case{20, 20}}) {
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(std::to_string(c.first) + " " + std::to_string(threads));
            IndexFit fit = [&](std::int32_t i) {
                // The fault at second is met quickly, the one at first slowly.
                if (i == c.second) throw std::range_error("fault " + std::to_string(i));
                if (i == c.first) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    EstimateRecord record = Marked(i);
                    record.cdf = std::numeric_limits<double>::quiet_NaN();
                    return record;
                }
                return Marked(i);
            };
            test::CancellingProgress progress;
            EstimatesArray estimates;
            EstimationResult result =
                RunPrequential(3, 20, fit, estimates, progress.Control(), threads);
            EXPECT_EQ(result.status, EstimationStatus::ArithmeticFault);
            std::int32_t faulty = std::min(c.first, c.second);
            EXPECT_EQ(result.faultIndex, faulty);
            EXPECT_EQ(result.faultDetail, faulty == c.second ? "fault " + std::to_string(faulty)
                                                             : "Cdf is not a finite number");
            std::vector<int> steps;
            for (int i = 3; i < faulty; ++i) steps.push_back(i);
            EXPECT_EQ(progress.Steps(), steps);
        }
    }
}

class ParallelDriver : public ::testing::Test {
  protected:
    // A new project file holding SYS1, and the key of its data set.
    std::pair<std::unique_ptr<Database>, int> Project(const std::string& name) {
        std::string path = m_dir.File(name);
        EXPECT_TRUE(CreateTamselDatabase(path));
        std::unique_ptr<Database> db = OpenTamselDatabase(path);
        std::vector<double> sys1 = test::ReadDataValues("sys1.txt");
        EXPECT_TRUE(InsertDataSet(*db, "SYS1", "sys1.txt", 1, static_cast<int>(sys1.size()), ""));
        EXPECT_TRUE(InsertFailureTimes(*db, sys1, 1, "SYS1"));
        int dataSetId = FindDataSetId(*db, "SYS1").value_or(0);
        return {std::move(db), dataSetId};
    }

    static std::int64_t Count(Database& db, const std::string& table) {
        Statement count = db.Prepare("SELECT COUNT(*) FROM " + table + ";");
        count.Step();
        return count.ColumnInt(0);
    }

    // The stored rows of a set, element 0 first, as the raw bits of their ten values.
    static std::vector<std::int64_t> Rows(Database& db, int setId) {
        Statement rows = db.Prepare(
            "SELECT FailureIndex, Parameter1, Parameter2, Parameter3, LogLikelihood, Pdf, Cdf, "
            "LowQ, Median, UppQ, MTTF FROM Estimates WHERE EstimatesSetID = :set "
            "ORDER BY FailureIndex;");
        rows.Bind("set", std::int64_t{setId});
        std::vector<std::int64_t> bits;
        while (rows.Step()) {
            bits.push_back(rows.ColumnInt(0));
            for (int k = 1; k <= 10; ++k) {
                double value = rows.ColumnDouble(k);
                std::int64_t raw = 0;
                std::memcpy(&raw, &value, sizeof raw);
                bits.push_back(raw);
            }
        }
        return bits;
    }

    test::TempDir m_dir;
};

TEST_F(ParallelDriver, OneAndFourThreadsStoreTheSameRows) {
    test::RecordingSink sink;
    auto [single, singleId] = Project("single.db");
    auto [parallel, parallelId] = Project("parallel.db");
    for (const ModelInfo& model : ModelTable()) {
        SCOPED_TRACE(model.code);
        test::CancellingProgress progress;
        ApplyModelResult one = ApplyModel(*single, singleId, model.number, kDefaultRange,
                                          kMaximumLikelihood, RunControl(), 1);
        ApplyModelResult four = ApplyModel(*parallel, parallelId, model.number, kDefaultRange,
                                           kMaximumLikelihood, progress.Control(), 4);
        ASSERT_EQ(one.outcome, Outcome::Stored);
        ASSERT_EQ(four.outcome, Outcome::Stored);
        std::vector<std::int64_t> rows = Rows(*single, one.estimatesSetId);
        EXPECT_EQ(rows.size(), 117u * 11u);
        EXPECT_EQ(rows, Rows(*parallel, four.estimatesSetId));
        EXPECT_EQ(progress.Steps().size(), 117u);
    }
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(ParallelDriver, CancellingAParallelRunStoresNothing) {
    test::RecordingSink sink;
    auto [db, dataSetId] = Project("project.db");
    test::CancellingProgress progress(40);
    ApplyModelResult result =
        ApplyModel(*db, dataSetId, 5, kDefaultRange, kMaximumLikelihood, progress.Control(), 4);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{"The calculation was cancelled by user action"});
    EXPECT_EQ(progress.Steps().back(), 40);
    EXPECT_EQ(progress.Ends(), 1);
    EXPECT_EQ(Count(*db, "EstimatesSets"), 0);
    EXPECT_EQ(Count(*db, "Estimates"), 0);
}

}  // namespace
}  // namespace tamsel
