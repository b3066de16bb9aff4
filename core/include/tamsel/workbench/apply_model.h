// Applying one model to one dataset: read what the fit needs from the project file, run the
// model's prequential fit, and store the estimates set whole or not at all.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>

#include "tamsel/models/model_table.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"

namespace tamsel {

struct ApplyModelResult {
    enum class Outcome {
        Stored,     // the set and all its rows are stored; estimatesSetId is its key
        Cancelled,  // the user cancelled; nothing stored
        Exists,     // the dataset has a set of this model, range and method already; nothing fitted
        Refused,    // the model cannot be applied to this dataset and range; nothing fitted
        Failed,     // an arithmetic fault, or the file could not be read or written; nothing stored
    };
    Outcome outcome = Outcome::Failed;
    int estimatesSetId = 0;
    // The message this routine showed; empty when Stored, and when a lookup of the store
    // failed and showed its own.
    std::string message;
    // When Stored: how the fits ended, as FitSummary words it ("117 fits: 114 converged, 3 at
    // a limit").
    std::string fitSummary;
    // When Stored: the failures the set runs over.
    int rangeStart = 0;
    int rangeEnd = 0;
};

// Fits model modelNumber (1..8) to the dataset over the range rangeId with the settings of
// inferenceMethodId, at every failure index of the range, and stores one estimates set with
// one row per index in a single transaction, and reports progress per index through control.
// The cancel flag is the caller's: one already set stops the run before anything is stored. A fault
// that a fit worked round (Duane's mean by Crow's estimate) shows its message. Every outcome but
// Stored shows its message through the sink: "The calculation was cancelled by user action"
// (information) on cancel; a refusal before any fit when the range does not fit the dataset (fewer
// failures than the range start, for example) or the model does not accept it (Duane from failure
// 1); one message naming the model and the failure index on an arithmetic fault; one when the set
// cannot be stored. A set of this model, range and inference method that exists already is
// not fitted again: "The selected model is already available for the current data set"
// (Exists). The indices are fitted on threads worker threads (every hardware thread by default);
// the stored values are the same to the bit whatever their number.
ApplyModelResult ApplyModel(Database& db, int dataSetId, int modelNumber, int rangeId,
                            int inferenceMethodId, const RunControl& control,
                            int threads = kHardwareThreads);

// Applies each model of modelNumbers in turn as ApplyModel does, each set stored in its own
// transaction, with the same results and messages. Every model is checked first and the
// failure times are read once; then the sets are stored on a thread of their own, one after
// another, while the next models are fitted on the calling thread and its helpers. Before model
// k is fitted started(k) is called, and applied(k, result) once its result is known, in the
// order of the models and always on the calling thread. db is then in use by the storing thread
// when the result is Stored, and by nothing else when it is not. applied returns false to apply
// no more models: none is fitted after, and a fitted set not yet stored is dropped. Sets are
// stored one after another without waiting for their reports, so after a Stored result that
// stops, a set fitted meanwhile may be stored already, and is not reported.
void ApplyModels(Database& db, int dataSetId, std::span<const int> modelNumbers, int rangeId,
                 int inferenceMethodId, const RunControl& control, int threads,
                 const std::function<void(std::size_t)>& started,
                 const std::function<bool(std::size_t, const ApplyModelResult&)>& applied);

}  // namespace tamsel
