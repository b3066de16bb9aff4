#include "tamsel/workbench/next_failure.h"

#include <cmath>
#include <string>

#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

constexpr const char* kCumulativeTimeFailure =
    "An error occurred while extracting the last cumulative time";
constexpr const char* kInvalidTime =
    "The time to the next failure must be a finite number of 0 or more.";
constexpr const char* kLimitCase = "Limit case, next prediction not evaluated";

std::string NotFiniteText(int modelNumber) {
    return "An error occurred while computing the next failure for the " +
           std::string(FindModel(modelNumber)->code) + " model";
}

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
            ShowMessage(kLimitCase);
            break;
        case NextFailureStatus::NotFinite:
            ShowMessage(NotFiniteText(fit.modelNumber));
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

std::optional<NextFailurePrediction> PredictRecalibratedNextFailure(const ForecastBasis& basis,
                                                                    double s) {
    if (!IsNextFailureTime(s)) {
        ShowMessage(kInvalidTime);
        return std::nullopt;
    }
    const Predictive& predictive = *basis.model->predictive;
    if (predictive.noNextPrediction && predictive.noNextPrediction(basis.fit)) {
        ShowMessage(kLimitCase);
        return std::nullopt;
    }
    const PredictivePoint point = RecalibratedAt(*basis.model, basis.fit, *basis.recalibration, s);
    if (!std::isfinite(point.cdf) || !std::isfinite(point.pdf)) {
        ShowMessage(NotFiniteText(basis.model->number));
        return std::nullopt;
    }
    return NextFailurePrediction{point.cdf, point.pdf};
}

std::optional<NextFailurePrediction> PredictNextFailure(Database& db,
                                                        const CurrentSelection& selection,
                                                        double s) {
    if (!IsNextFailureTime(s)) {
        ShowMessage(kInvalidTime);
        return std::nullopt;
    }
    if (selection.recalibrated) {
        std::optional<ForecastBasis> basis =
            LoadForecastBasis(db, CurrentSetRef(selection), std::nullopt);
        if (!basis) return std::nullopt;
        return PredictRecalibratedNextFailure(*basis, s);
    }
    std::optional<NextFailureFit> fit = ReadNextFailureFit(db, selection.estimatesSetId);
    if (!fit) return std::nullopt;
    return EvaluateNextFailure(*fit, s);
}

}  // namespace tamsel
