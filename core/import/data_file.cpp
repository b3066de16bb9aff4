#include "tamsel/import/data_file.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <fstream>
#include <iterator>
#include <system_error>

#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

enum class DataFileError {
    NoData,
    NotNumeric,
    Negative,
    TooManyZeros,
    IncompleteItem,
    TooManyData,
    UnknownFormat
};

// Reading and validation share these second lines: the same failure reads the same.
std::string_view DataErrorLine(DataFileError error) {
    switch (error) {
        case DataFileError::NoData:
            return "File contains no data.";
        case DataFileError::NotNumeric:
            return "Data is not numeric. Please check data or select another file.";
        case DataFileError::Negative:
            return "File contains negative data.";
        case DataFileError::TooManyZeros:
            return "File contains too many zeros.";
        case DataFileError::IncompleteItem:
            return "Invalid number of data. Please check data or select another file.";
        case DataFileError::TooManyData:
            return "Too many data. Please reduce the number of interfailure times in the data "
                   "file.";
        case DataFileError::UnknownFormat:
            break;
    }
    return "Data in unknown format. Please check format or select another file.";
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsSeparator(char c) { return c == ',' || IsLineEnd(c); }

// Control characters other than tab and the line ends mark a binary file.
bool IsForeignControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && !IsLineEnd(c)) || byte == 0x7F;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<double> ParseNumber(std::string_view text) {
    // from_chars refuses a leading plus sign, which a hand-written file may well carry.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value + 0.0;  // turns -0 into 0
}

void ShowReadError(DataFileError error) {
    ShowMessage(
        JoinLines({"An error occurred while reading data from file.", DataErrorLine(error)}));
}

void ShowValidationError(DataFileError error) {
    ShowMessage(JoinLines({"An error has occurred during data validation.", DataErrorLine(error)}));
}

// Splits text into items; returns the failure, if any, instead of showing it.
std::optional<DataFileError> SplitItems(std::string_view text, std::size_t maxItems,
                                        FailureDataArray& items) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    for (char c : text) {
        if (IsForeignControl(c)) return DataFileError::UnknownFormat;
    }
    std::string quoted;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        std::string_view item;
        if (pos < text.size() && text[pos] == '"') {
            std::size_t close = text.find('"', pos + 1);
            if (close == std::string_view::npos) return DataFileError::IncompleteItem;
            // Text after the closing quote belongs to the item, so that "3"x is no number.
            std::size_t end = close + 1;
            while (end < text.size() && !IsSeparator(text[end])) ++end;
            quoted.assign(text.substr(pos + 1, close - pos - 1));
            quoted.append(TrimBlanks(text.substr(close + 1, end - close - 1)));
            item = TrimBlanks(quoted);
            pos = end;
        } else {
            std::size_t end = pos;
            while (end < text.size() && !IsSeparator(text[end])) ++end;
            item = TrimBlanks(text.substr(pos, end - pos));
            pos = end;
        }
        if (pos < text.size()) ++pos;  // the separator
        if (item.empty()) continue;
        if (items.size() >= maxItems) return DataFileError::TooManyData;
        items.push_back(ParseNumber(item));
    }
    if (items.empty()) return DataFileError::NoData;
    return std::nullopt;
}

}  // namespace

std::optional<FailureDataArray> ParseDataText(std::string_view text, std::size_t maxItems) {
    try {
        FailureDataArray items;
        if (auto error = SplitItems(text, maxItems, items)) {
            ShowReadError(*error);
            return std::nullopt;
        }
        return items;
    } catch (const std::exception&) {
        // Out of memory on a huge file.
        ShowReadError(DataFileError::UnknownFormat);
        return std::nullopt;
    }
}

std::optional<FailureDataArray> ReadDataFile(const std::string& fileName, std::size_t maxItems) {
    std::string text;
    try {
        std::ifstream in(fileName, std::ios::binary);
        if (!in) {
            ShowReadError(DataFileError::UnknownFormat);
            return std::nullopt;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            ShowReadError(DataFileError::UnknownFormat);
            return std::nullopt;
        }
    } catch (const std::exception&) {
        ShowReadError(DataFileError::UnknownFormat);
        return std::nullopt;
    }
    return ParseDataText(text, maxItems);
}

std::optional<std::vector<double>> ValidateData(const FailureDataArray& data) {
    if (data.empty()) {
        ShowValidationError(DataFileError::NoData);
        return std::nullopt;
    }
    std::vector<double> values;
    values.reserve(data.size());
    for (const auto& item : data) {
        if (!item) {
            ShowValidationError(DataFileError::NotNumeric);
            return std::nullopt;
        }
        if (*item < 0.0) {
            ShowValidationError(DataFileError::Negative);
            return std::nullopt;
        }
        values.push_back(*item);
    }
    if (!ValidateZeros(values, DataType::Interfailure)) return std::nullopt;
    return values;
}

DataType DetectDataType(const std::vector<double>& values) {
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (values[i] < values[i - 1]) return DataType::Interfailure;
    }
    return DataType::Cumulative;
}

bool ValidateZeros(const std::vector<double>& values, DataType type) {
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        double previous = (type == DataType::Cumulative && i > 0) ? values[i - 1] : 0.0;
        if (values[i] == previous) ++zeros;
    }
    // zeros / n > 0.1, in integers so that exactly one zero in ten passes.
    if (zeros * 10 <= values.size()) return true;
    ShowValidationError(DataFileError::TooManyZeros);
    return false;
}

}  // namespace tamsel
