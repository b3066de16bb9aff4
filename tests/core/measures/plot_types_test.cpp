#include "tamsel/measures/plot_types.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tamsel {
namespace {

TEST(PlotTypeOfMenuIndex, AcceptsTheMenuIndicesOnly) {
    test::RecordingSink sink;
    for (int index : {0, 3, 10, 13, 20, 23, 30, 40, 43}) {
        std::optional<PlotType> type = PlotTypeOfMenuIndex(index);
        ASSERT_TRUE(type.has_value()) << index;
        EXPECT_EQ(static_cast<int>(*type), index);
    }
    EXPECT_EQ(sink.Count(), 0u);
    // The builders' second types are not menu entries.
    for (int index : {16, 21, 26, 1, -1, 31, 41}) {
        sink.Clear();
        EXPECT_FALSE(PlotTypeOfMenuIndex(index).has_value()) << index;
        EXPECT_EQ(sink.Texts(),
                  std::vector<std::string>{"An error occurred in the indexing of the plots, "
                                           "please select another plot."});
    }
}

TEST(PlotTypes, MixedFromFifteenFailuresAfterTheRangeStart) {
    EXPECT_EQ(UPlotType(14), PlotType::RawUPlots);
    EXPECT_EQ(UPlotType(15), PlotType::MixedUPlots);
    EXPECT_EQ(YPlotType(14), PlotType::RawYPlots);
    EXPECT_EQ(YPlotType(15), PlotType::MixedYPlots);
    EXPECT_EQ(YPlotType(0), PlotType::RawYPlots);
    EXPECT_TRUE(IsMixedPlot(PlotType::MixedUPlots));
    EXPECT_FALSE(IsMixedPlot(PlotType::RawYPlots));
    EXPECT_FALSE(IsMixedPlot(PlotType::LogPlr));
}

TEST(PlotStartRange, BoundsPerKindAndSet) {
    struct Case {
        PlotType kind;
        bool recalibrated;
        int dataNumber;
        int proposed, smallest, largest;
    };
    const Case cases[] = {
        {PlotType::RawUPlots, false, 136, 35, 20, 135},
        {PlotType::RawYPlots, false, 136, 35, 20, 135},
        {PlotType::RawUPlots, true, 136, 35, 35, 135},
        {PlotType::RawYPlots, true, 136, 35, 35, 135},
        {PlotType::LogPlr, false, 136, 35, 35, 135},
        {PlotType::LogPlr, true, 136, 35, 35, 135},
        // Raw plots of a short dataset: the proposal stays within the bounds.
        {PlotType::RawUPlots, false, 30, 29, 20, 29},
        {PlotType::LogPlr, false, 36, 35, 35, 35},
    };
    test::RecordingSink sink;
    for (const Case& c : cases) {
        std::optional<PlotStartBounds> bounds =
            PlotStartRange(c.kind, 20, c.dataNumber, c.recalibrated);
        ASSERT_TRUE(bounds.has_value());
        EXPECT_EQ(bounds->proposed, c.proposed);
        EXPECT_EQ(bounds->smallest, c.smallest);
        EXPECT_EQ(bounds->largest, c.largest);
        EXPECT_EQ(bounds->mixedFrom, 35);
    }
    EXPECT_EQ(sink.Count(), 0u);
}

TEST(PlotStartRange, CrossedBoundsAreRefused) {
    test::RecordingSink sink;
    // 21 to 35 failures with the range starting at 20: no start from 35 on has a successor.
    EXPECT_FALSE(PlotStartRange(PlotType::LogPlr, 20, 35, false).has_value());
    EXPECT_FALSE(PlotStartRange(PlotType::RawUPlots, 20, 25, true).has_value());
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{
                  "There are too few failures after the range start for this plot: its start "
                  "must be at least 35 and at most 34.",
                  "There are too few failures after the range start for this plot: its start "
                  "must be at least 35 and at most 24."}));
    sink.Clear();
    EXPECT_FALSE(PlotStartRange(PlotType::Quartiles, 20, 136, false).has_value());
    EXPECT_EQ(sink.Count(), 0u);
}

TEST(ClampRangeEntry, NumbersRoundedAndClampedOtherTextKeepsTheValue) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"40", 40},   {" 37 ", 37},   {"+36", 36},    {"10", 35},     {"-5", 35},
        {"200", 135}, {"1e300", 135}, {"40.4", 40},   {"40.6", 41},   {"40.5", 40},
        {"41.5", 42}, {"4e1", 40},    {"abc", 50},    {"", 50},       {"3x", 50},
        {"inf", 50},  {"nan", 50},    {"134.5", 134}, {"135.5", 135},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClampRangeEntry(c.text, 50, 35, 135), c.expected) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace tamsel
