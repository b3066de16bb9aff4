#include "cell_forms.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

#include "date_times.h"
#include "field_splitter.h"
#include "words.h"

namespace tamsel {
namespace {

// text with its no-break spaces as plain ones.
std::string WithPlainSpaces(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    while (!text.empty()) {
        const auto space = std::find_if(std::begin(kNoBreakSpaces), std::end(kNoBreakSpaces),
                                        [text](std::string_view s) { return text.starts_with(s); });
        plain.push_back(space == std::end(kNoBreakSpaces) ? text.front() : ' ');
        text.remove_prefix(space == std::end(kNoBreakSpaces) ? 1 : space->size());
    }
    return plain;
}

}  // namespace

bool MayBeThousandsGroup(std::string_view cell) {
    if (!cell.empty() && (cell.front() == '+' || cell.front() == '-')) cell.remove_prefix(1);
    const std::size_t point = cell.find('.');
    const auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    return point >= 1 && point <= 3 && cell.front() != '0' && cell.size() == point + 4 &&
           digits(cell.substr(0, point)) && digits(cell.substr(point + 1));
}

std::optional<double> ParseNumber(std::string_view text, bool decimalComma, bool* outOfRange) {
    std::string replaced;
    // With decimal commas a point can only be a thousands separator ("1.234" is 1234 to the
    // spreadsheet that wrote it), never a decimal mark.
    if (decimalComma && text.find('.') != std::string_view::npos) return std::nullopt;
    if (decimalComma && text.find(',') != std::string_view::npos) {
        replaced.assign(text);
        std::replace(replaced.begin(), replaced.end(), ',', '.');
        text = replaced;
    }
    // from_chars refuses a leading plus sign, which a hand-written file may well carry.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (outOfRange) *outOfRange = ec == std::errc::result_out_of_range && ptr == end;
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value + 0.0;  // turns -0 into 0
}

bool LooksLikeNumber(std::string_view written) {
    const std::string plain = WithPlainSpaces(written);
    std::string_view text = plain;
    if (text.starts_with('\'')) text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
        return false;
    }
    bool digit = false;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digit = true;
        } else if (c != ',' && c != '.' && c != '\'' && c != ' ') {
            return false;
        }
    }
    return digit;
}

bool HasThousandsSeparator(std::string_view written, bool decimalComma) {
    const std::string plain = WithPlainSpaces(written);
    const std::string_view text = plain;
    const char decimalMark = decimalComma ? ',' : '.';
    std::size_t mark = text.find(decimalMark);
    std::string_view whole = text.substr(0, mark);
    if (whole.find_first_of(decimalComma ? ".' " : ",' ") == std::string_view::npos) return false;
    std::size_t digitsInGroup = 0;
    bool firstGroup = true;
    for (char c : whole) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digitsInGroup;
        } else if (c == '+' || c == '-') {
            continue;
        } else {
            if (digitsInGroup == 0 || (!firstGroup && digitsInGroup != 3)) return false;
            firstGroup = false;
            digitsInGroup = 0;
        }
    }
    return digitsInGroup == 3;
}

bool HasUnit(std::string_view written) {
    std::string cell(written);
    std::replace(cell.begin(), cell.end(), ',', '.');
    double number = 0;
    auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), number);
    if (end != cell.data() + cell.size() && *end == ' ') ++end;
    const std::string_view unit(end, static_cast<std::size_t>(cell.data() + cell.size() - end));
    return error == std::errc() && !unit.empty() &&
           std::all_of(unit.begin(), unit.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

bool IsDuration(std::string_view cell) {
    const std::size_t colons = std::count(cell.begin(), cell.end(), ':');
    if (colons < 1 || colons > 2 || !std::isdigit(static_cast<unsigned char>(cell.front()))) {
        return false;
    }
    std::size_t digits = 0;
    for (char c : cell.substr(0, cell.find('.'))) {
        if (c == ':') {
            if (digits == 0) return false;
            digits = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digits;
        } else {
            return false;
        }
    }
    return digits == 2;
}

bool IsDurationInUnits(std::string_view cell) {
    if (cell.size() >= 3 && cell.front() == 'P' &&
        cell.find_first_of("0123456789") != std::string_view::npos) {
        return std::all_of(cell.begin(), cell.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) ||
                   std::string_view("PYMWDTHS.,").find(c) != std::string_view::npos;
        });
    }
    std::size_t parts = 0;
    const char* at = cell.data();
    const char* end = cell.data() + cell.size();
    while (at != end) {
        double number = 0;
        const auto [stop, error] = std::from_chars(at, end, number);
        const char* letters = stop;
        while (letters != end && std::isalpha(static_cast<unsigned char>(*letters))) ++letters;
        if (error != std::errc() || letters == stop) return false;
        ++parts;
        at = letters;
        while (at != end && *at == ' ') ++at;
    }
    return parts >= 2;
}

bool IsTimeUnit(std::string_view cell) {
    static constexpr std::string_view kUnits[] = {
        "ms", "s",  "sec", "secs", "second", "seconds", "min", "mins", "minute", "minutes",
        "h",  "hr", "hrs", "hour", "hours",  "d",       "day", "days", "wk",     "weeks"};
    return IsOneOf(cell, kUnits);
}

bool IsTotalsLabel(std::string_view cell) {
    // Most cells are numbers: a first character that is no letter settles it.
    if (cell.empty() || !std::isalpha(static_cast<unsigned char>(cell.front()))) return false;
    while (!cell.empty() && cell.back() == ':') cell.remove_suffix(1);
    static constexpr std::string_view kLabels[] = {"total",   "totals", "grand total", "subtotal",
                                                   "sum",     "summe",  "gesamt",      "mean",
                                                   "average", "avg"};
    return IsOneOf(cell, kLabels);
}

ColumnType CellType(std::string_view cell, bool decimalComma) {
    if (cell.empty()) return ColumnType::Empty;
    bool outOfRange = false;
    if (ParseNumber(cell, decimalComma, &outOfRange) || outOfRange || LooksLikeNumber(cell)) {
        return ColumnType::Number;
    }
    if (IsDateTime(cell) || IsOtherDateForm(cell)) return ColumnType::DateTime;
    return ColumnType::Text;
}

}  // namespace tamsel
