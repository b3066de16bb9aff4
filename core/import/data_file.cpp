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
