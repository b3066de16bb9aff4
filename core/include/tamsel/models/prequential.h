// The prequential loop that every model shares: one fit per failure index of a range, with
// progress, cancel and a check that nothing non-finite is stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tamsel/models/records.h"
#include "tamsel/support/progress.h"

namespace tamsel {

// How an estimation run ended. The numbers of the first two are the historical status codes.
enum class EstimationStatus : std::int16_t { Completed = 0, Cancelled = 2, ArithmeticFault = 3 };

struct EstimationResult {
    EstimationStatus status = EstimationStatus::Completed;
    // For ArithmeticFault: the failure index whose fit failed and what went wrong.
    std::int32_t faultIndex = 0;
    std::string faultDetail;
};

// The fit of one model at failure index i: a pure function of the data, i and the settings
// (shared running sums are precomputed, nothing is carried from one index to the next), so
// that indices may be fitted in any order and on any thread with the same bits as a result.
using IndexFit = std::function<EstimateRecord(std::int32_t i)>;

// Fits rangeStart..rangeEnd in increasing order into estimates, which is resized to
// rangeEnd + 1 and cleared (indexed by failure index). After each index it steps the
// progress and stops with Cancelled when a cancel was requested. A record holding a value
// that is not finite, or a fit that throws, stops the run with ArithmeticFault naming the
// index; the records are then incomplete and must not be stored.
// Requires 1 <= rangeStart <= rangeEnd.
EstimationResult RunPrequential(std::int32_t rangeStart, std::int32_t rangeEnd, const IndexFit& fit,
                                EstimatesArray& estimates, const RunControl& control);

}  // namespace tamsel
