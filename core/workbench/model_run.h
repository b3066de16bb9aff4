// The part of applying a model that extending a set shares: its settings, the fits over some
// failure indices with progress, and the words for a run that did not complete.
#pragma once

#include <optional>
#include <string>

#include "tamsel/models/model_table.h"
#include "tamsel/store/database.h"

namespace tamsel {

// The minimisation settings of the inference method for the model; nullopt after the store's
// message.
std::optional<MinimisationSettings> ModelSettings(Database& db, const ModelInfo& model,
                                                  int inferenceMethodId);

// Fits model at failure indices from..to of the series x, t (failure-indexed, ending at failure
// to) into estimates (see RunPrequential), with progress over from..to; then shows, in index
// order, the faults that the fits worked round.
EstimationResult FitIndices(const ModelInfo& model, const FailureSeries& x, const FailureSeries& t,
                            std::int32_t from, std::int32_t to,
                            const MinimisationSettings& settings, EstimatesArray& estimates,
                            const RunControl& control, int threads);

// Why failures from..to cannot be fitted in the unit their times are written in, or nothing when
// they can: every cumulative time fitted must lie between kSmallestTimeScale and
// kLargestTimeScale (zeros aside), where the stored stand-ins (1e30 for an unbounded quartile
// or rate, 1e-30 for a vanishing one) and the homogeneous limit's a = 1e30 stay far from every
// real value; and every interfailure time of the fits' windows (1..to) is 0 or at least
// kSmallestInterfailureTime, so that the ratio of any two of them, which the models' limits
// take as a parameter and its inverse, stays within the doubles.
inline constexpr double kSmallestTimeScale = 1e-20;
inline constexpr double kLargestTimeScale = 1e20;
inline constexpr double kSmallestInterfailureTime = 1e-280;
std::optional<std::string> TimeScaleRefusal(const FailureSeries& x, const FailureSeries& t,
                                            std::int32_t from, std::int32_t to);

// What the user is told of a run that did not complete (cancelled, or an arithmetic fault
// naming the model and the index); nullopt for a completed run. Shows nothing.
std::optional<std::string> RunEndMessage(const ModelInfo& model, const EstimationResult& run);

}  // namespace tamsel
