#include "tamsel/prediction/next_failure.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <string>

#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

constexpr const char* kCumulativeTimeFailure =
    "An error occurred while extracting the last cumulative time";

bool TimeIsValid(double s) {
    if (std::isfinite(s) && s >= 0.0) return true;
    ShowMessage("The time to the next failure must be a number of 0 or more.");
    return false;
}

std::optional<int> IntegerLookup(Database& db, const std::string& field, int estimatesSetId) {
    std::optional<std::string> text =
        SelectValue(db, field, "EstimatesSetID", std::int64_t{estimatesSetId}, "EstimatesSets");
    if (!text) return std::nullopt;
    try {
        return std::stoi(*text);
    } catch (const std::exception&) {
        ShowMessage("An error occurred while computing the next failure");
        return std::nullopt;
    }
}

StoredFit Stored(const NextFailureFit& fit) {
    return {fit.failureIndex, fit.param1, fit.param2, fit.param3, 0.0, fit.cumulativeTime};
}

}  // namespace

std::optional<NextFailurePrediction> EvaluateNextFailure(const NextFailureFit& fit, double s) {
    if (!TimeIsValid(s)) return std::nullopt;
    const ModelInfo* model = FindModel(fit.modelNumber);
    if (!model) {
        ShowMessage("An error occurred while computing the next failure for the estimates set");
        return std::nullopt;
    }
    const StoredFit stored = Stored(fit);
    if (model->predictive->noNextPrediction && model->predictive->noNextPrediction(stored)) {
        ShowMessage("Limit case, next prediction not evaluated");
        return std::nullopt;
    }
    const PredictivePoint point = model->predictive->at(stored, s);
    const NextFailurePrediction prediction{point.cdf, point.pdf};
    if (!std::isfinite(prediction.u) || !std::isfinite(prediction.pdf)) {
        ShowMessage("An error occurred while computing the next failure for the " +
                    std::string(model->code) + " model");
        return std::nullopt;
    }
    return prediction;
}

std::optional<NextFailureFit> ReadNextFailureFit(Database& db, int estimatesSetId) {
    std::optional<int> modelNumber = IntegerLookup(db, "ModelID", estimatesSetId);
    if (!modelNumber) return std::nullopt;
    std::optional<LastParameters> last = GetLastParameters(db, "Estimates", estimatesSetId);
    if (!last) return std::nullopt;
    NextFailureFit fit{*modelNumber, last->failureIndex, last->param1,
                       last->param2, last->param3,       0.0};
    const ModelInfo* model = FindModel(fit.modelNumber);
    if (!model || !model->usesCurrentTime) return fit;

    std::optional<int> dataSetId = IntegerLookup(db, "DataSetID", estimatesSetId);
    if (!dataSetId) return std::nullopt;
    FailureSeries x;
    FailureSeries t;
    if (!ReadFailureTimes(db, *dataSetId, x, t) || fit.failureIndex < 1 ||
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
    if (selection.recalibrated || !TimeIsValid(s)) return std::nullopt;
    std::optional<NextFailureFit> fit = ReadNextFailureFit(db, selection.estimatesSetId);
    if (!fit) return std::nullopt;
    return EvaluateNextFailure(*fit, s);
}

}  // namespace tamsel
