// The eight models as the program knows them: number, code, names, how each is fitted and
// what it predicts. A new model is its own file and one line of the table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "tamsel/models/failure_process.h"
#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"

namespace tamsel {

// A model's estimation routine: fits rangeStart..rangeEnd of the failure-indexed
// interfailure times x and cumulative times t into estimates (see RunPrequential).
using EstimateFunction = EstimationResult (*)(const FailureSeries& x, const FailureSeries& t,
                                              std::int32_t rangeStart, std::int32_t rangeEnd,
                                              const MinimisationSettings& settings,
                                              EstimatesArray& estimates, const RunControl& control);

// A model's fit at each failure index up to rangeEnd, for RunPrequential; x and t must
// outlive it. Models that do not use t or the settings ignore them.
using PrepareFunction = IndexFit (*)(const FailureSeries& x, const FailureSeries& t,
                                     std::int32_t rangeEnd, const MinimisationSettings& settings);

enum class Minimiser { ClosedForm, OneDimensional, MultiDimensional };

struct ModelInfo {
    int number;                                      // ModelID
    std::string_view code;                           // Model: "JM", "Du", ...
    std::string_view name;                           // the name the user picks the model by
    std::array<std::string_view, 3> parameterNames;  // empty where the model has none
    Minimiser minimiser;
    std::int32_t firstFailureIndex;  // the smallest range start the model accepts
    EstimateFunction estimate;
    PrepareFunction prepare;
    bool usesCurrentTime;  // whether its predictive distribution reads T, the time of failure n
    const Predictive* predictive;
    const FailureProcess* process;
};

// The models 1..8 in number order.
std::span<const ModelInfo> ModelTable();

// The model with this number, or null.
const ModelInfo* FindModel(int number);

// The model named by text: its code without regard to case ("jm", "LNHPP") or its number
// ("1".."8"). Null for anything else.
const ModelInfo* FindModel(std::string_view text);

}  // namespace tamsel
