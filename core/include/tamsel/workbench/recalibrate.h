// Recalibrating an estimates set: read its raw predictions, run the spline recalibration,
// turn the recalibrated levels into quartiles with the model's own percentile routine, and
// store one predictions set whole or not at all.
#pragma once

#include <string>

#include "tamsel/recalibration/recalibration.h"
#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"

namespace tamsel {

// The recalibration method used unless another is chosen.
inline constexpr int kDefaultRecalibrationMethodId = 1;

struct RecalibrationResult {
    enum class Outcome {
        Stored,     // the predictions set and its rows are stored; predictionsSetId is its key
        Cancelled,  // the user cancelled; nothing stored
        Exists,     // the set has been recalibrated with this method already; nothing run
        Refused,    // the set cannot be recalibrated (too short); nothing run
        Failed,     // the last fit failed, arithmetic or the file failed; nothing stored
    };
    Outcome outcome = Outcome::Failed;
    int predictionsSetId = 0;
    // The message this routine showed; empty when Stored, and when a lookup of the store
    // failed and showed its own.
    std::string message;
};

// Recalibrates estimates set estimatesSetId with recalibration method recalibrationMethodId
// over the set's range, unless that pair has been recalibrated already ("This recalibration
// is already available for the current dataset", Exists). Looks up the model, range and
// method settings in the file; a failed lookup has shown the store's message.
//
// The predictions for failure indexes start..end - 1 are recalibrated and stored as a
// predictions set with rows for start + offset..end - 1 (MTTF Null) in one transaction.
// Shows "The recalibration was cancelled by user action" on cancel, "An error occurred in
// the CubSpl function during the recalibration" when the last fit failed, and "An error
// occurred in the recalibration" when the file cannot be read or written or a value is not
// finite. A set with too few predictions for a first recalibrated one, or whose first offset
// predictions give fewer than four distinct u-values inside (0, 1), is refused with a
// message: its rows would hold no recalibration.
RecalibrationResult ApplyRecalibration(Database& db, int estimatesSetId, int recalibrationMethodId,
                                       const RunControl& control);

}  // namespace tamsel
