// The part of recalibrating that extending a set shares: computing a recalibration's rows from
// what the project file holds, apart from storing them.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "tamsel/recalibration/recalibration.h"
#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"
#include "tamsel/store/sets.h"
#include "tamsel/workbench/recalibrate.h"

namespace tamsel {

// One recalibration: the estimates set, its model, the failure indexes start..end of its
// range and the method with its settings.
struct RecalibrationRun {
    int estimatesSetId = 0;
    int dataSetId = 0;
    int modelId = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    int recalibrationMethodId = 0;
    SplineSettings settings;
};

RecalibrationRun MakeRecalibrationRun(const EstimatesSetInfo& set,
                                      const RecalibrationMethodInfo& method);

// The arrays StorePredictionsSet takes for the run's rows.
struct RecalibratedRows {
    std::vector<double> cdf;
    std::vector<double> pdf;
    std::vector<double> lowQ;
    std::vector<double> median;
    std::vector<double> uppQ;
};

// Reads the set's raw predictions and recalibrates them, or gives the outcome (Refused,
// Cancelled or Failed) after showing its message as ApplyRecalibration does.
std::variant<RecalibratedRows, RecalibrationResult> RecalibrateRows(Database& db,
                                                                    const RecalibrationRun& run,
                                                                    const RunControl& control);

}  // namespace tamsel
