#include "tamsel/import/data_file.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(ParseDataText, ReadsTheItemsInFileOrder) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<double> expected;
    };
    test::RecordingSink sink;
    for (const Case& c : std::vector<Case>{
             {"line feeds", "3\n5\n2\n", {3, 5, 2}},
             {"commas", "3,5,2", {3, 5, 2}},
             {"CR LF", "3\r\n5\r\n2\r\n", {3, 5, 2}},
             {"carriage returns", "3\r5\r2", {3, 5, 2}},
             {"lines and commas", "3,5\n2,7\r\n1", {3, 5, 2, 7, 1}},
             {"blanks and tabs around items", " 3 ,\t5\t, 2  \n", {3, 5, 2}},
             {"byte order mark",
              "\xEF\xBB\xBF"
              "3\n5\n",
              {3, 5}},
             {"empty lines", "\n\n3\n\n\n5\n\n", {3, 5}},
             {"trailing separators", "3,5,2,\n", {3, 5, 2}},
             {"empty items between commas", "3,,5", {3, 5}},
             {"exponents and points", "1e3,2.5E-1,.5,5.,+7,1.5e+2", {1000, 0.25, 0.5, 5, 7, 150}},
             {"quoted numbers", "\"3\", \" 4 \"\n\"5\"", {3, 4, 5}},
             {"quoted separators stay in the item", "\"4,5\"\n\"6\n7\"", {-999, -999}},
             {"leading zeros", "007,0.50", {7, 0.5}},
             {"exact doubles",
              "0.1\n1.7976931348623157e308\n4.9e-324",
              {0.1, 1.7976931348623157e308, 4.9e-324}}}) {
        auto items = ParseDataText(c.text);
        ASSERT_TRUE(items.has_value()) << c.what;
        EXPECT_EQ(Numbers(*items), c.expected) << c.what;
    }
    EXPECT_EQ(sink.Count(), 0u);
}

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

TEST(ParseDataText, ShowsOneReadingMessageOnFailure) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t maxItems;
        std::string secondLine;
    };
    for (const Case& c : std::vector<Case>{
             {"empty", "", kMaxDataItems, kNoData},
             {"only separators and blanks", " \n\r\n , ,\t\n", kMaxDataItems, kNoData},
             {"only a byte order mark", "\xEF\xBB\xBF", kMaxDataItems, kNoData},
             {"NUL byte", std::string("3\n5\0\n2", 6), kMaxDataItems, kUnknownFormat},
             {"control character", "3\n\x1B[0m5\n", kMaxDataItems, kUnknownFormat},
             {"binary after good lines", std::string("3\n5\n\x7F\x45LF\x02\x01", 10), kMaxDataItems,
              kUnknownFormat},
             {"unclosed quote", "3\n5\n\"2\n", kMaxDataItems,
              "Invalid number of data. Please check data or select another file."},
             {"more items than allowed", "1,2,3,4", 3,
              "Too many data. Please reduce the number of interfailure times in the data "
              "file."}}) {
        test::RecordingSink sink;
        EXPECT_FALSE(ParseDataText(c.text, c.maxItems).has_value()) << c.what;
        ASSERT_EQ(sink.Count(), 1u) << c.what;
        EXPECT_EQ(sink.Texts()[0], kReadFirstLine + c.secondLine) << c.what;
        EXPECT_EQ(sink.Entries()[0].buttons, MessageButtons::Ok) << c.what;
    }
    test::RecordingSink sink;
    auto items = ParseDataText("1,2,3,,\n", 3);
    ASSERT_TRUE(items.has_value()) << "the largest allowed count passes";
    EXPECT_EQ(items->size(), 3u);
}

TEST(ReadDataFile, UnreadableFilesAreInUnknownFormat) {
    test::TempDir dir;
    const std::string binary =
        dir.WriteFile("binary.dat", std::string("\x7F\x45LF\x00\x01\x02", 7));
    for (const auto& [path, secondLine] : std::vector<std::pair<std::string, std::string>>{
             {dir.File("missing.txt"), kUnknownFormat},
             {dir.Path().string(), kUnknownFormat},
             {binary, kUnknownFormat},
             {dir.WriteFile("empty.txt", ""), kNoData}}) {
        test::RecordingSink sink;
        EXPECT_FALSE(ReadDataFile(path).has_value()) << path;
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{kReadFirstLine + secondLine}) << path;
    }
}

TEST(ValidateData, ChecksItemsInOrderThenZeros) {
    struct Case {
        const char* what;
        FailureDataArray data;
        std::string secondLine;  // empty when the data are valid
    };
    for (const Case& c :
         std::vector<Case>{{"valid", {3.0, 5.0, 2.0}, ""},
                           {"one value", {7.0}, ""},
                           {"one zero in ten", {0.0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, ""},
                           {"two zeros in ten", {0.0, 1, 2, 3, 4, 5, 6, 7, 8, 0}, kTooManyZeros},
                           {"two zeros in twenty",
                            {0.0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0},
                            ""},
                           {"only a zero", {0.0}, kTooManyZeros},
                           {"negative", {3.0, -1.0, 2.0}, kNegative},
                           {"not numeric", {3.0, std::nullopt, 2.0}, kNotNumeric},
                           {"negative before non-numeric", {-1.0, std::nullopt}, kNegative},
                           {"non-numeric before negative", {std::nullopt, -1.0}, kNotNumeric},
                           {"non-numeric before zeros", {0.0, 0.0, std::nullopt}, kNotNumeric},
                           {"empty", {}, kNoData}}) {
        SCOPED_TRACE(c.what);
        test::RecordingSink sink;
        auto values = ValidateData(c.data);
        if (c.secondLine.empty()) {
            ASSERT_TRUE(values.has_value());
            EXPECT_EQ(Numbers(c.data), *values);
            EXPECT_EQ(sink.Count(), 0u);
        } else {
            EXPECT_FALSE(values.has_value());
            EXPECT_EQ(sink.Texts(), std::vector<std::string>{kValidationFirstLine + c.secondLine});
        }
    }
}

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
