#include "tamsel/prediction/next_failure.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <string>

#include "tamsel/models/du_model.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/model_table.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"
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

// The Pareto time with survival (scale / (scale + s))^shape, as Li, LV and KL predict it. The
// survival is taken through its logarithm so that a small U keeps its digits.
NextFailurePrediction Pareto(double s, double shape, double scale) {
    const double logSurvival = -shape * std::log1p(s / scale);
    return {-std::expm1(logSurvival), shape * std::exp(logSurvival) / (scale + s)};
}

// Everything but Jelinski-Moranda's limit case, which is refused before.
NextFailurePrediction Evaluate(const NextFailureFit& fit, double s) {
    const double n = fit.failureIndex;
    const double t = fit.cumulativeTime;
    const double p1 = fit.param1;
    const double p2 = fit.param2;
    const double p3 = fit.param3;
    switch (fit.modelNumber) {
        case 1: {  // JM: N, Lambda
            if (p1 <= n) return {0.0, kVanishing};
            const double rate = (p1 - n) * p2;
            return {-std::expm1(-rate * s), rate * std::exp(-rate * s)};
        }
        case 2: {  // Du: Beta, Alpha
            double survival = 0.0;
            const double u = CdfDu(t, s, p1, p2, survival);
            return {u, survival * p1 * p2 * Power(t + s, p1 - 1.0)};
        }
        case 3: {  // MO: a, beta0
            const double survival = Power((p1 + t) / (p1 + t + s), p2);
            return {1.0 - survival, survival * p2 / (p1 + t + s)};
        }
        case 4: {  // GO: Mu, Phi, and the rate of the homogeneous limit
            if (p1 == kInfiniteFaults) return {CdfHpp(s, p3), p3 * std::exp(-p3 * s)};
            if (p2 == 0.0) return {0.0, kVanishing};
            double survival = 0.0;
            const double u = CdfGO(t, s, p2, p1, survival);
            return {u, p1 * p2 * std::exp(-p2 * (t + s)) * survival};
        }
        case 5:  // Li: N, Alpha, Beta
            return Pareto(s, (p1 - n) * p2, p3 + t);
        case 6: {  // LNHPP: Mu, Alpha, Beta
            // ln R(T) and ln(R(T + s) / R(T)) of R(x) = (1 + x / Beta)^(-Alpha).
            const double logAtT = -p2 * std::log1p(t / p3);
            const double logDecay = -p2 * std::log1p(s / (p3 + t));
            const double expected = -p1 * std::exp(logAtT) * std::expm1(logDecay);
            const double survival = SafeExp(-expected);
            return {-std::expm1(-expected),
                    survival * p2 * p1 * std::exp(logAtT + logDecay) / (p3 + t + s)};
        }
        case 7:  // LV: Alpha, Beta1, Beta2
            return Pareto(s, p1, p2 + p3 * n);
        default:  // KL: Alpha1, Alpha2, Beta
            return Pareto(s, 1.0 / (p1 + p2 * n), p3);
    }
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

bool UsesCurrentTime(int modelNumber) { return modelNumber >= 2 && modelNumber <= 6; }

}  // namespace

std::optional<NextFailurePrediction> EvaluateNextFailure(const NextFailureFit& fit, double s) {
    if (!TimeIsValid(s)) return std::nullopt;
    const ModelInfo* model = FindModel(fit.modelNumber);
    if (!model) {
        ShowMessage("An error occurred while computing the next failure for the estimates set");
        return std::nullopt;
    }
    if (fit.modelNumber == 1 && fit.param1 == kInfiniteFaults) {
        ShowMessage("Limit case, next prediction not evaluated");
        return std::nullopt;
    }
    const NextFailurePrediction prediction = Evaluate(fit, s);
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
    if (!UsesCurrentTime(fit.modelNumber)) return fit;

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
