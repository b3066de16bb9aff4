#include "tamsel/tables/text_table.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <ostream>
#include <variant>

namespace tamsel {
namespace {

// A value in list-output form.
std::string ListOutput(const DbValue& value) {
    if (IsNull(value)) return "Null";
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        return *i < 0 ? std::to_string(*i) + " " : " " + std::to_string(*i) + " ";
    }
    const double number = std::get<double>(value);
    // A negative zero is written as zero.
    return number < 0 ? "-" + FormatTableNumber(-number) + " "
                      : " " + FormatTableNumber(number == 0.0 ? 0.0 : number) + " ";
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvValue(const DbValue& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&value)) return FormatTableNumber(*d, 17);
    if (const auto* s = std::get_if<std::string>(&value)) return CsvField(*s);
    return {};
}

}  // namespace

std::string FormatTableNumber(double value, int significantDigits) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    std::to_chars_result result = significantDigits > 0
                                      ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                      std::chars_format::general, significantDigits)
                                      : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void WriteTextTable(std::ostream& out, const RowSet& rows) {
    for (const auto& row : rows.rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0) line.resize((line.size() / kPrintZoneWidth + 1) * kPrintZoneWidth, ' ');
            line += ListOutput(row[c]);
        }
        out << line << "\r\n";
    }
}

bool SaveTextTable(const std::string& fileName, const RowSet& rows, TableFile format) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (format == TableFile::Csv) {
        WriteCsvTable(out, rows);
    } else {
        WriteTextTable(out, rows);
    }
    out.close();
    return !out.fail();
}

void WriteCsvTable(std::ostream& out, const RowSet& rows) {
    for (std::size_t c = 0; c < rows.headings.size(); ++c) {
        out << (c > 0 ? "," : "") << CsvField(rows.headings[c]);
    }
    out << '\n';
    for (const auto& row : rows.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) out << (c > 0 ? "," : "") << CsvValue(row[c]);
        out << '\n';
    }
}

}  // namespace tamsel
