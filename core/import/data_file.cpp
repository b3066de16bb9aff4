#include "tamsel/import/data_file.h"

#include <cmath>

#include "tamsel/support/messages.h"

namespace tamsel {

std::string DataFaultMessage(DataFault fault, bool whileReading, std::string_view detail) {
    std::string_view first = whileReading ? "An error occurred while reading data from file."
                                          : "An error has occurred during data validation.";
    std::string_view second = "Data in unknown format. Please check format or select another file.";
    switch (fault) {
        case DataFault::NoData:
            second = "File contains no data.";
            break;
        case DataFault::NotNumeric:
            second = "Data is not numeric. Please check data or select another file.";
            break;
        case DataFault::Negative:
            second = "File contains negative data.";
            break;
        case DataFault::TooManyZeros:
            second = "File contains too many zeros.";
            break;
        case DataFault::IncompleteItem:
            second = "Invalid number of data. Please check data or select another file.";
            break;
        case DataFault::TooManyData:
            second =
                "Too many data. Please reduce the number of interfailure times in the data file.";
            break;
        case DataFault::OutOfRange:
            second = "Data out of range. Please check data or select another file.";
            break;
        case DataFault::NotReadable:
            second = "The file cannot be read.";
            break;
        case DataFault::UnknownFormat:
            break;
    }
    return detail.empty() ? JoinLines({first, second}) : JoinLines({first, second, detail});
}

namespace {

// The interfailure times of values read as type that are 0.
std::size_t ZeroCount(const std::vector<double>& values, DataType type) {
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        double previous = (type == DataType::Cumulative && i > 0) ? values[i - 1] : 0.0;
        if (values[i] == previous) ++zeros;
    }
    return zeros;
}

// zeros / n > 0.1, in integers so that exactly one zero in ten passes.
bool TooManyZeros(std::size_t zeros, std::size_t count) { return zeros * 10 > count; }

}  // namespace

DataType DetectDataType(const std::vector<double>& values) {
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (values[i] < values[i - 1]) return DataType::Interfailure;
    }
    return DataType::Cumulative;
}

AutomaticType DetectAutomaticType(const std::vector<double>& values) {
    const DataType detected = DetectDataType(values);
    if (detected == DataType::Interfailure) return {detected, {}};
    const std::size_t repeats = ZeroCount(values, DataType::Cumulative);
    if (!TooManyZeros(repeats, values.size()) ||
        TooManyZeros(ZeroCount(values, DataType::Interfailure), values.size())) {
        return {detected, {}};
    }
    return {DataType::Interfailure,
            "read the values as interfailure times although they never decrease: as cumulative "
            "times " +
                std::to_string(repeats) + " of the " + std::to_string(values.size()) +
                " would repeat their predecessor, failures at the same moment, where at most one "
                "in ten may"};
}

bool ValidateZeros(const std::vector<double>& values, DataType type) {
    const std::size_t zeros = ZeroCount(values, type);
    if (!TooManyZeros(zeros, values.size())) return true;
    ShowMessage(DataFaultMessage(
        DataFault::TooManyZeros, false,
        std::to_string(zeros) + " of the " + std::to_string(values.size()) +
            (type == DataType::Cumulative ? " cumulative times repeat their predecessor"
                                          : " interfailure times are 0") +
            "; at most one in ten may. Remove the repeated failures or correct their times."));
    return false;
}

bool ValidateTotal(const std::vector<double>& values, DataType type) {
    if (type == DataType::Cumulative) return true;
    double total = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        total += values[i];
        if (std::isfinite(total)) continue;
        ShowMessage(DataFaultMessage(
            DataFault::OutOfRange, false,
            "Failure " + std::to_string(i + 1) +
                ": the sum of the interfailure times up to it passes the largest number that "
                "can be stored (about 1.8e308). Write the times in a larger unit."));
        return false;
    }
    return true;
}

}  // namespace tamsel
