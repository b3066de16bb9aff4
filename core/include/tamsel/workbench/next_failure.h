// The Next failure command: the predictive distribution function and density of the time to
// the next failure, from the last fit of the current estimates set, recalibrated for a
// recalibrated set. Nothing is stored.
#pragma once

#include <optional>

#include "tamsel/prediction/next_failure.h"
#include "tamsel/store/database.h"
#include "tamsel/support/selection.h"
#include "tamsel/workbench/forecast.h"

namespace tamsel {

// NextFailureAt with its refusals shown: a negative or non-finite s ("The time to the next
// failure must be a finite number of 0 or more."), Jelinski-Moranda with N = kInfiniteFaults
// exactly
// ("Limit case, next prediction not evaluated"), a model number outside 1 to 8 ("An error
// occurred while computing the next failure for the estimates set"), and a result that is not
// finite ("An error occurred while computing the next failure for the <code> model", <code>
// the model's code); each gives nullopt.
std::optional<NextFailurePrediction> EvaluateNextFailure(const NextFailureFit& fit, double s);

// The fit of the last row of the estimates set, with the cumulative time of that row's
// failure. A failed lookup shows its message ("An error occurred while extracting the model
// parameters" for the row, "An error occurred while extracting the last cumulative time" for
// the time) and gives nullopt.
std::optional<NextFailureFit> ReadNextFailureFit(Database& db, int estimatesSetId);

// The next failure of a recalibrated set at its basis: the raw predictive distribution at s
// passed through the recalibrating function, with the refusals of EvaluateNextFailure.
std::optional<NextFailurePrediction> PredictRecalibratedNextFailure(const ForecastBasis& basis,
                                                                    double s);

// The Submit command for time s and the current selection: the checks of EvaluateNextFailure
// on s, then for a raw set the lookups of ReadNextFailureFit and the evaluation, for a
// recalibrated set those of LoadForecastBasis at its last failure index and
// PredictRecalibratedNextFailure.
std::optional<NextFailurePrediction> PredictNextFailure(Database& db,
                                                        const CurrentSelection& selection,
                                                        double s);

}  // namespace tamsel
