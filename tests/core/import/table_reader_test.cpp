#include "tamsel/import/table_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "test_support.h"

namespace tamsel {
namespace {

const std::string kRead = "An error occurred while reading data from file.\r\n";
const std::string kValidation = "An error has occurred during data validation.\r\n";
const std::string kNotNumeric = "Data is not numeric. Please check data or select another file.";
const std::string kUnknownFormat =
    "Data in unknown format. Please check format or select another file.";

std::string Message(const TableResult& result) {
    if (!result.refusal) return "";
    const TableRefusal& refusal = *result.refusal;
    return DataFaultMessage(refusal.fault, refusal.whileReading, refusal.detail);
}

// The reader fed one byte at a time, so that every boundary falls inside a chunk.
TableResult ReadByteByByte(std::string_view text, const TableOptions& options) {
    return ReadTable(
        [&text](char* buffer, std::size_t size) -> std::size_t {
            if (text.empty() || size == 0) return 0;
            buffer[0] = text.front();
            text.remove_prefix(1);
            return 1;
        },
        options);
}

std::string Repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

TableOptions WithColumn(std::string column) {
    TableOptions options;
    options.column = std::move(column);
    return options;
}

std::string IndexTimeRows(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += std::to_string(i) + "," + std::to_string(i * 10 + 3) + "\n";
    return text;
}

// text as UTF-16 code units, little- or big-endian, after a byte order mark or without one.
std::string Utf16(std::u16string_view text, bool bigEndian, bool mark) {
    std::string bytes;
    for (const char16_t unit : mark ? u"\uFEFF" + std::u16string(text) : std::u16string(text)) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

using test::Doubles;
using test::Strings;

constexpr std::optional<std::size_t> kAnyColumn;

TEST(ReadTable, ReadsEachLayout) {
    struct Case {
        const char* what;
        std::string text;
        TableOptions options;
        std::vector<double> values;
        Delimiter delimiter;
        bool header;
        std::optional<std::size_t> column;
        std::vector<std::string> notes;
    };
    TableOptions decimalComma;
    decimalComma.decimalComma = true;
    decimalComma.column = "t";
    TableOptions decimalPoint = WithColumn("t");
    decimalPoint.decimalPoint = true;
    TableOptions noHeader;
    noHeader.header = HeaderChoice::Absent;
    const std::vector<std::string> indexNote{"took column 2, column 1 is an index"};
    const std::string header = "took line 1 as the header line (--no-header reads it as data)";
    const std::string utf16 = "read the file as UTF-16 text";
    const std::string rules = "left out 1 line drawing the table (such as ---- or (3 rows))";
    for (const Case& c : std::vector<Case>{
             {"one value a line", "3\n5\n2\n", TableOptions(), Doubles(3, 5, 2), Delimiter::Comma,
              false, 0, Strings()},
             {"one line of values", "3,5,2", TableOptions(), Doubles(3, 5, 2), Delimiter::Comma,
              false, kAnyColumn, Strings("read the one line as a list of values")},
             {"empty items in the one line", "3,,5,\n", TableOptions(), Doubles(3, 5),
              Delimiter::Comma, false, kAnyColumn,
              Strings("read the one line as a list of values")},
             {"CR LF and CR", "3\r\n5\r2\r\n", TableOptions(), Doubles(3, 5, 2), Delimiter::Comma,
              false, 0, Strings()},
             {"byte order mark is no header",
              "\xEF\xBB\xBF"
              "3\n5\n",
              TableOptions(), Doubles(3, 5), Delimiter::Comma, false, 0, Strings()},
             {"byte order mark before a header", "\xEF\xBB\xBFtime\r\n3\r\n5\r\n", TableOptions(),
              Doubles(3, 5), Delimiter::Comma, true, 0, Strings(header)},
             // As spreadsheets save "Unicode text": UTF-16 with its mark, tabs, CR LF.
             {"UTF-16 with its byte order mark",
              Utf16(u"n\tZeit (\u00B5s) \U0001F600\r\n1\t3\r\n2\t5\r\n", false, true),
              TableOptions(), Doubles(3, 5), Delimiter::Tab, true, 1,
              Strings(utf16, header,
                      "took column 2 ('Zeit (\u00B5s) \U0001F600'), column 1 ('n') is an index")},
             {"the delimiter named on line 1, as spreadsheets write it",
              "sep=;\r\nn;t\r\n1;3,5\r\n2;4,25\r\n", TableOptions(), Doubles(3.5, 4.25),
              Delimiter::Semicolon, true, 1,
              Strings("took the delimiter from line 1, semicolon (sep=)",
                      "read decimal commas (semicolon-separated numbers with commas)",
                      "took line 2 as the header line (--no-header reads it as data)",
                      "took column 2 ('t'), column 1 ('n') is an index")},
             {"comment lines",
              "# Field trial, build 7; times in hours\r\n3\r\n  # a remark\r\n5\r\n",
              TableOptions(), Doubles(3, 5), Delimiter::Comma, false, 0,
              Strings("left out 2 comment lines (starting with #)")},
             {"a comment before the header", "#from the trial\ntime\n3\n5\n", TableOptions(),
              Doubles(3, 5), Delimiter::Comma, true, 0,
              Strings("left out 1 comment line (starting with #)",
                      "took line 2 as the header line (--no-header reads it as data)")},
             {"big-endian UTF-16 without a mark", Utf16(u"3\n5\n", true, false), TableOptions(),
              Doubles(3, 5), Delimiter::Comma, false, 0, Strings(utf16)},
             {"blank lines and blanks", "\n 3 \n\n\t5\n  \n", TableOptions(), Doubles(3, 5),
              Delimiter::Comma, false, 0, Strings()},
             {"no-break spaces around numbers",
              "time\n3.5\xC2\xA0\n\xE2\x80\xAF"
              "4\n",
              TableOptions(), Doubles(3.5, 4), Delimiter::Comma, true, 0, Strings(header)},
             // A bug tracker's comment whose second line starts with an issue number.
             {"'#' inside a quoted field", "id,t,c\n1,3.5,\"see\n#12\"\n2,4.5,ok\n", TableOptions(),
              Doubles(3.5, 4.5), Delimiter::Comma, true, 1,
              Strings(header, "took column 2 ('t'), column 1 ('id') is an index")},
             {"numbers as written by hand", "1e3\n2.5E-1\n.5\n+7\n-0\n007\n", TableOptions(),
              Doubles(1000, 0.25, 0.5, 7, 0, 7), Delimiter::Comma, false, 0, Strings()},
             {"index and time without header", IndexTimeRows(3), TableOptions(),
              Doubles(13, 23, 33), Delimiter::Comma, false, 1, indexNote},
             {"index and time with header", "index,time\n" + IndexTimeRows(2), TableOptions(),
              Doubles(13, 23), Delimiter::Comma, true, 1,
              Strings(header, "took column 2 ('time'), column 1 ('index') is an index")},
             {"trailing delimiters", "1,4.5,\n2,6,\n", TableOptions(), Doubles(4.5, 6),
              Delimiter::Comma, false, 1, indexNote},
             {"tab with a text column", "id\tseverity\thours\n1\tmajor\t4\n2\tminor\t1.5\n",
              TableOptions(), Doubles(4, 1.5), Delimiter::Tab, true, 2,
              Strings(header, "took column 3 ('hours'), column 1 ('id') is an index")},
             {"tab fields keep their blanks out", "1\t 4 \n2\t5\n", TableOptions(), Doubles(4, 5),
              Delimiter::Tab, false, 1, indexNote},
             {"semicolon with decimal commas", "n;t\n1;1,5\n2;2,25\n", TableOptions(),
              Doubles(1.5, 2.25), Delimiter::Semicolon, true, 1,
              Strings("read decimal commas (semicolon-separated numbers with commas)", header,
                      "took column 2 ('t'), column 1 ('n') is an index")},
             {"decimal comma asked for", "x\tt\n7\t0,5\n9\t1,25\n", decimalComma,
              Doubles(0.5, 1.25), Delimiter::Tab, true, kAnyColumn, Strings(header)},
             {"runs of blanks", "  1   3.5\n  2 \t 7\n", TableOptions(), Doubles(3.5, 7),
              Delimiter::Blanks, false, 1, indexNote},
             {"quoted fields",
              "\"time\",\"note\"\n\"3.5\",\"a, b\"\n\"4\",\"say \"\"hi\"\"\nagain\"\n5,x\n",
              TableOptions(), Doubles(3.5, 4, 5), Delimiter::Comma, true, 0,
              Strings(header, "took column 1 ('time'), the only numeric column")},
             {"a title above the table", "Failure report\nID,Time\n1,3.5\n2,4.5\n", TableOptions(),
              Doubles(3.5, 4.5), Delimiter::Comma, true, 1,
              Strings("left out the title above the table (line 1)",
                      "took line 2 as the header line (--no-header reads it as data)",
                      "took column 2 ('Time'), column 1 ('ID') is an index")},
             {"titles with numbers above a blank-separated table",
              "Test campaign 7\nExported by runner 4.2\n\nrun hours\n1 3.5\n2 4.25\n",
              TableOptions(), Doubles(3.5, 4.25), Delimiter::Blanks, true, 1,
              Strings("left out the title above the table (lines 1 to 2)",
                      "took line 4 as the header line (--no-header reads it as data)",
                      "took column 2 ('hours'), column 1 ('run') is an index")},
             {"a ragged blank-separated line short of its last field", "10 3.5 a\n2 4\n3 5 b\n",
              WithColumn("2"), Doubles(3.5, 4, 5), Delimiter::Blanks, false, 1, Strings()},
             {"a pipe in the title", "Test campaign | build 7\n\nrun hours\n1 3.5\n2 4.25\n3 1\n",
              TableOptions(), Doubles(3.5, 4.25, 1), Delimiter::Blanks, true, 1,
              Strings("left out the title above the table (line 1)",
                      "took line 3 as the header line (--no-header reads it as data)",
                      "took column 2 ('hours'), column 1 ('run') is an index")},
             {"R's header, one name short for the row names", "\"x\"\n\"1\" 3.2\n\"2\" 4.5\n",
              TableOptions(), Doubles(3.2, 4.5), Delimiter::Blanks, true, 1,
              Strings("line 1 names the columns after the first, which holds row names", header,
                      "took column 2 ('x'), column 1 is an index")},
             {"a unit after each time", "12.5 s\n3 s\n", TableOptions(), Doubles(12.5, 3),
              Delimiter::Blanks, false, 0,
              Strings("took column 1, the only numeric column",
                      "read the times in 's', the unit column 2 gives")},
             // Once called a title: the header and rule of the Markdown table.
             {"a Markdown table",
              "| Failure | Time (h) |\n|--------:|---------:|\n| 1 | 3.5 |\n| 2 | 7 |\n",
              TableOptions(), Doubles(3.5, 7), Delimiter::Pipe, true, 1,
              Strings(rules, header,
                      "took column 2 ('Time (h)'), column 1 ('Failure') is an index")},
             {"psql's table and its count",
              " n | hours\n---+------\n 1 |   3.5\n 2 |     7\n(2 rows)\n\n", TableOptions(),
              Doubles(3.5, 7), Delimiter::Pipe, true, 1,
              Strings("left out 2 lines drawing the table (such as ---- or (3 rows))", header,
                      "took column 2 ('hours'), column 1 ('n') is an index")},
             {"a report's rule under its header",
              "No.  Hours\n---  -----\n  1   3.50\n  2   7.00\n", TableOptions(), Doubles(3.5, 7),
              Delimiter::Blanks, true, 1,
              Strings(rules, header, "took column 2 ('Hours'), column 1 ('No.') is an index")},
             // Once the quote hid the comments below it.
             {"a stray quote in a blank-separated line", "1 3.5 disk 5\"\n# note\n2 7 - -\n",
              WithColumn("2"), Doubles(3.5, 7), Delimiter::Blanks, false, 1,
              Strings("left out 1 comment line (starting with #)")},
             {"a decimal point tells what 1.234 is", "n;t\n1;1.234\n2;2.5\n", TableOptions(),
              Doubles(1.234, 2.5), Delimiter::Semicolon, true, 1,
              Strings(header, "took column 2 ('t'), column 1 ('n') is an index",
                      "read '1.234' on line 2 with a decimal point, as '2.5' on line 3 shows")},
             {"decimal points asked for", "t;n\n1.234;1,5\n12.500;x\n", decimalPoint,
              Doubles(1.234, 12.5), Delimiter::Semicolon, true, 0, Strings(header)},
             // Once told as blank-separated: the tabs counted line by line, not record by record.
             {"tabs around a quoted line end",
              "id\tnote\thours\n1\t\"line one\nline two\"\t3.5\n2\tok\t4\n", TableOptions(),
              Doubles(3.5, 4), Delimiter::Tab, true, 2,
              Strings(header, "took column 3 ('hours'), column 1 ('id') is an index")},
             // Once left out as a title.
             {"a report's names with blanks in them", "Date Opened   Hours\n1   3.5\n2   4\n",
              TableOptions(), Doubles(3.5, 4), Delimiter::Blanks, true, 1,
              Strings(header, "took column 2 ('Hours'), column 1 ('Date Opened') is an index")},
             {"a DOS end-of-file mark", "3\r\n4\r\n\x1A", TableOptions(), Doubles(3, 4),
              Delimiter::Comma, false, 0, Strings()},
             {"column by name", "a,b\n1,2\n3,4\n", WithColumn("b"), Doubles(2, 4), Delimiter::Comma,
              true, 1, Strings(header)},
             {"column by name in any case", "a,b\n1,2\n3,4\n", WithColumn("B"), Doubles(2, 4),
              Delimiter::Comma, true, 1, Strings(header)},
             {"column by number", "1,2\n3,4\n", WithColumn("1"), Doubles(1, 3), Delimiter::Comma,
              false, 0, Strings()},
             {"header forced away keeps the first line", "5\n6\n", noHeader, Doubles(5, 6),
              Delimiter::Comma, false, 0, Strings()},
         }) {
        SCOPED_TRACE(c.what);
        for (const TableResult& result :
             {ReadTableText(c.text, c.options), ReadByteByByte(c.text, c.options)}) {
            ASSERT_FALSE(result.refusal) << Message(result);
            EXPECT_EQ(result.values, c.values);
            EXPECT_EQ(result.summary.delimiter, c.delimiter);
            EXPECT_EQ(result.summary.header, c.header);
            if (c.column) {
                EXPECT_EQ(result.summary.chosenColumn, c.column);
            }
            EXPECT_EQ(result.summary.notes, c.notes);
            EXPECT_FALSE(std::signbit(result.values.back()));
        }
    }
}

// The delimiter is chosen from the first 64 lines that are neither blank nor rules; a file
// read in pieces waits for as many such lines as one read at once has.
TEST(ReadTable, RuleLinesDoNotShortenTheLinesThatChooseTheDelimiter) {
    const std::string text = Repeat("-----\n", 3) + Repeat("5 6\n", 61) + Repeat("7;8\n", 3);
    const TableResult whole = ReadTableText(text, TableOptions());
    const TableResult pieces = ReadByteByByte(text, TableOptions());
    EXPECT_EQ(whole.summary.delimiter, Delimiter::Semicolon);
    EXPECT_EQ(pieces.summary.delimiter, whole.summary.delimiter);
    EXPECT_EQ(Message(pieces), Message(whole));
    EXPECT_EQ(pieces.values, whole.values);
}

// The two-column file that used to be stored as twice as many failures.
TEST(ReadTable, IndexAndTimeAreNeverInterleaved) {
    std::string text = IndexTimeRows(80);
    TableResult result = ReadTableText(text);
    ASSERT_FALSE(result.refusal) << Message(result);
    ASSERT_EQ(result.values.size(), 80u);
    for (std::size_t i = 0; i < 80; ++i) EXPECT_EQ(result.values[i], (i + 1) * 10.0 + 3);
    EXPECT_EQ(result.summary.firstRows.size(), kPreviewRows);
    EXPECT_EQ(result.summary.firstRows[1], (std::vector<std::string>{"2", "23"}));
    // Without an index the columns are not guessed at.
    TableResult two = ReadTableText("5,13\n2,23\n7,33\n");
    EXPECT_TRUE(two.values.empty());
    EXPECT_EQ(Message(two),
              kRead + kUnknownFormat +
                  "\r\nLine 1: 2 columns could hold the failure times: 1 (numbers), 2 (numbers). "
                  "Choose the column of failure times with --column NAME or --column NUMBER.");
    // The refusal still shows the rows and the columns to choose from.
    EXPECT_EQ(two.summary.firstRows,
              (std::vector<std::vector<std::string>>{{"5", "13"}, {"2", "23"}, {"7", "33"}}));
    EXPECT_EQ(two.summary.columns.size(), 2u);
    EXPECT_FALSE(two.summary.chosenColumn);
}

TEST(ReadTable, RefusalsSayWhatWhereAndHow) {
    struct Case {
        const char* what;
        std::string text;
        TableOptions options;
        std::string message;
    };
    TableOptions noHeaderSecond = WithColumn("2");
    noHeaderSecond.header = HeaderChoice::Absent;
    TableOptions header;
    header.header = HeaderChoice::Present;
    TableOptions three;
    three.maxItems = 3;
    TableOptions blanks;
    blanks.delimiter = Delimiter::Blanks;
    const std::string choose =
        " Choose the column of failure times with --column NAME or --column NUMBER.";
    for (
        const Case& c : std::vector<Case>{
            {"empty file", "", TableOptions(), kRead + "File contains no data."},
            {"only blanks", " \n\r\n\t\n", TableOptions(), kRead + "File contains no data."},
            {"only a header", "time,x\n", header,
             kRead + "File contains no data.\r\nLine 1 is a header line and no line of data "
                     "follows it."},
            {"only a header, told", "id,time\r\n", TableOptions(),
             kRead + "File contains no data.\r\nLine 1 is a header line and no line of data "
                     "follows it."},
            {"several numeric columns", "a,b,c\n1,2,3\n4,5,6\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 1: 3 columns could hold the failure times: 1 'a' (numbers), 2 'b' "
                 "(numbers), 3 'c' (numbers)." +
                 choose},
            {"no such column", "a,b\n1,2\n", WithColumn("c"),
             kRead + kUnknownFormat +
                 "\r\nLine 1: there is no column 'c'. The columns are 1 'a' (numbers), 2 'b' "
                 "(numbers)." +
                 choose},
            // Once the first of them, silently.
            {"two columns of the name asked for", "time,time\n3.5,100\n4,200\n", WithColumn("time"),
             kRead + kUnknownFormat +
                 "\r\nLine 1: columns 1 and 2 are both named 'time'. Choose one with --column "
                 "NUMBER."},
            // Once read as row names 1, 2, 3 beside times of 5, 25 and 75.
            {"decimal commas split by the delimiter", "hours\n1,5\n2,25\n3,75\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 1 names one column, and the comma splits line 2 in two: '1,5' may be "
                 "one number written with a decimal comma or a thousands separator. Write the "
                 "numbers with a decimal point and without separators; if the first field numbers "
                 "the lines, read the other with --column 2."},
            {"thousands split by blanks", "temps\n1 234\n2 345\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 1 names one column, and a blank splits line 2 in two: '1 234' may be "
                 "one number written with a blank between its thousands. Write the numbers with a "
                 "decimal point and without separators; if the first field numbers the lines, read "
                 "the other with --column 2."},
            // Once read as the retest time, the empty severity's place taken by the cells after.
            {"an empty cell in a report",
             "ID  Sev   Hours  Retest\n1   high  3.5    2.0\n2         4.0    1.0\n"
             "3   low   7.25   0.5\n",
             WithColumn("Hours"),
             kValidation + kUnknownFormat +
                 "\r\nLine 3, column 3: '1.0' stands under column 4 ('Retest'), not column 3 "
                 "('Hours'): a cell before it is empty, and blanks cannot tell which. Fill every "
                 "cell (NA where a value is missing), or save the file with tabs or commas."},
            {"no numeric column", "a,b\nx,y\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: no column holds numbers or date-times. The columns are 1 (text), 2 "
                 "(text) as read with the delimiter comma; choose another with --delimiter, or a "
                 "column with --column."},
            {"header read as data", "index,time_between_failures_hours\n1,3\n2,5\n", noHeaderSecond,
             kValidation + kNotNumeric +
                 "\r\nLine 1, column 2: 'time_between_failures_hours' is not a number. The file "
                 "seems to have a header line: the import skips it with --header, or reads a named "
                 "column with --column time_between_failures_hours."},
            {"a word before a control byte", Repeat("4\n", 100) + "x\n\a\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 101: 'x' is not a number. Correct it, or remove the line."},
            {"numbers with their unit", "3.5h\n4h\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: '3.5h' is a number with its unit. Write the numbers alone, all in "
                 "one unit, and name the unit in the dataset's source."},
            {"a word after comments", "# a\r\n\t# b\r\n3\r\nx\r\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 4: 'x' is not a number. Correct it, or remove the line."},
            {"a word after the first lines", Repeat("4\n", 100) + "x\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 101: 'x' is not a number. Correct it, or remove the line."},
            {"a word among numbers", "3\nfive\n2\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: 'five' is not a number. Correct it, or remove the line."},
            {"thousands separator", "time\n\"1,234.5\"\n7\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: '1,234.5' holds a thousands separator. Write the number without it."},
            {"thousands separator in a list", "1'000\n7\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: '1'000' holds a thousands separator. Write the number without it."},
            {"decimal comma unasked", "\"1,5\"\n2\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: '1,5' holds a decimal comma. Write a decimal point, or read decimal "
                 "commas with --decimal-comma."},
            {"points with decimal commas", "n;t\n1;1.234,5\n2;3\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2, column 2: '1.234,5' holds a thousands separator. Write the number "
                 "without it."},
            {"a stray word keeps its column", "id,time\n1,3.5\n2,NA\n3,5\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 3, column 2: 'NA' is not a number. Correct it, or remove the line."},
            {"a spreadsheet's error value is no comment", "3.5\n#N/A\n5\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: '#N/A' is not a number. Correct it, or remove the line."},
            {"an index is no failure times", "id,time\n1,x\n2,NA\n3,-\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: column 1 ('id') counts the lines 1, 2, 3, ... and no other column "
                 "holds numbers or date-times throughout. The columns are 1 'id' (numbers), 2 "
                 "'time' (text)." +
                 choose},
            {"a row of totals", "ID,Time\n1,3.5\n2,4.5\nTotal,8\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 4, column 1: 'Total' marks a row of totals, not a failure. Remove the "
                 "line."},
            {"a sum without a label below the counted times", IndexTimeRows(70) + ",2800\n",
             TableOptions(),
             kValidation + kUnknownFormat +
                 "\r\nLine 71, column 1: '' where the index column 1 counts 71. Number the "
                 "failures 1, 2, 3, ... without a gap, and remove any line below them."},
            {"a sum after a blank line below a short count", "n,t\n1,10\n2,20\n3,30\n\n,60\n",
             TableOptions(),
             kValidation + kUnknownFormat +
                 "\r\nLine 6, column 1: '' where the index column 1 ('n') counts 4. Number the "
                 "failures 1, 2, 3, ... without a gap, and remove any line below them."},
            {"the same sum with the times named", "n,t\n1,10\n2,20\n3,30\n\n,60\n", WithColumn("t"),
             kValidation + kUnknownFormat +
                 "\r\nLine 6, column 1: '' where the index column 1 ('n') counts 4. Number the "
                 "failures 1, 2, 3, ... without a gap, and remove any line below them."},
            {"a decimal point among decimal commas", "n;t\n1;1,5\n2;2.5\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 3, column 2: '2.5' holds a decimal point where the file's numbers "
                 "have decimal commas. Write it as 2,5."},
            {"a thousands point among decimal commas", "n;t\n1;1,5\n2;1.234\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 3, column 2: '1.234' holds a thousands separator. Write the number "
                 "without it."},
            {"no-break space as thousands separator",
             "n;t\n1;1\xE2\x80\xAF"
             "234,5\n2;3\n",
             TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2, column 2: '1\xE2\x80\xAF"
                 "234,5' holds a thousands separator. Write "
                 "the number without it."},
            {"1.234 that nothing tells", "n;t\n1;1.234\n2;12.500\n3;7\n", TableOptions(),
             kValidation + kUnknownFormat +
                 "\r\nLine 2, column 2: '1.234' may be 1234 with a point grouping its thousands, "
                 "as spreadsheets write numbers in semicolon-separated files, or 1.234 with a "
                 "decimal point, and no number of the file shows which. Write the numbers without "
                 "thousands separators, or read the points as decimal points with "
                 "--decimal-point."},
            // Once stored as cumulative times of 45,000 and more.
            {"a spreadsheet's date serial numbers", "Key;Opened\nA;45231,5\nB;45232,25\n",
             TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 2 ('Opened') holds date-times as days since 1899-12-30, a "
                 "spreadsheet's date serial numbers (45231.5 is 2023-11-01 12:00:00 in a workbook "
                 "of the 1900 date system, 1462 days later in one of the 1904 system), not times "
                 "since the start of testing. The file does not say which date system wrote them: "
                 "format the column as yyyy-mm-dd hh:mm:ss in the spreadsheet, save the file "
                 "again, then read them as times since the start of testing with --timestamps "
                 "--origin TIMESTAMP [--unit hours] [--timezone UTC]."},
            {"Unix time under its header", "id,created_at\n101,1709284500\n102,1709288100\n",
             WithColumn("created_at"),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 2 ('created_at') holds date-times as seconds since "
                 "1970-01-01 UTC (1709284500 is 2024-03-01 09:15:00 UTC). Read them as times since "
                 "the start of testing with --timestamps --origin TIMESTAMP [--unit hours] "
                 "[--timezone UTC]."},
            {"dates as digits without a header", "20240301091500\n20240301101500\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: the times run from 20240301091500 to 20240301101500, hardly moving "
                 "from where they start: they are date-times as digits YYYYMMDD[hhmmss] "
                 "(20240301091500 is 2024-03-01 09:15:00), not times since the start of testing. "
                 "Read them as times since the start of testing with --timestamps --origin "
                 "TIMESTAMP [--unit hours] [--timezone UTC]."},
            {"Unix time without a header", "1709284500123\n1709288100000\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: the times run from 1709284500123 to 1709288100000, hardly moving "
                 "from where they start: they are date-times as milliseconds since 1970-01-01 UTC "
                 "(1709284500123 is 2024-03-01 09:15:00.123 UTC), not times since the start of "
                 "testing. Read them as times since the start of testing with --timestamps "
                 "--origin TIMESTAMP [--unit hours] [--timezone UTC]."},
            {"units that change", "12.5 s\n3 min\n", TableOptions(),
             kValidation + kUnknownFormat +
                 "\r\nLine 2, column 2: the unit 'min' differs from 's' above. Write every time "
                 "in one unit."},
            {"a number kept as text", "time\n'3.5\n'4\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: ''3.5' starts with an apostrophe, as a spreadsheet marks a number "
                 "kept as text. Write the number alone."},
            {"durations", "00:12:30\n01:00:00\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 1: '00:12:30' is a duration written with colons. Write each time as "
                 "one number, all in one unit (in a spreadsheet, =A2*24 turns a duration into "
                 "hours)."},
            {"durations in units beside a count", "n,between\n1,PT1H20M\n2,PT45M\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2, column 2: 'PT1H20M' is a duration written in units. Write each time "
                 "as one number, all in one unit, and name the unit in the dataset's source."},
            {"a week-day's name and the month's",
             "n,date\n1,\"Fri, 01 Mar 2024 09:15:00 +0100\"\n2,\"Sat, 02 Mar 2024 10:00:00 "
             "+0100\"\n",
             TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 2 ('date') holds dates written as 'Fri, 01 Mar 2024 09:15:00 "
                 "+0100', which are not read: write them as YYYY-MM-DD HH:MM[:SS] (a spreadsheet's "
                 "cell format yyyy-mm-dd hh:mm:ss does it), then read them as times since the "
                 "start "
                 "of testing with --timestamps --origin TIMESTAMP [--unit hours] [--timezone "
                 "UTC]."},
            {"JSON", "\n[{\"t\": 3.5},\n {\"t\": 4}]\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 2: the file is JSON (it starts with '['), not a table of failure times. "
                 "Export the failure times as CSV, or as text with one a line."},
            {"a number with a decimal comma and its unit", "n;t\n1;1,5 h\n2;2 h\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2, column 2: '1,5 h' is a number with its unit. Write the numbers "
                 "alone, "
                 "all in one unit, and name the unit in the dataset's source."},
            {"text after a DOS end-of-file mark",
             "3\n\x1A"
             "4\n",
             TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 2 holds the control byte 0x1A, so this is no text file. Choose the text "
                 "file of failure times."},
            {"negative", "3\n-1\n2\n", TableOptions(),
             kValidation + "File contains negative data.\r\nLine 2: '-1' is below 0. Failure times "
                           "are never negative: correct it."},
            {"empty cell", "i,t\n1,3\n2,\n3,4\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 3, column 2 is empty. Every line needs its failure time there: fill it "
                 "in or remove the line."},
            {"longer line", "i,t\n1,3\n2,4,5\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 3 has 3 fields where the table has 2 (read with the delimiter comma). "
                 "Give every line the same fields, or choose the delimiter with --delimiter."},
            {"lines and commas mixed", "3,5\n2,7\r\n1", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 1: 2 columns could hold the failure times: 1 (numbers), 2 (numbers)." +
                 choose},
            {"unclosed quote", "3\n\"5\n2\n", TableOptions(),
             kRead + "Invalid number of data. Please check data or select another file.\r\nLine 2: "
                     "a double quote opens a field that never closes. Close it or remove it."},
            {"quote inside a field", "3\n5\"x\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 2: a double quote stands inside a field. Quote whole fields only, "
                 "doubling any quote inside them."},
            {"control byte", "3\n5\x1B[0m\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 2 holds the control byte 0x1B, so this is no text file. Choose the text "
                 "file of failure times."},
            {"a lone surrogate in UTF-16", Utf16(u"3\n5\n\xD800\n", false, true), TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 3 holds a broken character of UTF-16 text, the encoding the file "
                 "starts in. Save the file again as UTF-8 or UTF-16 text."},
            {"UTF-16 cut off inside a character", Utf16(u"3\n5\n", true, true) + "3",
             TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 3 holds a broken character of UTF-16 text, the encoding the file "
                 "starts in. Save the file again as UTF-8 or UTF-16 text."},
            {"UTF-16 shorter than a character",
             "\xFF\xFE"
             "3",
             TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 1 holds a broken character of UTF-16 text, the encoding the file "
                 "starts in. Save the file again as UTF-8 or UTF-16 text."},
            {"NUL byte", std::string("3\r\n5\r\n\0", 7), TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 3 holds the control byte 0x00, so this is no text file. Choose the text "
                 "file of failure times."},
            {"too many values", "1\n2\n3\n4\n", three,
             kRead + "Too many data. Please reduce the number of interfailure times in the data "
                     "file.\r\nLine 4: more than 3 values. Split the data into several datasets."},
            {"date-times without an origin", "when\n2024-03-01 10:00\n2024-03-02 11:00\n",
             TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 1 ('when') holds date-times. Read them as times since the "
                 "start of testing with --timestamps --origin TIMESTAMP [--unit hours] [--timezone "
                 "UTC]."},
            // Once read as text, so that the severity beside them was taken for the times.
            {"dates in another form beside a number",
             "when,sev\n01/03/2024 10:00,3\n1/3/2024 11:30 AM,1\n", TableOptions(),
             kRead + kUnknownFormat +
                 "\r\nLine 1: 2 columns could hold the failure times: 1 'when' (date-times), 2 "
                 "'sev' (numbers)." +
                 choose},
            {"dates in another form chosen", "when;n\n01.03.2024 10:00;4\n02.03.2024 11:00;5\n",
             WithColumn("when"),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 1 ('when') holds dates written as '01.03.2024 10:00', which "
                 "are not read: write them as YYYY-MM-DD HH:MM[:SS] (a spreadsheet's cell format "
                 "yyyy-mm-dd hh:mm:ss does it), then read them as times since the start of "
                 "testing with --timestamps --origin TIMESTAMP [--unit hours] [--timezone UTC]."},
            {"dates with the month's name",
             "key,created\nA-1,01/Mar/24 9:15 AM\nA-2,2/Mar/24 10:00 AM\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 2 ('created') holds dates written as '01/Mar/24 9:15 AM', "
                 "which are not read: write them as YYYY-MM-DD HH:MM[:SS] (a spreadsheet's cell "
                 "format yyyy-mm-dd hh:mm:ss does it), then read them as times since the start of "
                 "testing with --timestamps --origin TIMESTAMP [--unit hours] [--timezone UTC]."},
            {"dates without a time", "date\n2024-03-01\n2024/03/02\n", TableOptions(),
             kValidation + kNotNumeric +
                 "\r\nLine 2: column 1 ('date') holds dates written as '2024-03-01', which are "
                 "not read: write them as YYYY-MM-DD HH:MM[:SS] (a spreadsheet's cell format "
                 "yyyy-mm-dd hh:mm:ss does it), then read them as times since the start of "
                 "testing with --timestamps --origin TIMESTAMP [--unit hours] [--timezone UTC]."},
            {"blanks keep a date-time whole", "2024-03-01 10:00\n2024-03-02 11:00\n", blanks,
             kValidation + kNotNumeric +
                 "\r\nLine 1: column 1 holds date-times. Read them as times since the start of "
                 "testing with --timestamps --origin TIMESTAMP [--unit hours] [--timezone "
                 "UTC]."}}) {
        SCOPED_TRACE(c.what);
        for (const TableResult& result :
             {ReadTableText(c.text, c.options), ReadByteByByte(c.text, c.options)}) {
            EXPECT_EQ(Message(result), c.message);
            EXPECT_TRUE(result.values.empty());
        }
    }
}

// Every shipped dataset reads to the values it always had, one a line.
TEST(ReadTableFile, ShippedDatasetsKeepTheirValues) {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(test::DataFile("sys1.txt")).parent_path())) {
        if (entry.path().extension() != ".txt") continue;
        ++files;
        TableResult result = ReadTableFile(entry.path().string());
        ASSERT_FALSE(result.refusal) << entry.path() << Message(result);
        EXPECT_EQ(result.values, test::ReadDataValues(entry.path().filename().string()))
            << entry.path();
        EXPECT_TRUE(result.summary.notes.empty()) << entry.path();
    }
    EXPECT_GE(files, 15u);
}

}  // namespace
}  // namespace tamsel
