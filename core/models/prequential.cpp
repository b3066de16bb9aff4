#include "tamsel/models/prequential.h"

#include <array>
#include <cmath>
#include <exception>
#include <string_view>

namespace tamsel {
namespace {

// The name of the first field of record that is not finite, or empty when all are.
std::string_view NonFiniteField(const EstimateRecord& record) {
    const std::array<std::pair<std::string_view, double>, 10> fields{{
        {"Param1", record.param1},
        {"Param2", record.param2},
        {"Param3", record.param3},
        {"LogLhd", record.logLhd},
        {"Pdf", record.pdf},
        {"Cdf", record.cdf},
        {"LowQ", record.lowQ},
        {"Median", record.median},
        {"UppQ", record.uppQ},
        {"MTTF", record.mttf},
    }};
    for (const auto& [name, value] : fields) {
        if (!std::isfinite(value)) return name;
    }
    return {};
}

}  // namespace

EstimationResult RunPrequential(std::int32_t rangeStart, std::int32_t rangeEnd, const IndexFit& fit,
                                EstimatesArray& estimates, const RunControl& control) {
    estimates.assign(static_cast<std::size_t>(rangeEnd) + 1, EstimateRecord{});
    for (std::int32_t i = rangeStart; i <= rangeEnd; ++i) {
        EstimateRecord record;
        try {
            record = fit(i);
        } catch (const std::exception& error) {
            return {EstimationStatus::ArithmeticFault, i, error.what()};
        } catch (...) {
            return {EstimationStatus::ArithmeticFault, i, "an unknown error"};
        }
        if (std::string_view field = NonFiniteField(record); !field.empty()) {
            return {EstimationStatus::ArithmeticFault, i,
                    std::string(field) + " is not a finite number"};
        }
        estimates[i] = record;
        control.StepProgress(i);
        if (control.CancelRequested()) return {EstimationStatus::Cancelled, 0, {}};
    }
    return {};
}

}  // namespace tamsel
