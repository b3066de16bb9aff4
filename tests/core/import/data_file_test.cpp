#include "tamsel/import/data_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "test_support.h"

namespace tamsel {
namespace {

const std::string kReadFirstLine = "An error occurred while reading data from file.\r\n";
const std::string kValidationFirstLine = "An error has occurred during data validation.\r\n";
const std::string kNoData = "File contains no data.";
const std::string kNotNumeric = "Data is not numeric. Please check data or select another file.";
const std::string kNegative = "File contains negative data.";
const std::string kTooManyZeros = "File contains too many zeros.";
const std::string kUnknownFormat =
    "Data in unknown format. Please check format or select another file.";

std::vector<double> Numbers(const FailureDataArray& items) {
    std::vector<double> values;
    for (const auto& item : items) values.push_back(item.value_or(-999.0));
    return values;
}

struct LayoutCase {
    const char* label;
    std::string text;
    std::vector<double> expected;
};

class DataFileLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DataFileLayout, ReadsTheItemsInFileOrder) {
    test::RecordingSink sink;
    auto items = ParseDataText(GetParam().text);
    ASSERT_TRUE(items.has_value());
    EXPECT_EQ(Numbers(*items), GetParam().expected);
    EXPECT_EQ(sink.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, DataFileLayout,
    ::testing::Values(LayoutCase{"LineFeeds", "3\n5\n2\n", {3, 5, 2}},
                      LayoutCase{"Commas", "3,5,2", {3, 5, 2}},
                      LayoutCase{"CarriageReturnLineFeeds", "3\r\n5\r\n2\r\n", {3, 5, 2}},
                      LayoutCase{"CarriageReturns", "3\r5\r2", {3, 5, 2}},
                      LayoutCase{"MixedLinesAndCommas", "3,5\n2,7\r\n1", {3, 5, 2, 7, 1}},
                      LayoutCase{"BlanksAndTabsAroundItems", " 3 ,\t5\t, 2  \n", {3, 5, 2}},
                      LayoutCase{"ByteOrderMark",
                                 "\xEF\xBB\xBF"
                                 "3\n5\n",
                                 {3, 5}},
                      LayoutCase{"EmptyLines", "\n\n3\n\n\n5\n\n", {3, 5}},
                      LayoutCase{"TrailingSeparators", "3,5,2,\n", {3, 5, 2}},
                      LayoutCase{"EmptyItemsBetweenCommas", "3,,5", {3, 5}},
                      LayoutCase{"ExponentsAndDecimalPoints",
                                 "1e3,2.5E-1,.5,5.,+7,1.5e+2",
                                 {1000, 0.25, 0.5, 5, 7, 150}},
                      LayoutCase{"QuotedNumbers", "\"3\", \" 4 \"\n\"5\"", {3, 4, 5}},
                      LayoutCase{
                          "QuotedSeparatorsStayInTheItem", "\"4,5\"\n\"6\n7\"", {-999, -999}},
                      LayoutCase{"LeadingZeros", "007,0.50", {7, 0.5}}),
    [](const auto& info) { return info.param.label; });

TEST(DataFileItems, NonNumbersAreKeptAsNonNumericItems) {
    test::RecordingSink sink;
    for (const char* text :
         {"abc",    "nan",    "NaN",  "inf",    "-inf",     "infinity", "0x10", "1e400",
          "-1e400", "1e-400", "3 5",  "1.2.3",  "1e",       "++3",      "+-3",  "+",
          "-",      ".",      "3,5e", "\"3\"x", "\xD9\xA1", "3;5",      "1'000"}) {
        auto items = ParseDataText(std::string("1\n") + text + "\n2");
        ASSERT_TRUE(items.has_value()) << text;
        ASSERT_GE(items->size(), 3u) << text;
        bool anyNonNumeric = false;
        for (const auto& item : *items) anyNonNumeric |= !item.has_value();
        EXPECT_TRUE(anyNonNumeric) << text;
        EXPECT_EQ(items->front(), 1.0) << text;
        EXPECT_EQ(items->back(), 2.0) << text;
    }
    EXPECT_EQ(sink.Count(), 0u);
}

TEST(DataFileItems, NegativeZeroReadsAsZero) {
    auto items = ParseDataText("-0\n-0.0e5");
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2u);
    for (const auto& item : *items) {
        ASSERT_TRUE(item.has_value());
        EXPECT_EQ(*item, 0.0);
        EXPECT_FALSE(std::signbit(*item));
    }
}

TEST(DataFileItems, ReadsExactDoubles) {
    auto items = ParseDataText("0.1\n1.7976931348623157e308\n4.9e-324");
    ASSERT_TRUE(items.has_value());
    EXPECT_EQ(Numbers(*items), (std::vector<double>{0.1, 1.7976931348623157e308, 4.9e-324}));
}

struct FailureCase {
    const char* label;
    std::string text;
    std::size_t maxItems;
    std::string secondLine;
};

class DataFileFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DataFileFailure, ShowsOneReadingMessage) {
    test::RecordingSink sink;
    EXPECT_FALSE(ParseDataText(GetParam().text, GetParam().maxItems).has_value());
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts()[0], kReadFirstLine + GetParam().secondLine);
    EXPECT_EQ(sink.Entries()[0].buttons, MessageButtons::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, DataFileFailure,
    ::testing::Values(
        FailureCase{"EmptyFile", "", kMaxDataItems, kNoData},
        FailureCase{"OnlySeparatorsAndBlanks", " \n\r\n , ,\t\n", kMaxDataItems, kNoData},
        FailureCase{"OnlyByteOrderMark", "\xEF\xBB\xBF", kMaxDataItems, kNoData},
        FailureCase{"NulByte", std::string("3\n5\0\n2", 6), kMaxDataItems, kUnknownFormat},
        FailureCase{"ControlCharacter", "3\n\x1B[0m5\n", kMaxDataItems, kUnknownFormat},
        FailureCase{"BinaryAfterGoodLines", std::string("3\n5\n\x7F\x45LF\x02\x01", 10),
                    kMaxDataItems, kUnknownFormat},
        FailureCase{"UnclosedQuote", "3\n5\n\"2\n", kMaxDataItems,
                    "Invalid number of data. Please check data or select another file."},
        FailureCase{"MoreItemsThanAllowed", "1,2,3,4", 3,
                    "Too many data. Please reduce the number of interfailure times in the "
                    "data file."}),
    [](const auto& info) { return info.param.label; });

TEST(DataFileFailure, TheLargestAllowedCountPasses) {
    test::RecordingSink sink;
    auto items = ParseDataText("1,2,3,,\n", 3);
    ASSERT_TRUE(items.has_value());
    EXPECT_EQ(items->size(), 3u);
}

TEST(ReadDataFile, ReadsAShippedDataset) {
    test::RecordingSink sink;
    auto items = ReadDataFile(test::DataFile("sys1.txt"));
    ASSERT_TRUE(items.has_value());
    std::vector<double> values = Numbers(*items);
    ASSERT_EQ(values.size(), 136u);
    EXPECT_EQ(values.front(), 3.0);
    EXPECT_EQ(values.back(), 4116.0);
    EXPECT_EQ(std::accumulate(values.begin(), values.end(), 0.0), 88682.0);
    EXPECT_EQ(sink.Count(), 0u);
}

TEST(ReadDataFile, UnreadableFilesAreInUnknownFormat) {
    test::TempDir dir;
    std::string binary = dir.WriteFile("binary.dat", std::string("\x7F\x45LF\x00\x01\x02", 7));
    for (const std::string& path : {dir.File("missing.txt"), dir.Path().string(), binary}) {
        test::RecordingSink sink;
        EXPECT_FALSE(ReadDataFile(path).has_value()) << path;
        ASSERT_EQ(sink.Count(), 1u) << path;
        EXPECT_EQ(sink.Texts()[0], kReadFirstLine + kUnknownFormat) << path;
    }
}

TEST(ReadDataFile, EmptyFileHasNoData) {
    test::TempDir dir;
    test::RecordingSink sink;
    EXPECT_FALSE(ReadDataFile(dir.WriteFile("empty.txt", "")).has_value());
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts()[0], kReadFirstLine + kNoData);
}

struct ValidationCase {
    const char* label;
    FailureDataArray data;
    std::string secondLine;  // empty when the data are valid
};

class ValidateDataCases : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(ValidateDataCases, ChecksItemsInOrderThenZeros) {
    test::RecordingSink sink;
    auto values = ValidateData(GetParam().data);
    if (GetParam().secondLine.empty()) {
        ASSERT_TRUE(values.has_value());
        ASSERT_EQ(values->size(), GetParam().data.size());
        for (std::size_t i = 0; i < values->size(); ++i) {
            EXPECT_EQ((*values)[i], *GetParam().data[i]);
        }
        EXPECT_EQ(sink.Count(), 0u);
    } else {
        EXPECT_FALSE(values.has_value());
        ASSERT_EQ(sink.Count(), 1u);
        EXPECT_EQ(sink.Texts()[0], kValidationFirstLine + GetParam().secondLine);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Validation, ValidateDataCases,
    ::testing::Values(
        ValidationCase{"Valid", {3.0, 5.0, 2.0}, ""}, ValidationCase{"SingleValue", {7.0}, ""},
        ValidationCase{"OneZeroInTen", {0.0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, ""},
        ValidationCase{"TwoZerosInTen", {0.0, 1, 2, 3, 4, 5, 6, 7, 8, 0}, kTooManyZeros},
        ValidationCase{
            "TwoZerosInTwenty", {0.0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}, ""},
        ValidationCase{"OnlyZero", {0.0}, kTooManyZeros},
        ValidationCase{"Negative", {3.0, -1.0, 2.0}, kNegative},
        ValidationCase{"NotNumeric", {3.0, std::nullopt, 2.0}, kNotNumeric},
        ValidationCase{"NegativeBeforeNonNumeric", {-1.0, std::nullopt}, kNegative},
        ValidationCase{"NonNumericBeforeNegative", {std::nullopt, -1.0}, kNotNumeric},
        ValidationCase{"NonNumericBeforeZeros", {0.0, 0.0, std::nullopt}, kNotNumeric},
        ValidationCase{"Empty", {}, kNoData}),
    [](const auto& info) { return info.param.label; });

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

TEST(ValidateZeros, CountsZeroInterfailureTimesOfTheDecidedType) {
    struct Case {
        std::vector<double> values;
        DataType type;
        bool valid;
    };
    const std::vector<double> tenRising{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::vector<double> oneRepeat = tenRising;
    oneRepeat[5] = oneRepeat[4];
    std::vector<double> twoRepeats = oneRepeat;
    twoRepeats[8] = twoRepeats[7];
    for (const Case& c : std::vector<Case>{{{2, 2, 2}, DataType::Interfailure, true},
                                           {{2, 2, 2}, DataType::Cumulative, false},
                                           {tenRising, DataType::Cumulative, true},
                                           {oneRepeat, DataType::Cumulative, true},
                                           {twoRepeats, DataType::Cumulative, false},
                                           {{0, 5, 10}, DataType::Cumulative, false}}) {
        test::RecordingSink sink;
        EXPECT_EQ(ValidateZeros(c.values, c.type), c.valid) << ::testing::PrintToString(c.values);
        std::vector<std::string> expected;
        if (!c.valid) expected.push_back(kValidationFirstLine + kTooManyZeros);
        EXPECT_EQ(sink.Texts(), expected);
    }
}

}  // namespace
}  // namespace tamsel
