// Reading and validating a failure data file: a plain text file of numbers.
//
// Lexical rules. Items are separated by commas or line ends (LF, CR LF or CR). Blanks and
// tabs around an item are ignored, and so are empty items (empty lines, a trailing
// separator). A UTF-8 byte order mark at the start is skipped. An item may be enclosed in
// double quotes, which keep commas and line ends inside it. An item is numeric when it is a
// finite decimal number with "." as the decimal point, an optional sign and an optional
// exponent; "nan", "inf", hexadecimal forms and numbers beyond the range of a double are
// not numeric. A file holding a NUL byte or another control character (other than tab, CR
// and LF) is not a text data file.
//
// Every routine that fails shows one message through the sink and returns nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamsel {

// The failure data array: the items in file order, first item at element 0. An item that
// did not read as a number is empty; ValidateData refuses it.
using FailureDataArray = std::vector<std::optional<double>>;

// The DataTypes keys.
enum class DataType { Interfailure = 1, Cumulative = 2 };

// Failure indexes and the failure count are 32-bit integers in the database.
inline constexpr std::size_t kMaxDataItems = std::numeric_limits<std::int32_t>::max();

// Reads the items of fileName. On failure (no file, no item, not a text file, an unclosed
// quote, more than maxItems items) shows the reading message and returns nothing.
std::optional<FailureDataArray> ReadDataFile(const std::string& fileName,
                                             std::size_t maxItems = kMaxDataItems);

// The same for the content of a file already in memory.
std::optional<FailureDataArray> ParseDataText(std::string_view text,
                                              std::size_t maxItems = kMaxDataItems);

// Checks every item in file order (numeric, not negative) and then that at most one value
// in ten is 0. Returns the values (n = size, at least 1), or nothing after the validation
// message.
std::optional<std::vector<double>> ValidateData(const FailureDataArray& data);

// Cumulative when the values never decrease (equal neighbours allowed; a single value
// counts), interfailure otherwise.
DataType DetectDataType(const std::vector<double>& values);

// False, after the validation message, when more than one value in ten of the interfailure
// times of values read as type is 0. Read as cumulative times, a repeated value is a zero
// interfailure time, so this is checked again once the type is decided.
bool ValidateZeros(const std::vector<double>& values, DataType type);

}  // namespace tamsel
