#include "tamsel/import/data_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tamsel {
namespace {

const std::string kTooManyZeros =
    "An error has occurred during data validation.\r\nFile contains too many zeros.\r\n";

TEST(DetectDataType, NeverDecreasingMeansCumulative) {
    struct Case {
        std::vector<double> values;
        DataType expected;
    };
    for (const Case& c : std::vector<Case>{{{3, 5, 2}, DataType::Interfailure},
                                           {{3, 8, 10}, DataType::Cumulative},
                                           {{2, 2, 2}, DataType::Cumulative},
                                           {{7}, DataType::Cumulative},
                                           {{1, 2, 3, 2.5}, DataType::Interfailure},
                                           {{5, 1, 2, 3}, DataType::Interfailure}}) {
        EXPECT_EQ(DetectDataType(c.values), c.expected) << ::testing::PrintToString(c.values);
    }
}

// Equal values that never decrease are refused as cumulative times but pass as interfailure
// times: the automatic choice reads them so, and says why.
TEST(DetectAutomaticType, RepeatsThatOnlyInterfailureTimesAllowAreInterfailureTimes) {
    struct Case {
        std::vector<double> values;
        DataType expected;
        std::string repeats;  // "5 of the 6" when the note is expected
    };
    for (const Case& c :
         std::vector<Case>{{{5, 5, 5, 5, 5, 5}, DataType::Interfailure, "5 of the 6"},
                           {{1, 2, 2, 2}, DataType::Interfailure, "2 of the 4"},
                           {{0, 0, 0}, DataType::Cumulative, ""},
                           {{1, 2, 3, 4, 5, 5, 7, 8, 9, 10}, DataType::Cumulative, ""},
                           {{3, 8, 10}, DataType::Cumulative, ""},
                           {{3, 5, 2}, DataType::Interfailure, ""}}) {
        const AutomaticType automatic = DetectAutomaticType(c.values);
        EXPECT_EQ(automatic.type, c.expected) << ::testing::PrintToString(c.values);
        EXPECT_EQ(automatic.note,
                  c.repeats.empty()
                      ? ""
                      : "read the values as interfailure times although they never decrease: as "
                        "cumulative times " +
                            c.repeats +
                            " would repeat their predecessor, failures at the same moment, where "
                            "at most one in ten may");
    }
}

TEST(ValidateZeros, CountsZeroInterfailureTimesOfTheDecidedType) {
    struct Case {
        std::vector<double> values;
        DataType type;
        std::string refusal;  // empty when the values pass
    };
    const std::vector<double> tenRising{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::vector<double> oneRepeat = tenRising;
    oneRepeat[5] = oneRepeat[4];
    std::vector<double> twoRepeats = oneRepeat;
    twoRepeats[8] = twoRepeats[7];
    const std::string cumulative = " cumulative times repeat their predecessor";
    const std::string interfailure = " interfailure times are 0";
    const std::string fix =
        "; at most one in ten may. Remove the repeated failures or correct their times.";
    for (const Case& c : std::vector<Case>{
             {{2, 2, 2}, DataType::Interfailure, ""},
             {{2, 2, 2}, DataType::Cumulative, "2 of the 3" + cumulative},
             {tenRising, DataType::Cumulative, ""},
             {oneRepeat, DataType::Cumulative, ""},
             {twoRepeats, DataType::Cumulative, "2 of the 10" + cumulative},
             {{0, 5, 10}, DataType::Cumulative, "1 of the 3" + cumulative},
             {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, DataType::Interfailure, ""},
             {{0, 1, 2, 3, 4, 5, 6, 7, 8, 0}, DataType::Interfailure, "2 of the 10" + interfailure},
             {{0.0}, DataType::Interfailure, "1 of the 1" + interfailure}}) {
        test::RecordingSink sink;
        EXPECT_EQ(ValidateZeros(c.values, c.type), c.refusal.empty())
            << ::testing::PrintToString(c.values);
        std::vector<std::string> expected;
        if (!c.refusal.empty()) expected.push_back(kTooManyZeros + c.refusal + fix);
        EXPECT_EQ(sink.Texts(), expected);
    }
}

}  // namespace
}  // namespace tamsel
