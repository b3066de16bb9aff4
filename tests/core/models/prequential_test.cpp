#include "tamsel/models/prequential.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "model_test_support.h"
#include "tamsel/models/model_table.h"

namespace tamsel {
namespace {

EstimateRecord Marked(std::int32_t i) {
    EstimateRecord record;
    record.param1 = i;
    record.mttf = 0.5 * i;
    return record;
}

// The termination and fault SlowFirst marks index i with.
FitTermination MarkedEnd(std::int32_t i) {
    return {i % 2 == 0 ? FitOutcome::Converged : FitOutcome::Limit, i % 3 == 0 ? "MO" : "", i};
}

MathFault MarkedFault(std::int32_t i) {
    return i % 5 == 0 ? MathFault::MttfGamma : MathFault::None;
}

// Lower indices take longer, so that with several workers later indices finish first.
IndexResult SlowFirst(std::int32_t i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 2 == 0 ? 4 : 1));
    return {Marked(i), MarkedEnd(i), MarkedFault(i)};
}

std::vector<int> Indices(int first, int last) {
    std::vector<int> indices;
    for (int i = first; i <= last; ++i) indices.push_back(i);
    return indices;
}

TEST(Prequential, StoresEveryIndexAndStepsTheProgressInOrder) {
    for (int threads : {1, 2, 4, 40}) {
        SCOPED_TRACE(threads);
        test::CancellingProgress progress;
        EstimatesArray estimates(3, Marked(99));
        EstimationResult result =
            RunPrequential(3, 30, SlowFirst, estimates, progress.Control(), threads);
        EXPECT_EQ(result.status, EstimationStatus::Completed);
        EXPECT_EQ(progress.Steps(), Indices(3, 30));
        ASSERT_EQ(estimates.size(), 31u);
        EXPECT_EQ(estimates[2].param1, 0.0);
        EXPECT_EQ(estimates[3].param1, 3.0);
        EXPECT_EQ(estimates[30].mttf, 15.0);
        ASSERT_EQ(result.terminations.size(), 31u);
        ASSERT_EQ(result.faults.size(), 31u);
        for (std::int32_t i = 3; i <= 30; ++i) {
            EXPECT_EQ(result.terminations[i], MarkedEnd(i)) << i;
            EXPECT_EQ(result.faults[i], MarkedFault(i)) << i;
        }
    }
}

TEST(Prequential, CancelStopsTheWorkersAfterTheirCurrentFit) {
    for (int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        test::CancellingProgress progress(8);
        std::atomic<int> fitsAfterCancel = 0;
        RunControl control = progress.Control();
        IndexFit fit = [&](std::int32_t i) {
            if (control.CancelRequested()) ++fitsAfterCancel;
            return SlowFirst(i);
        };
        EstimatesArray estimates;
        EstimationResult result = RunPrequential(3, 400, fit, estimates, control, threads);
        EXPECT_EQ(result.status, EstimationStatus::Cancelled);
        EXPECT_EQ(progress.Steps(), Indices(3, 8));
        // A worker may have taken its next index just before the flag was set.
        EXPECT_LE(fitsAfterCancel.load(), threads == 1 ? 0 : threads);
    }
}

// The first faulty index is named, whatever the order in which the workers meet the faults.
TEST(Prequential, FaultsNameTheFirstFaultyIndex) {
    struct Case {
        std::int32_t first;   // a non-finite LowQ, met slowly
        std::int32_t second;  // an exception, met quickly
        double bad;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const Case& c :
         {Case{5, 12, nan}, Case{7, 15, infinity}, Case{12, 5, nan}, Case{20, 20, nan}}) {
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(std::to_string(c.first) + " " + std::to_string(threads));
            IndexFit fit = [&](std::int32_t i) {
                if (i == c.second) throw std::range_error("fault " + std::to_string(i));
                EstimateRecord record = Marked(i);
                if (i == c.first) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    record.lowQ = c.bad;
                }
                return IndexResult{record, {}, MathFault::None};
            };
            test::CancellingProgress progress;
            EstimatesArray estimates;
            EstimationResult result =
                RunPrequential(3, 20, fit, estimates, progress.Control(), threads);
            EXPECT_EQ(result.status, EstimationStatus::ArithmeticFault);
            std::int32_t faulty = std::min(c.first, c.second);
            EXPECT_EQ(result.faultIndex, faulty);
            EXPECT_EQ(result.faultDetail, faulty == c.second ? "fault " + std::to_string(faulty)
                                                             : "LowQ is not a finite number");
            EXPECT_EQ(progress.Steps(), Indices(3, faulty - 1));
        }
    }
}

// A fit at index i depends on nothing but the data, i and the settings: fitting the indices
// one by one, backwards, each from a fresh fit, or on several threads gives the same bits as
// the loop.
TEST(Prequential, EveryModelsFitsAreTheSameInAnyOrderAndOnAnyNumberOfThreads) {
    for (const char* file : {"sys1.txt", "csr1.txt"}) {
        test::Series series = test::FromDataFile(file);
        const std::int32_t end = series.Count();
        for (const ModelInfo& model : ModelTable()) {
            SCOPED_TRACE(std::string(file) + " " + std::string(model.code));
            EstimatesArray loop;
            ASSERT_EQ(model
                          .estimate(series.x, series.t, 20, end, test::ReferenceSettings(), loop,
                                    RunControl())
                          .status,
                      EstimationStatus::Completed);
            IndexFit fit = model.prepare(series.x, series.t, end, test::ReferenceSettings());
            for (int threads : {2, 4}) {
                EstimatesArray several;
                ASSERT_EQ(RunPrequential(20, end, fit, several, RunControl(), threads).status,
                          EstimationStatus::Completed);
                ASSERT_EQ(several.size(), loop.size());
                for (std::int32_t i = 20; i <= end; ++i) {
                    EXPECT_TRUE(test::SameBits(loop[i], several[i])) << threads << " at " << i;
                }
            }
            for (std::int32_t i = end; i >= 20; i -= 7) {
                EstimatesArray single;
                ASSERT_EQ(model
                              .estimate(series.x, series.t, i, i, test::ReferenceSettings(), single,
                                        RunControl())
                              .status,
                          EstimationStatus::Completed);
                // Pdf and Cdf are only made below the end of the range.
                EstimateRecord expected = loop[i];
                expected.pdf = 0.0;
                expected.cdf = 0.0;
                EXPECT_TRUE(test::SameBits(single[i], expected)) << "at " << i;
            }
        }
    }
}

TEST(ModelTable, FindsModelsByCodeOrNumber) {
    const std::pair<const char*, int> cases[] = {{"JM", 1}, {"du", 2}, {"lnhpp", 6}, {"kl", 8},
                                                 {"8", 8},  {"9", 0},  {"0", 0},     {"JMX", 0}};
    for (const auto& [text, number] : cases) {
        const ModelInfo* model = FindModel(std::string_view(text));
        EXPECT_EQ(model ? model->number : 0, number) << text;
    }
    for (int number = 1; number <= 8; ++number) EXPECT_EQ(FindModel(number)->number, number);
    EXPECT_EQ(FindModel(9), nullptr);
}

}  // namespace
}  // namespace tamsel
