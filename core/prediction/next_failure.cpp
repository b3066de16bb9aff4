#include "tamsel/prediction/next_failure.h"

#include <cmath>

#include "tamsel/models/model_table.h"

namespace tamsel {

bool IsNextFailureTime(double s) { return std::isfinite(s) && s >= 0.0; }

NextFailureResult NextFailureAt(const NextFailureFit& fit, double s) {
    if (!IsNextFailureTime(s)) return {NextFailureStatus::InvalidTime, {}};
    const ModelInfo* model = FindModel(fit.modelNumber);
    if (!model) return {NextFailureStatus::UnknownModel, {}};
    const StoredFit stored{fit.failureIndex, fit.param1, fit.param2,
                           fit.param3,       0.0,        fit.cumulativeTime};
    if (model->predictive->noNextPrediction && model->predictive->noNextPrediction(stored)) {
        return {NextFailureStatus::LimitCase, {}};
    }
    const PredictivePoint point = model->predictive->at(stored, s);
    if (!std::isfinite(point.cdf) || !std::isfinite(point.pdf)) {
        return {NextFailureStatus::NotFinite, {}};
    }
    return {NextFailureStatus::Evaluated, {point.cdf, point.pdf}};
}

}  // namespace tamsel
