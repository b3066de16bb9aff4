// Recalibrating an estimates set: read its raw predictions, run the spline recalibration,
// turn the recalibrated levels into quartiles with the model's own percentile routine, and
// store one predictions set whole or not at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/recalibration/cub_spl.h"
#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"

namespace tamsel {

// The leading raw predictions of a set that only feed the recalibration.
inline constexpr std::int32_t kRecalibrationOffset = 15;

// What the quartiles of model numbers 1..8 need of the raw set, indexed k = 1..M like the
// levels (element 0 unused): the parameters and median of the fit at failure index
// start + k - 1, and the cumulative time of that failure (Du, MO, GO, Li and LNHPP).
struct RawFits {
    std::vector<double> param1;
    std::vector<double> param2;
    std::vector<double> param3;
    std::vector<double> median;
    std::vector<double> cumulativeTime;
};

struct QuartileArrays {
    std::vector<double> lowQ;
    std::vector<double> median;
    std::vector<double> uppQ;
    std::int32_t levelFaults = 0;  // levels outside [0, 1], each of which gave the quartile 0
};

// The recalibrated quartiles for k = offset + 1..M (0 elsewhere): each model's percentile
// routine at the recalibrated levels with the parameters of row k, with the model's limit
// cases (Li with no shape: kInfiniteQuartile; LV and KL with no scale or shape: kVanishing). A JM
// rate is recovered from the stored median, ln 2 / median, so that both of its limit cases come out
// right: a vanishing rate gives kInfiniteQuartile. A level outside [0, 1] gives 0 and is counted in
// levelFaults. nullopt for a model number outside 1..8.
std::optional<QuartileArrays> RecalibratedQuartiles(int modelId, std::int32_t start,
                                                    std::int32_t offset, const RawFits& fits,
                                                    const SplineRecalibration& levels);

// One recalibration: the estimates set, its model, the failure indexes start..end of its
// range and the method with its settings.
struct RecalibrationRun {
    int estimatesSetId = 0;
    int modelId = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    int recalibrationMethodId = 0;
    SplineSettings settings;
};

struct RecalibrationResult {
    enum class Outcome {
        Stored,     // the predictions set and its rows are stored; predictionsSetId is its key
        Cancelled,  // the user cancelled; nothing stored
        Refused,    // the set cannot be recalibrated (already done, too short); nothing run
        Failed,     // the last fit failed, arithmetic or the file failed; nothing stored
    };
    Outcome outcome = Outcome::Failed;
    int predictionsSetId = 0;
    // The message this routine showed; empty when Stored, and when a lookup of the store
    // failed and showed its own.
    std::string message;
};

// Recalibrates the set's predictions for failure indexes start..end - 1 and stores a
// predictions set with rows for start + offset..end - 1 (MTTF Null) in one transaction.
// Shows "The recalibration was cancelled by user action" on cancel, "An error occurred in
// the CubSpl function during the recalibration" when the last fit failed, and "An error
// occurred in the recalibration" when the file cannot be read or written or a value is not
// finite. A set with too few predictions for a first recalibrated one, or whose first offset
// predictions give fewer than four distinct u-values inside (0, 1), is refused with a
// message: its rows would hold no recalibration.
RecalibrationResult Recalibrate(Database& db, const RecalibrationRun& run,
                                const RunControl& control);

// Recalibrates estimates set estimatesSetId with recalibration method recalibrationMethodId
// over the set's range, unless that pair has been recalibrated already ("This recalibration
// is already available for the current dataset", Refused). Looks up the model, range and
// method settings in the file; a failed lookup has shown the store's message.
RecalibrationResult ApplyRecalibration(Database& db, int estimatesSetId, int recalibrationMethodId,
                                       const RunControl& control);

// Whether the dataset named dataSetName has an estimates set to recalibrate. Shows "There
// are no estimates calculated for the current dataset." and "Please, apply a model first."
// when it has none (or the store's message when it cannot be read).
bool EstimatesAvailable(Database& db, const std::string& dataSetName);

}  // namespace tamsel
