#include "tamsel/import/table_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <sstream>
#include <system_error>

#include "cell_forms.h"
#include "date_times.h"
#include "field_splitter.h"

namespace tamsel {
namespace {

// Rows looked at before the header, the column types and the column are decided.
constexpr std::size_t kSampleRows = 64;
constexpr std::size_t kChunkBytes = 1 << 16;

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

constexpr std::string_view kReadAsTimes =
    " them as times since the start of testing with --timestamps --origin TIMESTAMP [--unit "
    "hours] [--timezone UTC].";

ColumnType Combine(ColumnType a, ColumnType b) {
    if (a == ColumnType::Empty) return b;
    if (b == ColumnType::Empty || a == b) return a;
    return ColumnType::Text;
}

// The type of a column's cells below its first line: numbers (or date-times) when at least
// half its filled cells are, so that a stray "NA" or "#DIV/0!" is refused where it stands
// rather than hiding the column of failure times; text otherwise.
class TypeTally {
  public:
    void Add(ColumnType type) {
        if (type == ColumnType::Empty) return;
        ++m_filled;
        if (type == ColumnType::Number) ++m_numbers;
        if (type == ColumnType::DateTime) ++m_dateTimes;
    }
    ColumnType Type() const {
        if (m_filled == 0) return ColumnType::Empty;
        if (2 * m_numbers >= m_filled) return ColumnType::Number;
        if (2 * m_dateTimes >= m_filled) return ColumnType::DateTime;
        return ColumnType::Text;
    }

  private:
    std::size_t m_filled = 0;
    std::size_t m_numbers = 0;
    std::size_t m_dateTimes = 0;
};

// The count of fields without empty ones at the end, which trailing delimiters leave.
std::size_t TrimmedCount(std::span<const std::string> fields) {
    std::size_t count = fields.size();
    while (count > 0 && fields[count - 1].empty()) --count;
    return count;
}

struct SampleRow {
    std::size_t line;
    std::vector<std::string> fields;
    std::string text;  // a blank-separated line as written
};

// The names of a report's header, set apart by two blanks or more ("Date Opened   Hours").
std::vector<std::string> SplitAtWideBlanks(std::string_view text) {
    std::vector<std::string> names;
    while (true) {
        const std::size_t start = text.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        text.remove_prefix(start);
        std::size_t end = 0;
        while (end < text.size() && !(text[end] == '\t' || text.substr(end, 2) == "  ")) ++end;
        names.emplace_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return names;
}

class TableReader {
  public:
    explicit TableReader(const TableOptions& options) : m_options(options) {}

    // The result; a refusal comes without values.
    TableResult Read(const ByteSource& source) {
        ReadAll(source);
        if (m_result.refusal || m_result.cancelled) m_result.values = {};
        return std::move(m_result);
    }

  private:
    void ReadAll(const ByteSource& source);
    bool OnRow(std::size_t line, std::span<const std::string> fields);
    bool Decide();
    bool HoldsNumber(const SampleRow& row) const;
    // Whether the two fields of row may be one number cut by the delimiter: digits on both
    // sides of a comma, or three digits after a blank ("1 234").
    bool MaySplitNumber(const SampleRow& row) const;
    // Whether column counts the rows of data 1, 2, 3, ..., or at least three of them with the
    // rows below the count leaving it empty.
    bool CountsRows(std::size_t column) const;
    // Drops the title lines above the table from the sample, with a note.
    void LeaveOutTitleLines();
    // Gives a header line one name short of the rows an empty name over the first column.
    void NameRowNamesColumn();
    bool DecideColumn(std::size_t firstLine);
    // Marks the columns of numbers that write moments as date-times: Unix time or a date's
    // digits under a header that names moments, or whenever date-times are asked for; date
    // serial numbers under such a header only.
    void ClassifyMoments(std::size_t firstData);
    // False, refused, when the column of failure times holds moments that cannot be read.
    bool RefuseMoments();
    // False, refused, when a comma delimiter split the date-times of the column of failure
    // times before the fractions of their seconds ("09:15:30,123", as logging libraries write).
    bool RefuseSplitFractions();
    // Notes the numbers that tell a decimal point from a thousands separator.
    void WatchPoints(std::size_t line, std::size_t column, std::string_view cell);
    void KeepPreviewRow(std::span<const std::string> fields);
    // text: the line as written, for blank-separated rows.
    bool ReadRow(std::size_t line, std::span<const std::string> fields, std::string_view text);
    // False, refused, when a cell left empty in a blank-separated row shifted the cell read
    // under another column's name.
    bool RefuseShiftedCell(std::size_t line, std::string_view cell, std::string_view text);
    bool ReadCell(std::size_t line, std::size_t column, std::string_view cell);
    bool Finish();
    std::string DescribeColumns(bool candidatesOnly) const;
    bool Refuse(DataFault fault, bool whileReading, std::string detail);
    // Refuses date-times that read once an origin is given; detail ends with how to read them.
    bool RefuseWithoutOrigin(std::string detail);
    // False, refused, when a field of the row labels it a row of totals.
    bool RefuseTotalsRow(std::size_t line, std::span<const std::string> fields);
    std::string Where(std::size_t line, std::size_t column) const;
    std::string ColumnLabel(std::size_t column) const;
    // The cell of column on the first or second line of data in the sample; empty when it
    // has none.
    std::string FirstDataCell(std::size_t column) const { return DataCell(0, column); }
    std::string SecondDataCell(std::size_t column) const { return DataCell(1, column); }
    std::string DataCell(std::size_t dataRow, std::size_t column) const;

    const TableOptions& m_options;
    TableResult m_result;
    TableSummary& m_summary = m_result.summary;
    std::vector<SampleRow> m_sample;
    bool m_decided = false;
    bool m_listMode = false;
    std::size_t m_width = 0;
    std::size_t m_firstDataLine = 0;
    std::optional<TimeBase> m_timeBase;
    std::optional<std::size_t> m_indexColumn;  // the count 1, 2, 3, ... beside the times
    std::optional<std::size_t> m_unitColumn;   // the units beside the failure times, if any
    std::string m_unit;                        // the unit every line must give there
    bool m_sortNeeded = false;
    bool m_rowNames = false;                    // the header names the columns after the first
    const FieldSplitter* m_splitter = nullptr;  // while the text is read
    // Where each column's cells stand in the first full blank-separated row of data.
    std::vector<std::pair<std::size_t, std::size_t>> m_columnSpans;
    std::vector<NumberMoments> m_columnMoments;     // of each column of numbers that holds moments
    NumberMoments m_moments = NumberMoments::None;  // of the column of failure times
    // In a semicolon-separated file without decimal commas: the first number that may be
    // thousands grouped with a point ("1.234"), and the first that shows a decimal point.
    struct Sighting {
        std::size_t line = 0;
        std::size_t column = 0;
        std::string cell;
    };
    std::optional<Sighting> m_groupedOrDecimal;
    std::optional<Sighting> m_decimalPoint;
};

bool TableReader::RefuseTotalsRow(std::size_t line, std::span<const std::string> fields) {
    for (std::size_t c = 0; c < fields.size(); ++c) {
        if (IsTotalsLabel(fields[c])) {
            return Refuse(DataFault::NotNumeric, false,
                          Where(line, c) + ": " + Quoted(fields[c]) +
                              " marks a row of totals, not a failure. Remove the line.");
        }
    }
    return true;
}

bool TableReader::Refuse(DataFault fault, bool whileReading, std::string detail) {
    if (!m_result.refusal) m_result.refusal = TableRefusal{fault, whileReading, std::move(detail)};
    return false;
}

bool TableReader::RefuseWithoutOrigin(std::string detail) {
    Refuse(DataFault::NotNumeric, false, std::move(detail) + std::string(kReadAsTimes));
    m_result.refusal->wantsOrigin = true;
    return false;
}

std::string TableReader::ColumnLabel(std::size_t column) const {
    std::string label = "column " + std::to_string(column + 1);
    if (column < m_summary.columns.size() && !m_summary.columns[column].name.empty()) {
        label += " (" + Quoted(m_summary.columns[column].name) + ")";
    }
    return label;
}

std::string TableReader::DataCell(std::size_t dataRow, std::size_t column) const {
    const std::size_t row = dataRow + (m_summary.header ? 1 : 0);
    if (row >= m_sample.size() || column >= m_sample[row].fields.size()) return {};
    return m_sample[row].fields[column];
}

std::string TableReader::Where(std::size_t line, std::size_t column) const {
    if (m_width <= 1 && !m_listMode) return "Line " + std::to_string(line);
    return "Line " + std::to_string(line) + ", column " + std::to_string(column + 1);
}

std::string TableReader::DescribeColumns(bool candidatesOnly) const {
    std::string text;
    for (std::size_t i = 0; i < m_summary.columns.size(); ++i) {
        ColumnType type = m_summary.columns[i].type;
        if (candidatesOnly && type != ColumnType::Number && type != ColumnType::DateTime) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(i + 1);
        if (!m_summary.columns[i].name.empty()) text += " " + Quoted(m_summary.columns[i].name);
        text += " (" + std::string(ColumnTypeName(type)) + ")";
    }
    return text;
}

bool TableReader::OnRow(std::size_t line, std::span<const std::string> fields) {
    if (m_decided) {
        KeepPreviewRow(fields);
        return ReadRow(line, fields, m_splitter->LineText());
    }
    m_sample.push_back({line, std::vector<std::string>(fields.begin(), fields.end()),
                        std::string(m_splitter->LineText())});
    if (m_sample.size() < kSampleRows) return true;
    return Decide();
}

bool TableReader::CountsRows(std::size_t column) const {
    // 1, 2, 3, ... from the first row of data, on every row but those below the count whose
    // cell is empty (a sum or a remark under the failures, which reading the rows refuses).
    std::size_t expected = 1;
    std::size_t r = m_summary.header ? 1 : 0;
    for (; r < m_sample.size(); ++r, ++expected) {
        const auto& fields = m_sample[r].fields;
        if (column >= fields.size() ||
            ParseNumber(fields[column], m_summary.decimalComma) != double(expected)) {
            break;
        }
    }
    if (r == m_sample.size()) return expected > 1;
    // Stopped early: the count must be plain, three rows at the least.
    if (expected <= 3) return false;
    for (; r < m_sample.size(); ++r) {
        const auto& fields = m_sample[r].fields;
        if (column < fields.size() && !fields[column].empty()) return false;
    }
    return true;
}

bool TableReader::MaySplitNumber(const SampleRow& row) const {
    const auto digits = [](const std::string& field, std::size_t least, std::size_t most) {
        return field.size() >= least && field.size() <= most &&
               std::all_of(field.begin(), field.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    if (row.fields.size() < 2) return false;
    if (m_summary.delimiter == Delimiter::Comma) {
        return digits(row.fields[0], 1, 20) && digits(row.fields[1], 1, 20);
    }
    const std::size_t first = row.text.find_first_not_of(" \t");
    const bool quoted = first != std::string::npos && row.text[first] == '"';
    return m_summary.delimiter == Delimiter::Blanks && !quoted && digits(row.fields[0], 1, 3) &&
           digits(row.fields[1], 3, 3);
}

bool TableReader::HoldsNumber(const SampleRow& row) const {
    return std::any_of(row.fields.begin(), row.fields.end(), [this](const std::string& field) {
        return CellType(field, m_summary.decimalComma) == ColumnType::Number;
    });
}

void TableReader::LeaveOutTitleLines() {
    if (m_sample.size() < 3) return;
    // The table's width is the commonest; a title is a line of more words than numbers apart
    // from it: one field ("Failure report" in the first cell of a spreadsheet), or of blanks
    // another count of words ("Reliability test campaign 7") than the table's columns.
    std::map<std::size_t, std::size_t> widths;
    for (const SampleRow& row : m_sample) ++widths[TrimmedCount(row.fields)];
    const std::size_t tableWidth =
        std::max_element(widths.begin(), widths.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    auto isTitle = [&](const SampleRow& row) {
        const std::size_t width = TrimmedCount(row.fields);
        std::size_t words = 0;
        std::size_t numbers = 0;
        for (const std::string& field : row.fields) {
            const ColumnType type = CellType(field, m_summary.decimalComma);
            words += type == ColumnType::Text ? 1 : 0;
            numbers += type == ColumnType::Number ? 1 : 0;
        }
        const bool apart = m_summary.delimiter == Delimiter::Blanks ? width != tableWidth
                                                                    : width == 1 && tableWidth > 1;
        return words > numbers && apart;
    };
    std::size_t titles = 0;
    while (m_sample.size() - titles >= 3 && isTitle(m_sample[titles])) ++titles;
    if (titles > 0 && m_summary.delimiter == Delimiter::Blanks) {
        // Right above the table, names with blanks in them as wide as the table are its header.
        SampleRow& last = m_sample[titles - 1];
        std::vector<std::string> names = SplitAtWideBlanks(last.text);
        if (names.size() == tableWidth &&
            std::all_of(names.begin(), names.end(), [this](const std::string& name) {
                return CellType(name, m_summary.decimalComma) == ColumnType::Text;
            })) {
            last.fields = std::move(names);
            --titles;
        }
    }
    if (titles == 0) return;
    std::string note = "left out the title above the table (line";
    note += titles == 1 ? " " + std::to_string(m_sample.front().line)
                        : "s " + std::to_string(m_sample.front().line) + " to " +
                              std::to_string(m_sample[titles - 1].line);
    m_summary.notes.push_back(note + ")");
    m_sample.erase(m_sample.begin(), m_sample.begin() + static_cast<std::ptrdiff_t>(titles));
}

void TableReader::NameRowNamesColumn() {
    // R's write.table names every column but the first, which holds the row names.
    if (m_sample.size() < 2 || HoldsNumber(m_sample.front()) || !HoldsNumber(m_sample[1])) return;
    const std::size_t named = TrimmedCount(m_sample.front().fields);
    const bool oneShort = std::all_of(
        m_sample.begin() + 1, m_sample.end(),
        [named](const SampleRow& row) { return TrimmedCount(row.fields) == named + 1; });
    if (!oneShort) return;
    auto& names = m_sample.front().fields;
    names.resize(named);
    names.insert(names.begin(), "");
    m_rowNames = true;
    m_summary.notes.push_back("line " + std::to_string(m_sample.front().line) +
                              " names the columns after the first, which holds row names");
}

bool TableReader::Decide() {
    m_decided = true;
    if (m_sample.empty()) return true;
    const bool anyComma = std::any_of(m_sample.begin(), m_sample.end(), [](const SampleRow& row) {
        return std::any_of(row.fields.begin(), row.fields.end(), [](const std::string& f) {
            return f.find(',') != std::string::npos && LooksLikeNumber(f);
        });
    });
    m_summary.decimalComma =
        m_options.decimalComma ||
        (m_summary.delimiter == Delimiter::Semicolon && anyComma && !m_options.decimalPoint);
    if (m_summary.decimalComma && !m_options.decimalComma) {
        m_summary.notes.push_back("read decimal commas (semicolon-separated numbers with commas)");
    }
    const bool decimalComma = m_summary.decimalComma;
    if (m_options.header != HeaderChoice::Absent) NameRowNamesColumn();
    if (m_rowNames && m_options.column.empty() && m_sample.front().fields.size() == 2 &&
        std::all_of(m_sample.begin() + 1, m_sample.end(),
                    [this](const SampleRow& row) { return MaySplitNumber(row); })) {
        // One name over two fields of digits: more likely numbers whose decimal comma or
        // thousands separator the delimiter split ("1,5", "1,234", "1 234") than row names,
        // which R quotes in blank-separated files.
        const SampleRow& row = m_sample[1];
        const bool comma = m_summary.delimiter == Delimiter::Comma;
        m_summary.notes.pop_back();
        return Refuse(
            DataFault::UnknownFormat, true,
            "Line " + std::to_string(m_sample.front().line) + " names one column, and " +
                (comma ? "the comma" : "a blank") + " splits line " + std::to_string(row.line) +
                " in two: " + Quoted(row.fields[0] + (comma ? "," : " ") + row.fields[1]) +
                " may be one number written with " +
                (comma ? "a decimal comma or a thousands separator"
                       : "a blank between its thousands") +
                ". Write the numbers with a decimal point and without separators; if "
                "the first field numbers the lines, read the other with --column 2.");
    }
    if (m_options.header == HeaderChoice::Auto) LeaveOutTitleLines();

    // One line of words alone is a header without data.
    const bool headerAlone =
        m_options.header == HeaderChoice::Auto && m_sample.size() == 1 &&
        std::all_of(m_sample.front().fields.begin(), m_sample.front().fields.end(),
                    [decimalComma](const std::string& field) {
                        const ColumnType type = CellType(field, decimalComma);
                        return type == ColumnType::Text || type == ColumnType::Empty;
                    });
    // One line of several values is the old list form: every value a failure.
    m_listMode = m_sample.size() == 1 && m_sample.front().fields.size() > 1 && !headerAlone &&
                 m_options.header != HeaderChoice::Present && m_options.column.empty();
    if (m_listMode) {
        m_summary.notes.push_back("read the one line as a list of values");
        m_width = m_sample.front().fields.size();
        m_firstDataLine = m_sample.front().line;
        m_summary.firstRows.push_back(m_sample.front().fields);
        for (std::size_t i = 0; i < m_width; ++i) {
            if (!m_sample.front().fields[i].empty()) {
                if (!ReadCell(m_firstDataLine, i, m_sample.front().fields[i])) return false;
            }
        }
        m_sample.clear();
        return true;
    }

    // The first line sets the width; a longer line later is refused, not read as more values.
    m_width = TrimmedCount(m_sample.front().fields);
    std::vector<ColumnType> firstRowTypes(m_width, ColumnType::Empty);
    std::vector<TypeTally> restTally(m_width);
    for (std::size_t r = 0; r < m_sample.size(); ++r) {
        const auto& fields = m_sample[r].fields;
        for (std::size_t c = 0; c < std::min(fields.size(), m_width); ++c) {
            ColumnType type = CellType(fields[c], decimalComma);
            if (r == 0) {
                firstRowTypes[c] = type;
            } else {
                restTally[c].Add(type);
            }
        }
    }
    std::vector<ColumnType> restTypes(m_width);
    std::transform(restTally.begin(), restTally.end(), restTypes.begin(),
                   [](const TypeTally& tally) { return tally.Type(); });
    if (m_options.header == HeaderChoice::Auto) {
        // A header: a name above a column of numbers or date-times.
        for (std::size_t c = 0; c < m_width && m_sample.size() > 1; ++c) {
            if (firstRowTypes[c] == ColumnType::Text &&
                (restTypes[c] == ColumnType::Number || restTypes[c] == ColumnType::DateTime)) {
                m_summary.header = true;
            }
        }
        m_summary.header = m_summary.header || headerAlone;
        // A mistyped first value would pass for a header: say what was skipped.
        if (m_summary.header) {
            m_summary.notes.push_back("took line " + std::to_string(m_sample.front().line) +
                                      " as the header line (--no-header reads it as data)");
        }
    } else {
        m_summary.header = m_options.header == HeaderChoice::Present;
    }
    m_summary.columns.assign(m_width, TableColumn{});
    for (std::size_t c = 0; c < m_width; ++c) {
        m_summary.columns[c].type =
            m_summary.header ? restTypes[c] : Combine(firstRowTypes[c], restTypes[c]);
        if (m_summary.header && c < m_sample.front().fields.size()) {
            m_summary.columns[c].name = m_sample.front().fields[c];
        }
    }
    std::size_t firstData = m_summary.header ? 1 : 0;
    ClassifyMoments(firstData);
    if (firstData >= m_sample.size()) {
        return Refuse(DataFault::NoData, true,
                      "Line " + std::to_string(m_sample.front().line) +
                          " is a header line and no line of data follows it.");
    }
    m_firstDataLine = m_sample[firstData].line;
    // Kept before the column is chosen, so that a refused choice still shows the rows.
    for (std::size_t r = firstData; r < m_sample.size(); ++r) KeepPreviewRow(m_sample[r].fields);
    // A row of totals spoils the index column; say so before the columns are judged.
    for (std::size_t r = firstData; r < m_sample.size(); ++r) {
        if (!RefuseTotalsRow(m_sample[r].line, m_sample[r].fields)) return false;
    }
    if (!DecideColumn(m_sample.front().line)) return false;
    for (std::size_t r = firstData; r < m_sample.size() && m_summary.delimiter == Delimiter::Blanks;
         ++r) {
        if (TrimmedCount(m_sample[r].fields) != m_width) continue;
        std::vector<std::string_view> views;
        SplitAtBlanks(m_sample[r].text, views);
        for (std::string_view view : views) {
            const auto from = static_cast<std::size_t>(view.data() - m_sample[r].text.data());
            m_columnSpans.emplace_back(from, from + view.size());
        }
        break;
    }
    for (std::size_t r = firstData; r < m_sample.size(); ++r) {
        if (!ReadRow(m_sample[r].line, m_sample[r].fields, m_sample[r].text)) return false;
    }
    m_sample.clear();
    return true;
}

void TableReader::ClassifyMoments(std::size_t firstData) {
    m_columnMoments.assign(m_width, NumberMoments::None);
    for (std::size_t c = 0; c < m_width; ++c) {
        TableColumn& column = m_summary.columns[c];
        const bool named = NamesMoments(column.name);
        if (column.type != ColumnType::Number || (!named && !m_options.timestamps)) continue;
        double least = HUGE_VAL;
        double most = -HUGE_VAL;
        for (std::size_t r = firstData; r < m_sample.size(); ++r) {
            const auto& fields = m_sample[r].fields;
            if (c >= fields.size()) continue;
            if (auto value = ParseNumber(fields[c], m_summary.decimalComma)) {
                least = std::min(least, *value);
                most = std::max(most, *value);
            }
        }
        const NumberMoments moments = MomentsOfSize(least, most);
        if (moments == NumberMoments::None ||
            (moments == NumberMoments::SpreadsheetDays && !named)) {
            continue;
        }
        column.type = ColumnType::DateTime;
        m_columnMoments[c] = moments;
    }
}

bool TableReader::RefuseMoments() {
    const std::size_t chosen = *m_summary.chosenColumn;
    m_moments = m_columnMoments[chosen];
    if (m_moments == NumberMoments::None) return true;
    const std::string first = FirstDataCell(chosen);
    const std::string what =
        "Line " + std::to_string(m_firstDataLine) + ": " + ColumnLabel(chosen) +
        " holds date-times as " +
        DescribeMoment(m_moments, ParseNumber(first, m_summary.decimalComma).value_or(0));
    if (m_moments == NumberMoments::SpreadsheetDays) {
        return Refuse(DataFault::NotNumeric, false,
                      what +
                          ", not times since the start of testing. The file does not say which "
                          "date system wrote them: format the column as yyyy-mm-dd hh:mm:ss in "
                          "the spreadsheet, save the file again, then read" +
                          std::string(kReadAsTimes));
    }
    if (m_options.timestamps) return true;
    return RefuseWithoutOrigin(what + ". Read");
}

bool TableReader::RefuseSplitFractions() {
    const std::size_t chosen = *m_summary.chosenColumn;
    // A header as wide as the rows says the column beside is a column of its own.
    if (m_summary.delimiter != Delimiter::Comma || m_moments != NumberMoments::None ||
        m_summary.columns[chosen].type != ColumnType::DateTime ||
        (m_summary.header && !m_rowNames)) {
        return true;
    }
    // Milli-, micro- or nanoseconds.
    const auto digits = [](std::string_view cell) {
        return (cell.size() == 3 || cell.size() == 6 || cell.size() == 9) &&
               std::all_of(cell.begin(), cell.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    const std::size_t firstData = m_summary.header ? 1 : 0;
    for (std::size_t r = firstData; r < m_sample.size(); ++r) {
        const auto& fields = m_sample[r].fields;
        if (chosen + 1 >= fields.size() || !IsDateTime(fields[chosen]) ||
            std::count(fields[chosen].begin(), fields[chosen].end(), ':') != 2 ||
            fields[chosen].find('.') != std::string::npos || !digits(fields[chosen + 1])) {
            return true;
        }
    }
    const auto& first = m_sample[firstData].fields;
    return Refuse(DataFault::UnknownFormat, true,
                  Where(m_firstDataLine, chosen) + ": " + Quoted(first[chosen]) +
                      " is followed by " + Quoted(first[chosen + 1]) +
                      ", the fraction of its second cut off by the comma before it. Quote the "
                      "date-times (\"" +
                      first[chosen] + "," + first[chosen + 1] +
                      "\"), write a point before the fraction, or save the file with another "
                      "delimiter.");
}

void TableReader::WatchPoints(std::size_t line, std::size_t column, std::string_view cell) {
    if (m_decimalPoint || cell.find_first_of(".eE") == std::string_view::npos) return;
    if (!MayBeThousandsGroup(cell)) {
        m_decimalPoint = Sighting{line, column, std::string(cell)};
    } else if (!m_groupedOrDecimal) {
        m_groupedOrDecimal = Sighting{line, column, std::string(cell)};
    }
}

bool TableReader::DecideColumn(std::size_t firstLine) {
    const std::string fix =
        " Choose the column of failure times with --column NAME or --column NUMBER.";
    std::optional<std::size_t> chosen;
    if (!m_options.column.empty()) {
        const auto& columns = m_summary.columns;
        auto named = [&](bool ignoreCase) {
            std::vector<std::size_t> matches;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const std::string& name = columns[c].name;
                bool same = ignoreCase
                                ? name.size() == m_options.column.size() &&
                                      std::equal(name.begin(), name.end(), m_options.column.begin(),
                                                 [](char a, char b) {
                                                     return std::tolower(a) == std::tolower(b);
                                                 })
                                : name == m_options.column;
                if (!name.empty() && same) matches.push_back(c);
            }
            return matches;
        };
        std::vector<std::size_t> matches = named(false);
        if (matches.empty()) matches = named(true);
        if (matches.size() > 1) {
            std::string numbers;
            for (std::size_t c : matches) {
                numbers += (numbers.empty()       ? ""
                            : c == matches.back() ? " and "
                                                  : ", ") +
                           std::to_string(c + 1);
            }
            return Refuse(DataFault::UnknownFormat, true,
                          "Line " + std::to_string(firstLine) + ": columns " + numbers +
                              (matches.size() == 2 ? " are both named " : " are all named ") +
                              Quoted(m_options.column) + ". Choose one with --column NUMBER.");
        }
        if (!matches.empty()) chosen = matches.front();
        std::size_t number = 0;
        const std::string& text = m_options.column;
        auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (!chosen && ec == std::errc() && ptr == text.data() + text.size() && number >= 1 &&
            number <= m_width) {
            chosen = number - 1;
        }
        if (!chosen) {
            return Refuse(DataFault::UnknownFormat, true,
                          "Line " + std::to_string(firstLine) + ": there is no column " +
                              Quoted(m_options.column) + ". The columns are " +
                              DescribeColumns(false) + "." + fix);
        }
        // A count beside the chosen times still marks the rows that are failures.
        for (std::size_t c = 0; c < m_width && !m_indexColumn; ++c) {
            if (c != *chosen && CountsRows(c)) m_indexColumn = c;
        }
    } else if (m_width == 1) {
        chosen = 0;
    } else {
        std::vector<std::size_t> candidates;
        for (std::size_t c = 0; c < m_width; ++c) {
            ColumnType type = m_summary.columns[c].type;
            // Date-times asked for: a column of numbers beside them (a bug number) is none.
            if (type == ColumnType::DateTime ||
                (type == ColumnType::Number && !m_options.timestamps)) {
                candidates.push_back(c);
            }
        }
        if (candidates.empty() || (candidates.size() == 1 && CountsRows(candidates.front()))) {
            // Times written as durations or with their units make a column of text, under a
            // header that may not have been told from it: say so.
            const std::size_t firstData = m_summary.header ? 1 : 0;
            for (std::size_t r = firstData; r < std::min(firstData + 2, m_sample.size()); ++r) {
                for (std::size_t c = 0; c < m_width; ++c) {
                    const std::string cell = DataCell(r - firstData, c);
                    if (IsDuration(cell) || IsDurationInUnits(cell) || HasUnit(cell)) {
                        return ReadCell(m_sample[r].line, c, cell);
                    }
                }
            }
        }
        if (candidates.size() == 1 && CountsRows(candidates.front())) {
            return Refuse(DataFault::NotNumeric, false,
                          "Line " + std::to_string(firstLine) + ": " +
                              ColumnLabel(candidates.front()) +
                              " counts the lines 1, 2, 3, ... and no other column holds numbers "
                              "or date-times throughout. The columns are " +
                              DescribeColumns(false) + "." + fix);
        } else if (candidates.size() == 1) {
            chosen = candidates.front();
            m_summary.notes.push_back("took " + ColumnLabel(*chosen) + ", the only " +
                                      (m_summary.columns[*chosen].type == ColumnType::DateTime
                                           ? "column of date-times"
                                           : "numeric column"));
        } else if (candidates.size() == 2 &&
                   (CountsRows(candidates[0]) || CountsRows(candidates[1]))) {
            std::size_t index = CountsRows(candidates[0]) ? candidates[0] : candidates[1];
            chosen = index == candidates[0] ? candidates[1] : candidates[0];
            m_summary.notes.push_back("took " + ColumnLabel(*chosen) + ", " + ColumnLabel(index) +
                                      " is an index");
            m_indexColumn = index;
        } else if (candidates.empty()) {
            return Refuse(DataFault::NotNumeric, false,
                          "Line " + std::to_string(firstLine) +
                              ": no column holds numbers or date-times. The columns are " +
                              DescribeColumns(false) + " as read with the delimiter " +
                              std::string(DelimiterName(m_summary.delimiter)) +
                              "; choose another with --delimiter, or a column with --column.");
        } else {
            return Refuse(
                DataFault::UnknownFormat, true,
                "Line " + std::to_string(firstLine) + ": " + std::to_string(candidates.size()) +
                    " columns could hold the failure times: " + DescribeColumns(true) + "." + fix);
        }
    }
    m_summary.chosenColumn = chosen;
    ColumnType type = m_summary.columns[*chosen].type;
    // A column of units beside the numbers ("12.5 s", "3 min" in a test log): one unit only.
    const std::size_t unitColumn = *chosen + 1;
    bool unitsBeside = type == ColumnType::Number && unitColumn < m_width;
    for (std::size_t r = m_summary.header ? 1 : 0; unitsBeside && r < m_sample.size(); ++r) {
        const auto& fields = m_sample[r].fields;
        unitsBeside = unitColumn < fields.size() && IsTimeUnit(fields[unitColumn]);
    }
    if (unitsBeside) {
        m_unitColumn = unitColumn;
        m_unit = FirstDataCell(unitColumn);
        m_summary.notes.push_back("read the times in " + Quoted(m_unit) + ", the unit " +
                                  ColumnLabel(unitColumn) + " gives");
    }
    if (!RefuseMoments() || !RefuseSplitFractions()) return false;
    if (m_options.timestamps) {
        std::string problem;
        m_timeBase = TimeBase::Make(*m_options.timestamps, problem);
        if (!m_timeBase) return Refuse(DataFault::UnknownFormat, true, problem);
        m_summary.timeBase = m_timeBase->Describe();
        m_summary.originUtc = m_timeBase->OriginUtc();
        m_summary.timeZone = m_timeBase->ZoneName();
    } else if (type == ColumnType::DateTime) {
        const std::string kAsTimes(kReadAsTimes);
        const std::string line = "Line " + std::to_string(m_firstDataLine) + ": ";
        const std::string first = FirstDataCell(*chosen);
        if (IsOtherDateForm(first)) {
            return Refuse(DataFault::NotNumeric, false,
                          line + ColumnLabel(*chosen) + " holds dates written as " + Quoted(first) +
                              ", which are not read: write them as YYYY-MM-DD HH:MM[:SS] (a "
                              "spreadsheet's cell format yyyy-mm-dd hh:mm:ss does it), then read" +
                              kAsTimes);
        }
        return RefuseWithoutOrigin(line + ColumnLabel(*chosen) + " holds date-times. Read");
    }
    return true;
}

void TableReader::KeepPreviewRow(std::span<const std::string> fields) {
    if (m_summary.firstRows.size() < kPreviewRows) {
        m_summary.firstRows.emplace_back(fields.begin(), fields.end());
    }
}

bool TableReader::ReadRow(std::size_t line, std::span<const std::string> fields,
                          std::string_view text) {
    const std::size_t count = TrimmedCount(fields);
    if (count > m_width) {
        return Refuse(DataFault::UnknownFormat, true,
                      "Line " + std::to_string(line) + " has " + std::to_string(count) +
                          " fields where the table has " + std::to_string(m_width) +
                          " (read with the delimiter " +
                          std::string(DelimiterName(m_summary.delimiter)) +
                          "). Give every line the same fields, or choose the delimiter with "
                          "--delimiter.");
    }
    const std::size_t column = *m_summary.chosenColumn;
    if (!RefuseTotalsRow(line, fields)) return false;
    if (m_indexColumn) {
        // The count goes on below the sample: a row without it (a sum under the times, a
        // failure left out) is no failure of the series.
        const std::string_view index =
            *m_indexColumn < count ? std::string_view(fields[*m_indexColumn]) : "";
        const std::size_t expected = m_result.values.size() + 1;
        // Digits alone are counted by hand, as fast as the row is read; "4.0" or "+4" too.
        std::size_t count = 0;
        const bool digitsOnly = !index.empty() && index.size() < 20 &&
                                std::all_of(index.begin(), index.end(), [&](char c) {
                                    count = count * 10 + std::size_t(c - '0');
                                    return c >= '0' && c <= '9';
                                });
        const bool counted = digitsOnly
                                 ? count == expected
                                 : ParseNumber(index, m_summary.decimalComma) == double(expected);
        if (!counted) {
            return Refuse(DataFault::UnknownFormat, false,
                          Where(line, *m_indexColumn) + ": " + Quoted(index) + " where the index " +
                              ColumnLabel(*m_indexColumn) + " counts " + std::to_string(expected) +
                              ". Number the failures 1, 2, 3, ... without a gap, and remove any "
                              "line below them.");
        }
    }
    if (m_unitColumn) {
        const std::string_view unit =
            *m_unitColumn < count ? std::string_view(fields[*m_unitColumn]) : "";
        if (unit != m_unit) {
            return Refuse(DataFault::UnknownFormat, false,
                          Where(line, *m_unitColumn) + ": the unit " + Quoted(unit) +
                              " differs from " + Quoted(m_unit) +
                              " above. Write every time in one unit.");
        }
    }
    if (m_summary.delimiter == Delimiter::Blanks && count < m_width && column < count &&
        !RefuseShiftedCell(line, fields[column], text)) {
        return false;
    }
    return ReadCell(line, column, column < count ? std::string_view(fields[column]) : "");
}

bool TableReader::RefuseShiftedCell(std::size_t line, std::string_view cell,
                                    std::string_view text) {
    const std::size_t column = *m_summary.chosenColumn;
    std::vector<std::string_view> views;
    SplitAtBlanks(text, views);
    if (column >= views.size() || m_columnSpans.size() != m_width) return true;
    const std::size_t start = static_cast<std::size_t>(views[column].data() - text.data());
    const std::size_t end = start + views[column].size();
    for (std::size_t c = 0; c < m_width; ++c) {
        const auto [from, to] = m_columnSpans[c];
        if (c == column || end <= from || start >= to) continue;
        return Refuse(DataFault::UnknownFormat, false,
                      Where(line, column) + ": " + Quoted(cell) + " stands under " +
                          ColumnLabel(c) + ", not " + ColumnLabel(column) +
                          ": a cell before it is empty, and blanks cannot tell which. Fill every "
                          "cell (NA where a value is missing), or save the file with tabs or "
                          "commas.");
    }
    return true;
}

bool TableReader::ReadCell(std::size_t line, std::size_t column, std::string_view cell) {
    if (m_result.values.size() >= m_options.maxItems) {
        return Refuse(DataFault::TooManyData, true,
                      Where(line, column) + ": more than " + std::to_string(m_options.maxItems) +
                          " values. Split the data into several datasets.");
    }
    // Only a refusal needs the place spelled out.
    auto where = [&] { return Where(line, column); };
    if (cell.empty()) {
        return Refuse(DataFault::NotNumeric, false,
                      where() +
                          " is empty. Every line needs its failure time there: fill it in "
                          "or remove the line.");
    }
    if (m_timeBase) {
        TimeBase::Reading reading;
        if (m_moments != NumberMoments::None) {
            const std::optional<double> count = ParseNumber(cell, m_summary.decimalComma);
            if (!count) {
                return Refuse(DataFault::NotNumeric, false,
                              where() + ": " + Quoted(cell) +
                                  " is not a number, where the column holds date-times as " +
                                  DescribeMoment(m_moments, ParseNumber(FirstDataCell(column),
                                                                        m_summary.decimalComma)
                                                                .value_or(0)) +
                                  ". Correct it, or remove the line.");
            }
            reading = m_moments == NumberMoments::Digits
                          ? m_timeBase->Measure(DigitsAsDateTime(cell))
                          : m_timeBase->MeasureUnixTime(m_moments == NumberMoments::UnixMilliseconds
                                                            ? *count / 1000
                                                            : *count);
        } else {
            reading = m_timeBase->Measure(cell);
        }
        switch (reading.fault) {
            case TimeBase::Fault::None:
                break;
            case TimeBase::Fault::NotDateTime: {
                // A name above date-times in a form not read was not told for a header: the
                // fault is the date-time below it.
                const auto digit = [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c));
                };
                const std::string second =
                    line == m_firstDataLine && !m_summary.header && m_sample.size() > 1
                        ? SecondDataCell(column)
                        : "";
                if (std::none_of(cell.begin(), cell.end(), digit) &&
                    std::any_of(second.begin(), second.end(), digit)) {
                    return Refuse(DataFault::NotNumeric, false,
                                  Where(m_sample[1].line, column) + ": " + Quoted(second) +
                                      " is not a date-time. " + std::string(kDateTimeForm));
                }
                return Refuse(DataFault::NotNumeric, false,
                              where() + ": " + Quoted(cell) + " is not a date-time. " +
                                  std::string(kDateTimeForm));
            }
            case TimeBase::Fault::Skipped:
            case TimeBase::Fault::Repeated:
                return Refuse(
                    DataFault::UnknownFormat, false,
                    where() + ": " + Quoted(cell) +
                        (reading.fault == TimeBase::Fault::Skipped ? " never happened"
                                                                   : " happened twice") +
                        " in " + m_timeBase->ZoneName() +
                        " (the clocks changed). Write it with its offset from UTC, such as " +
                        std::string(cell) + "+01:00.");
        }
        if (reading.value < 0.0) {
            return Refuse(DataFault::Negative, false,
                          where() + ": " + Quoted(cell) +
                              " is before the origin. Correct it, or give an earlier --origin.");
        }
        if (!m_result.values.empty() && reading.value < m_result.values.back()) m_sortNeeded = true;
        m_result.values.push_back(reading.value + 0.0);
        return true;
    }
    bool outOfRange = false;
    std::optional<double> value = ParseNumber(cell, m_summary.decimalComma, &outOfRange);
    if (outOfRange) {
        return Refuse(DataFault::OutOfRange, false,
                      where() + ": " + Quoted(cell) +
                          " is beyond the numbers that can be stored (about 5e-324 to "
                          "1.8e308). Write the times in another unit.");
    }
    if (!value) {
        std::string what = where() + ": " + Quoted(cell);
        if (cell.starts_with('\'') && LooksLikeNumber(cell)) {
            what +=
                " starts with an apostrophe, as a spreadsheet marks a number kept as text. Write "
                "the number alone.";
        } else if (HasThousandsSeparator(cell, m_summary.decimalComma)) {
            what += " holds a thousands separator. Write the number without it.";
        } else if (m_summary.decimalComma && ParseNumber(cell, false)) {
            std::string comma(cell);
            std::replace(comma.begin(), comma.end(), '.', ',');
            what +=
                " holds a decimal point where the file's numbers have decimal commas. "
                "Write it as " +
                comma + ".";
        } else if (!m_summary.decimalComma && cell.find(',') != std::string_view::npos &&
                   ParseNumber(cell, true)) {
            what +=
                " holds a decimal comma. Write a decimal point, or read decimal commas with "
                "--decimal-comma.";
        } else if (line == m_firstDataLine && !m_summary.header && !m_listMode &&
                   ParseNumber(SecondDataCell(column), m_summary.decimalComma)) {
            what +=
                " is not a number. The file seems to have a header line: the import skips it "
                "with --header, or reads a named column with --column " +
                std::string(cell) + ".";
        } else if (IsDuration(cell)) {
            what +=
                " is a duration written with colons. Write each time as one number, all in one "
                "unit (in a spreadsheet, =A2*24 turns a duration into hours).";
        } else if (IsDurationInUnits(cell)) {
            what +=
                " is a duration written in units. Write each time as one number, all in one "
                "unit, and name the unit in the dataset's source.";
        } else if (HasUnit(cell)) {
            what +=
                " is a number with its unit. Write the numbers alone, all in one unit, and "
                "name the unit in the dataset's source.";
        } else {
            what += " is not a number. Correct it, or remove the line.";
        }
        return Refuse(DataFault::NotNumeric, false, what);
    }
    if (*value < 0.0) {
        return Refuse(DataFault::Negative, false,
                      where() + ": " + Quoted(cell) +
                          " is below 0. Failure times are never negative: correct it.");
    }
    if (m_summary.delimiter == Delimiter::Semicolon && !m_summary.decimalComma &&
        !m_options.decimalPoint) {
        WatchPoints(line, column, cell);
    }
    m_result.values.push_back(*value);
    return true;
}

bool TableReader::Finish() {
    if (!m_decided && !Decide()) return false;
    if (m_result.values.empty()) return Refuse(DataFault::NoData, true, "");
    if (m_groupedOrDecimal) {
        const Sighting& seen = *m_groupedOrDecimal;
        const std::string where = Where(seen.line, seen.column);
        if (!m_decimalPoint) {
            std::string whole = seen.cell;
            whole.erase(whole.find('.'), 1);
            return Refuse(
                DataFault::UnknownFormat, false,
                where + ": " + Quoted(seen.cell) + " may be " + whole +
                    " with a point grouping its thousands, as spreadsheets write numbers in "
                    "semicolon-separated files, or " +
                    seen.cell +
                    " with a decimal point, and no number of the file shows which. "
                    "Write the numbers without thousands separators, or read the points "
                    "as decimal points with --decimal-point.");
        }
        m_summary.notes.push_back("read " + Quoted(seen.cell) + " on line " +
                                  std::to_string(seen.line) + " with a decimal point, as " +
                                  Quoted(m_decimalPoint->cell) + " on line " +
                                  std::to_string(m_decimalPoint->line) + " shows");
    }
    if (!m_timeBase && m_result.values.size() >= 2) {
        // Moments counted from 1970 without a header to say so: they hardly move from where
        // they start (a tenth, five years of Unix time), as no times since the start of testing
        // do, whose failures come early.
        const double first = m_result.values.front();
        const double last = m_result.values.back();
        const NumberMoments moments = MomentsOfSize(first, last);
        if ((moments == NumberMoments::UnixSeconds || moments == NumberMoments::UnixMilliseconds ||
             moments == NumberMoments::Digits) &&
            DetectDataType(m_result.values) == DataType::Cumulative &&
            (last - first) * 10 < first) {
            std::ostringstream range;
            range.precision(17);
            range << first << " to " << last;
            return RefuseWithoutOrigin(
                "Line " + std::to_string(m_firstDataLine) + ": the times run from " + range.str() +
                ", hardly moving from where they start: they are date-times as " +
                DescribeMoment(moments, first) + ", not times since the start of testing. Read");
        }
    }
    if (m_sortNeeded) {
        std::sort(m_result.values.begin(), m_result.values.end());
        m_summary.notes.push_back("sorted the date-times");
    }
    return true;
}

void TableReader::ReadAll(const ByteSource& source) {
    LineEndNormaliser normaliser;
    std::optional<FieldSplitter> splitter;
    std::string chunk(kChunkBytes, '\0');
    std::string text;  // normalised, not yet split
    std::string raw;   // the bytes read until the delimiter is chosen
    bool atEnd = false;
    // JSON, HTML and XML start with a bracket; no table of failure times does.
    auto refuseMarkup = [&] {
        const std::size_t first = text.find_first_not_of(" \t\n");
        if (first == std::string::npos) return false;
        // R prints a vector as "[1] 3.5 4.0", which is no JSON array.
        std::string_view opening = std::string_view(text).substr(first);
        opening = opening.substr(0, opening.find('\n'));
        while (opening.back() == ' ' || opening.back() == '\t') opening.remove_suffix(1);
        const std::size_t second = opening.find_first_not_of(" \t", 1);
        const bool array =
            opening.front() == '[' &&
            (second == std::string_view::npos ||
             std::string_view("{[\"").find(opening[second]) != std::string_view::npos ||
             opening.back() == ']' || opening.back() == ',');
        if (opening.front() != '{' && opening.front() != '<' && !array) return false;
        const std::size_t line = 1 + std::count(text.begin(), text.begin() + first, '\n');
        return !Refuse(DataFault::UnknownFormat, true,
                       "Line " + std::to_string(line) + ": the file is " +
                           (text[first] == '<' ? "HTML or XML" : "JSON") + " (it starts with " +
                           Quoted(text.substr(first, 1)) +
                           "), not a table of failure times. Export the failure times as CSV, or "
                           "as text with one a line.");
    };
    auto startSplitter = [&] {
        const std::optional<Delimiter> named = NamedDelimiter(text);
        if (named) {
            // Its line end stays, so that line numbers do.
            text.erase(0, text.find('\n'));
            m_summary.notes.push_back("took the delimiter from line 1, " +
                                      std::string(DelimiterName(*named)) + " (sep=)");
        }
        m_summary.delimiter =
            m_options.delimiter != Delimiter::Auto ? m_options.delimiter
            : named                                ? *named
                    : DetectDelimiter(std::string_view(text).substr(0, kChunkBytes), kSampleRows);
        splitter.emplace(m_summary.delimiter,
                         [this](std::size_t line, std::span<const std::string> fields) {
                             return OnRow(line, fields);
                         });
        m_splitter = &*splitter;
    };
    auto splitFault = [&](FieldSplitter::Status status) {
        if (status == FieldSplitter::Status::UnclosedQuote) {
            return Refuse(DataFault::IncompleteItem, true,
                          "Line " + std::to_string(splitter->Line()) +
                              ": a double quote opens a field that never closes. Close it or "
                              "remove it.");
        }
        if (status == FieldSplitter::Status::MisplacedQuote) {
            return Refuse(DataFault::UnknownFormat, true,
                          "Line " + std::to_string(splitter->Line()) +
                              ": a double quote stands inside a field. Quote whole fields only, "
                              "doubling any quote inside them.");
        }
        return status == FieldSplitter::Status::Ok;
    };
    // Complete lines that DetectDelimiter looks at (holding more than blanks, and no rule),
    // counted until the delimiter is chosen: however the file arrives, it sees the same lines.
    std::size_t scanned = 0;
    std::size_t lineStart = 0;
    std::size_t sampleLines = 0;
    auto sampleComplete = [&] {
        for (; scanned < text.size(); ++scanned) {
            if (text[scanned] != '\n') continue;
            const std::string_view line(text.data() + lineStart, scanned - lineStart);
            if (line.find_first_not_of(" \t") != std::string_view::npos && !IsRuleLine(line)) {
                ++sampleLines;
            }
            lineStart = scanned + 1;
        }
        return sampleLines >= kSampleRows || text.size() >= kChunkBytes;
    };
    while (!atEnd) {
        if (m_options.cancel && m_options.cancel->load()) {
            m_result.cancelled = true;
            return;
        }
        std::size_t size = source(chunk.data(), chunk.size());
        atEnd = size == 0;
        // The text before a control byte is read first, so that the first fault in the file
        // is the one reported, however the file arrives.
        bool clean = normaliser.Feed(std::string_view(chunk.data(), size), text);
        if (!splitter) {
            raw.append(chunk.data(), size);
            if (clean && !atEnd && !sampleComplete()) continue;
            if (refuseMarkup()) return;
            startSplitter();
            if (m_summary.delimiter == Delimiter::Blanks ||
                m_summary.delimiter == Delimiter::Pipe) {
                // Read again without quoted fields across lines: a stray quote in a blank-
                // separated line must not hide the comments below it.
                normaliser = LineEndNormaliser(false);
                text.clear();
                clean = normaliser.Feed(raw, text) && (!atEnd || normaliser.Feed({}, text));
            }
            raw = {};
        }
        if (!splitFault(splitter->Feed(text))) return;
        text.clear();
        if (!clean) {
            const std::string line = "Line " + std::to_string(normaliser.FaultLine());
            if (normaliser.BrokenCharacter()) {
                Refuse(DataFault::UnknownFormat, true,
                       line +
                           " holds a broken character of UTF-16 text, the encoding the file "
                           "starts in. Save the file again as UTF-8 or UTF-16 text.");
                return;
            }
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", normaliser.FaultByte());
            Refuse(DataFault::UnknownFormat, true,
                   line + " holds the control byte " + byte +
                       ", so this is no text file. Choose the text file of failure times.");
            return;
        }
    }
    const bool split = splitFault(splitter->Finish());
    // How the text was read comes before what was read from it.
    std::vector<std::string> reading;
    if (normaliser.ReadsUtf16()) reading.emplace_back("read the file as UTF-16 text");
    if (const std::size_t comments = normaliser.CommentLines()) {
        reading.push_back("left out " + std::to_string(comments) + " comment line" +
                          (comments == 1 ? "" : "s") + " (starting with #)");
    }
    if (const std::size_t rules = splitter->RuleLines()) {
        reading.push_back("left out " + std::to_string(rules) + " line" + (rules == 1 ? "" : "s") +
                          " drawing the table (such as ---- or (3 rows))");
    }
    m_summary.notes.insert(m_summary.notes.begin(), reading.begin(), reading.end());
    if (split) Finish();
}

}  // namespace

TableResult ReadTable(const ByteSource& source, const TableOptions& options) {
    try {
        return TableReader(options).Read(source);
    } catch (const std::exception&) {
        // Out of memory on a huge file.
        TableResult result;
        result.refusal = TableRefusal{DataFault::UnknownFormat, true,
                                      "The file is too large to read in the memory available."};
        return result;
    }
}

TableResult ReadTableText(std::string_view text, const TableOptions& options) {
    return ReadTable(
        [&text](char* buffer, std::size_t size) {
            std::size_t count = std::min(size, text.size());
            std::copy_n(text.data(), count, buffer);
            text.remove_prefix(count);
            return count;
        },
        options);
}

namespace {

std::string CannotRead(const std::string& fileName, int error) {
    return "Cannot read " + Quoted(fileName) + ": " + std::generic_category().message(error) +
           ". Check the path and that the file may be read.";
}

// Why fileName cannot be read as a data file, or "" when it is a regular file. A FIFO, a
// device or a directory would block, never end or fail only once read.
std::string NotADataFile(const std::string& fileName, int fd, int openError) {
    const std::string name = Quoted(fileName);
    if (openError == ENOENT) return name + " does not exist. Check the path and the file name.";
    struct stat status {};
    if (openError == 0 && ::fstat(fd, &status) != 0) openError = errno;
    if (openError != 0) return CannotRead(fileName, openError);
    if (S_ISREG(status.st_mode)) return "";
    const char* kind = S_ISDIR(status.st_mode)                              ? "a directory"
                       : S_ISFIFO(status.st_mode)                           ? "a pipe"
                       : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "a device"
                                                                            : "no regular file";
    return name + " is " + kind + ", not a data file. Choose the text file of failure times.";
}

}  // namespace

TableResult ReadTableFile(const std::string& fileName, const TableOptions& options) {
    // Not blocking, so that a pipe without a writer is refused rather than waited for.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const std::string problem = NotADataFile(fileName, fd, fd < 0 ? errno : 0);
    TableResult result;
    int error = 0;
    if (problem.empty()) {
        result = ReadTable(
            [fd, &error](char* buffer, std::size_t size) -> std::size_t {
                while (error == 0) {
                    ssize_t count = ::read(fd, buffer, size);
                    if (count >= 0) return static_cast<std::size_t>(count);
                    if (errno != EINTR) error = errno;
                }
                return 0;
            },
            options);
    }
    if (fd >= 0) ::close(fd);
    if (!problem.empty() || error != 0) {
        result = TableResult{};
        result.refusal = TableRefusal{DataFault::NotReadable, true,
                                      problem.empty() ? CannotRead(fileName, error) : problem};
    }
    return result;
}

std::string_view DelimiterName(Delimiter delimiter) {
    switch (delimiter) {
        case Delimiter::Auto:
            return "auto";
        case Delimiter::Comma:
            break;
        case Delimiter::Semicolon:
            return "semicolon";
        case Delimiter::Tab:
            return "tab";
        case Delimiter::Blanks:
            return "blanks";
        case Delimiter::Pipe:
            return "pipe";
    }
    return "comma";
}

std::string_view ColumnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Empty:
            return "empty";
        case ColumnType::Number:
            break;
        case ColumnType::DateTime:
            return "date-times";
        case ColumnType::Text:
            return "text";
    }
    return "numbers";
}

std::string_view TimeUnitName(TimeUnit unit) {
    switch (unit) {
        case TimeUnit::Seconds:
            return "seconds";
        case TimeUnit::Minutes:
            return "minutes";
        case TimeUnit::Hours:
            break;
        case TimeUnit::Days:
            return "days";
    }
    return "hours";
}

}  // namespace tamsel
