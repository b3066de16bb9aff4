#include "tamsel/workbench/next_failure.h"

#include <string>

#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

constexpr const char* kCumulativeTimeFailure =
    "An error occurred while extracting the last cumulative time";
constexpr const char* kInvalidTime = "The time to the next failure must be a number of 0 or more.";

}  // namespace

std::optional<NextFailurePrediction> EvaluateNextFailure(const NextFailureFit& fit, double s) {
    const NextFailureResult result = NextFailureAt(fit, s);
    switch (result.status) {
        case NextFailureStatus::Evaluated:
            return result.prediction;
        case NextFailureStatus::InvalidTime:
            ShowMessage(kInvalidTime);
            break;
        case NextFailureStatus::UnknownModel:
            ShowMessage("An error occurred while computing the next failure for the estimates set");
            break;
        case NextFailureStatus::LimitCase:
            ShowMessage("Limit case, next prediction not evaluated");
            break;
        case NextFailureStatus::NotFinite:
            ShowMessage("An error occurred while computing the next failure for the " +
                        std::string(FindModel(fit.modelNumber)->code) + " model");
            break;
    }
    return std::nullopt;
}

std::optional<NextFailureFit> ReadNextFailureFit(Database& db, int estimatesSetId) {
    std::optional<EstimatesSetInfo> set = GetEstimatesSet(db, estimatesSetId);
    if (!set) return std::nullopt;
    std::optional<LastParameters> last = GetLastParameters(db, "Estimates", estimatesSetId);
    if (!last) return std::nullopt;
    NextFailureFit fit{set->modelNumber, last->failureIndex, last->param1,
                       last->param2,     last->param3,       0.0};
    const ModelInfo* model = FindModel(fit.modelNumber);
    if (!model || !model->usesCurrentTime) return fit;

    FailureSeries x;
    FailureSeries t;
    if (!ReadFailureTimes(db, set->dataSetId, x, t) || fit.failureIndex < 1 ||
        static_cast<std::size_t>(fit.failureIndex) >= t.size()) {
        ShowMessage(kCumulativeTimeFailure);
        return std::nullopt;
    }
    fit.cumulativeTime = t[static_cast<std::size_t>(fit.failureIndex)];
    return fit;
}

std::optional<NextFailurePrediction> PredictNextFailure(Database& db,
                                                        const CurrentSelection& selection,
                                                        double s) {
    if (selection.recalibrated) return std::nullopt;
    if (!IsNextFailureTime(s)) {
        ShowMessage(kInvalidTime);
        return std::nullopt;
    }
    std::optional<NextFailureFit> fit = ReadNextFailureFit(db, selection.estimatesSetId);
    if (!fit) return std::nullopt;
    return EvaluateNextFailure(*fit, s);
}

}  // namespace tamsel
