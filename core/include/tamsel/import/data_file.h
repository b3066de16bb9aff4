// The rules a failure data file's values obey once read (see table_reader.h for the reading),
// and the messages of the import.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace tamsel {

// The DataTypes keys.
enum class DataType { Interfailure = 1, Cumulative = 2 };

// Failure indexes and the failure count are 32-bit integers in the database.
inline constexpr std::size_t kMaxDataItems = std::numeric_limits<std::int32_t>::max();

// What went wrong with a data file; each has its own second line of the import's messages.
enum class DataFault {
    NoData,
    NotNumeric,
    Negative,
    TooManyZeros,
    IncompleteItem,
    TooManyData,
    UnknownFormat,
    OutOfRange,  // a value, or the running total of interfailure times, beyond a double
    NotReadable  // missing, not a regular file, or refused by the system
};

// The import's message for fault: "An error occurred while reading data from file." (while
// reading) or "An error has occurred during data validation.", then the fault's own line,
// then detail (where and what to do) when it is not empty.
std::string DataFaultMessage(DataFault fault, bool whileReading, std::string_view detail = {});

// Cumulative when the values never decrease (equal neighbours allowed; a single value
// counts), interfailure otherwise.
DataType DetectDataType(const std::vector<double>& values);

// How the automatic choice reads values, with a note when it is worth telling.
struct AutomaticType {
    DataType type = DataType::Interfailure;
    std::string note;  // empty unless the type is not DetectDataType's
};

// DetectDataType's type, except for values that never decrease but repeat each other too often
// to be cumulative times (see ValidateZeros): read as interfailure times they pass, and so they
// are read, with a note saying why.
AutomaticType DetectAutomaticType(const std::vector<double>& values);

// False, after the validation message, when more than one value in ten of the interfailure
// times of values read as type is 0. Read as cumulative times, a repeated value is a zero
// interfailure time, so this is checked again once the type is decided.
bool ValidateZeros(const std::vector<double>& values, DataType type);

// False, after the validation message, when interfailure times add up to more than a double
// holds, so that a cumulative time could not be stored.
bool ValidateTotal(const std::vector<double>& values, DataType type);

}  // namespace tamsel
