#include "tamsel/models/prequential.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "model_test_support.h"
#include "tamsel/models/model_table.h"

namespace tamsel {
namespace {

EstimateRecord Marked(std::int32_t i) {
    EstimateRecord record;
    record.param1 = i;
    record.mttf = 2.0 * i;
    return record;
}

TEST(Prequential, FitsEachIndexInOrderAndStepsTheProgress) {
    test::CancellingProgress progress;
    EstimatesArray estimates(3, Marked(99));
    std::vector<std::int32_t> order;
    EstimationResult result = RunPrequential(
        3, 7,
        [&](std::int32_t i) {
            order.push_back(i);
            return Marked(i);
        },
        estimates, progress.Control());
    EXPECT_EQ(result.status, EstimationStatus::Completed);
    EXPECT_EQ(order, (std::vector<std::int32_t>{3, 4, 5, 6, 7}));
    EXPECT_EQ(progress.Steps(), (std::vector<int>{3, 4, 5, 6, 7}));
    ASSERT_EQ(estimates.size(), 8u);
    EXPECT_EQ(estimates[2].param1, 0.0);
    EXPECT_EQ(estimates[5].param1, 5.0);
    EXPECT_EQ(estimates[7].mttf, 14.0);
}

TEST(Prequential, CancelStopsAfterTheCurrentIndex) {
    test::CancellingProgress progress(5);
    EstimatesArray estimates;
    EstimationResult result = RunPrequential(3, 9, Marked, estimates, progress.Control());
    EXPECT_EQ(result.status, EstimationStatus::Cancelled);
    EXPECT_EQ(progress.Steps(), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(estimates[5].param1, 5.0);
    EXPECT_EQ(estimates[6].param1, 0.0);
}

TEST(Prequential, FaultsStopTheRunAndNameTheIndex) {
    struct Case {
        const char* what;
        IndexFit fit;
        std::string detail;
    };
    auto faultAt5 = [](auto&& spoil) {
        return [spoil](std::int32_t i) {
            EstimateRecord record = Marked(i);
            if (i == 5) spoil(record);
            return record;
        };
    };
    std::vector<Case> cases{
        {"NaN", faultAt5([](EstimateRecord& r) { r.lowQ = std::nan(""); }),
         "LowQ is not a finite number"},
        {"infinity",
         faultAt5([](EstimateRecord& r) { r.pdf = std::numeric_limits<double>::infinity(); }),
         "Pdf is not a finite number"},
        {"exception",
         [](std::int32_t i) {
             if (i == 5) throw std::overflow_error("overflow in the fit");
             return Marked(i);
         },
         "overflow in the fit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::CancellingProgress progress;
        EstimatesArray estimates;
        EstimationResult result = RunPrequential(3, 9, c.fit, estimates, progress.Control());
        EXPECT_EQ(result.status, EstimationStatus::ArithmeticFault);
        EXPECT_EQ(result.faultIndex, 5);
        EXPECT_EQ(result.faultDetail, c.detail);
        EXPECT_EQ(progress.Steps(), (std::vector<int>{3, 4}));
    }
}

// A fit at index i depends on nothing but the data, i and the settings: fitting the indices
// one by one, backwards, each from a fresh fit, gives the same bits as the loop.
TEST(Prequential, FitsAreTheSameInAnyOrder) {
    test::Series series = test::FromDataFile("sys1.txt");
    const std::int32_t end = series.Count();
    for (const ModelInfo& model : ModelTable()) {
        SCOPED_TRACE(model.code);
        EstimatesArray loop;
        ASSERT_EQ(model
                      .estimate(series.x, series.t, 20, end, test::ReferenceSettings(), loop,
                                RunControl())
                      .status,
                  EstimationStatus::Completed);
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
            const EstimateRecord& actual = single[i];
            for (auto [a, b] : {std::pair{actual.param1, expected.param1},
                                {actual.param2, expected.param2},
                                {actual.param3, expected.param3},
                                {actual.lowQ, expected.lowQ},
                                {actual.median, expected.median},
                                {actual.uppQ, expected.uppQ},
                                {actual.mttf, expected.mttf},
                                {actual.pdf, expected.pdf},
                                {actual.cdf, expected.cdf}}) {
                EXPECT_EQ(a, b) << "at " << i;
            }
        }
    }
}

TEST(ModelTable, FindsModelsByCodeOrNumber) {
    struct Case {
        const char* text;
        int number;
    };
    for (const Case& c : {Case{"JM", 1}, Case{"du", 2}, Case{"Mo", 3}, Case{"GO", 4}, Case{"li", 5},
                          Case{"lnhpp", 6}, Case{"LV", 7}, Case{"kl", 8}, Case{"3", 3},
                          Case{"8", 8}, Case{"9", 0}, Case{"0", 0}, Case{"JMX", 0}, Case{"", 0}}) {
        SCOPED_TRACE(c.text);
        const ModelInfo* model = FindModel(std::string_view(c.text));
        EXPECT_EQ(model ? model->number : 0, c.number);
    }
    ASSERT_EQ(ModelTable().size(), 8u);
    for (int number = 1; number <= 8; ++number) EXPECT_EQ(FindModel(number)->number, number);
    EXPECT_EQ(FindModel(0), nullptr);
    EXPECT_EQ(FindModel(2)->firstFailureIndex, 2);
}

}  // namespace
}  // namespace tamsel
