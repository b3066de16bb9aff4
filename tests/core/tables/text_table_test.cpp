#include "tamsel/tables/text_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "test_support.h"

namespace tamsel {
namespace {

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

std::string TextOf(const RowSet& rows) {
    std::ostringstream out;
    WriteTextTable(out, rows);
    return out.str();
}

TEST(FormatTableNumber, ShortestExactFormOrGivenDigits) {
    struct Case {
        double value;
        int digits;
        const char* expected;
    };
    const Case cases[] = {
        {3.0, 0, "3"},
        {0.1, 0, "0.1"},
        {-2.5, 0, "-2.5"},
        {1e307, 0, "1e+307"},
        {1e-30, 0, "1e-30"},
        {88682.0, 0, "88682"},
        {0.1, 17, "0.10000000000000001"},
        {1.0 / 3, 0, "0.3333333333333333"},
        {2.0, 17, "2"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatTableNumber(c.value, c.digits), c.expected);
    EXPECT_EQ(FormatTableNumber(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(FormatTableNumber(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(FormatTableNumber(std::nan("")), "nan");
}

TEST(WriteTextTable, SignsNullsTextAndLongValues) {
    RowSet rows;
    rows.rows = {
        // A negative number has its minus sign in place of the blank; -0 is written as 0.
        {std::int64_t{-4}, -0.5, -0.0, DbValue{}},
        // A value that runs past its zone pushes the next one to the zone after.
        {0.12345678901234566, std::string("x")},
        // Text that ends exactly on a zone boundary: the next value goes one zone further.
        {std::string("ABCDEFGHIJKLMN"), 1.0},
    };
    EXPECT_EQ(TextOf(rows), "-4 " + Blanks(11) + "-0.5 " + Blanks(9) + " 0 " + Blanks(11) +
                                "Null\r\n" + " 0.12345678901234566 " + Blanks(7) + "x\r\n" +
                                "ABCDEFGHIJKLMN" + Blanks(14) + " 1 \r\n");
    EXPECT_EQ(TextOf(RowSet{}), "");
}

TEST(SaveTextTable, ReplacesTheFileAndReportsFailure) {
    test::TempDir dir;
    const std::string path = dir.WriteFile("table.txt", "old content that is longer\r\n");
    RowSet rows;
    rows.rows = {{std::int64_t{7}, 1.5}};
    ASSERT_TRUE(SaveTextTable(path, rows));
    EXPECT_EQ(test::ReadBytes(path), " 7 " + Blanks(11) + " 1.5 \r\n");
    EXPECT_FALSE(SaveTextTable(dir.File("missing/table.txt"), rows));
}

TEST(WriteCsvTable, HeadingsQuotingAndSeventeenDigits) {
    RowSet rows;
    rows.headings = {"Name", "Value", "Note"};
    rows.rows = {{std::string("a,b"), 0.1, DbValue{}},
                 {std::string("say \"hi\""), std::int64_t{12}, std::string("two\nlines")}};
    std::ostringstream out;
    WriteCsvTable(out, rows);
    EXPECT_EQ(out.str(),
              "Name,Value,Note\n"
              "\"a,b\",0.10000000000000001,\n"
              "\"say \"\"hi\"\"\",12,\"two\nlines\"\n");
}

}  // namespace
}  // namespace tamsel
