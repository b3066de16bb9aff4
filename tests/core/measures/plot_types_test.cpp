#include "tamsel/measures/plot_types.h"

#include <gtest/gtest.h>

namespace tamsel {
namespace {

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
