// The next-failure calculator: how likely the next failure is within a time s, from the last
// fit of an estimates set. Nothing is stored.
#pragma once

#include <optional>

#include "tamsel/store/database.h"
#include "tamsel/support/selection.h"

namespace tamsel {

// The last fit of an estimates set.
struct NextFailureFit {
    int modelNumber = 0;   // ModelID, 1 to 8
    int failureIndex = 0;  // n, the last failure the set was fitted on
    double param1 = 0.0;
    double param2 = 0.0;
    double param3 = 0.0;
    // T, the cumulative time of failure n exactly; used by Du, MO, GO, Li and LNHPP.
    double cumulativeTime = 0.0;
};

struct NextFailurePrediction {
    double u = 0.0;    // the predictive distribution function at s
    double pdf = 0.0;  // the predictive density at s
};

// The predictive distribution function and density at s of the time to the next failure
// after failure n under fit, with the limit conventions of the stored estimates (a density of
// kVanishing where it vanishes, a distribution function of 1 where its exponent is below -700).
// Refusals show their message and give nullopt: a negative or non-finite s ("The time to
// the next failure must be a number of 0 or more."), Jelinski-Moranda with N = kInfiniteFaults
// exactly ("Limit case, next prediction not evaluated"), a model number outside 1 to 8 ("An
// error occurred while computing the next failure for the estimates set"), and a result that
// is not finite ("An error occurred while computing the next failure for the <code> model",
// <code> the model's code).
std::optional<NextFailurePrediction> EvaluateNextFailure(const NextFailureFit& fit, double s);

// The fit of the last row of the estimates set, with the cumulative time of that row's
// failure. A failed lookup shows its message ("An error occurred while extracting the model
// parameters" for the row, "An error occurred while extracting the last cumulative time" for
// the time) and gives nullopt.
std::optional<NextFailureFit> ReadNextFailureFit(Database& db, int estimatesSetId);

// The Submit command for time s and the current selection: nothing (nullopt, no message)
// when a recalibrated set is current; otherwise the checks of EvaluateNextFailure on s, the
// lookups of ReadNextFailureFit and the evaluation.
std::optional<NextFailurePrediction> PredictNextFailure(Database& db,
                                                        const CurrentSelection& selection,
                                                        double s);

}  // namespace tamsel
