#include "tamsel/measures/plot_types.h"

#include <gtest/gtest.h>

namespace tamsel {
namespace {

TEST(PlotStartBoundsOf, BoundsPerKindAndSet) {
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
    for (const Case& c : cases) {
        std::optional<PlotStartBounds> bounds =
            PlotStartBoundsOf(c.kind, 20, c.dataNumber, c.recalibrated);
        ASSERT_TRUE(bounds.has_value());
        EXPECT_EQ(bounds->proposed, c.proposed);
        EXPECT_EQ(bounds->smallest, c.smallest);
        EXPECT_EQ(bounds->largest, c.largest);
        EXPECT_EQ(bounds->mixedFrom, 35);
    }
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
