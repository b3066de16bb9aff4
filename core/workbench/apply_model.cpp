#include "tamsel/workbench/apply_model.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "keep_work.h"
#include "model_run.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/writers.h"
#include "tamsel/support/messages.h"
#include "tamsel/workbench/fit_outcomes.h"

namespace tamsel {
namespace {

using Outcome = ApplyModelResult::Outcome;

constexpr const char* kAlreadyAvailable =
    "The selected model is already available for the current data set";

ApplyModelResult Report(Outcome outcome, std::string message,
                        MessageIcon icon = MessageIcon::None) {
    ShowMessage(message, icon);
    return {outcome, 0, std::move(message), {}};
}

std::string ModelTitle(const ModelInfo& model) {
    return "the " + std::string(model.name) + " model";
}

// Why the model cannot be fitted over the range of the dataset, or nothing when it can.
std::optional<std::string> RangeRefusal(const ModelInfo& model, const RangeInfo& range) {
    std::string start = std::to_string(range.rangeStart);
    std::string end = std::to_string(range.rangeEnd);
    std::string failures = std::to_string(range.dataNumber);
    std::string cannot = "The " + std::string(model.name) + " model cannot be applied: ";
    std::string invalid =
        cannot + "the range from failure " + start + " to failure " + end + " is not valid.";
    if (range.rangeStart < 1) return invalid;
    if (range.dataNumber < range.rangeStart) {
        return cannot + "the data set has " + failures + " failures, fewer than the start of " +
               "the range (failure " + start + ").";
    }
    if (range.rangeEnd < range.rangeStart) return invalid;
    if (range.rangeEnd > range.dataNumber) {
        return cannot + "the range ends at failure " + end + " but the data set has only " +
               failures + " failures.";
    }
    if (range.rangeStart < model.firstFailureIndex) {
        return cannot + "it needs a range that starts at failure " +
               std::to_string(model.firstFailureIndex) + " or later.";
    }
    return std::nullopt;
}

// What storing a finished fit came to: the new set's key, 0 when the store refused it,
// kDuplicate when another program stored the same set while this one fitted, or kDeleted when
// another program deleted the dataset meanwhile.
constexpr int kDuplicate = -1;
constexpr int kDeleted = -2;
constexpr const char* kDataSetDeleted =
    "The data set was deleted by another user or program while the model was being applied, "
    "so nothing was stored.";

// Stores the estimates set and how each of its fits ended as one unit, unless the dataset is
// gone or a set of this model, range and method is already there: the checks and the store
// hold one write lock.
int StoreWhole(Database& db, int dataSetId, int modelNumber, int rangeId, int inferenceMethodId,
               const RangeInfo& range, const EstimatesArray& estimates,
               const std::vector<FitTermination>& terminations) {
    Transaction unit(db);
    if (!DataSetExists(db, dataSetId)) return kDeleted;
    if (FindEstimatesSet(db, dataSetId, modelNumber, rangeId, inferenceMethodId) != 0) {
        return kDuplicate;
    }
    EnsureOwnTables(db);
    const int setId = StoreEstimatesSet(db, dataSetId, modelNumber, rangeId, inferenceMethodId,
                                        range.rangeStart, range.rangeEnd, estimates);
    if (setId == 0 ||
        !StoreFitOutcomes(db, setId, range.rangeStart, range.rangeEnd, terminations)) {
        return 0;
    }
    unit.Commit();
    return setId;
}

}  // namespace

std::optional<MinimisationSettings> ModelSettings(Database& db, const ModelInfo& model,
                                                  int inferenceMethodId) {
    MinimisationSettings settings;
    const MinimiserSettings kind = model.minimiser == Minimiser::MultiDimensional
                                       ? MinimiserSettings::MultiDimensional
                                       : MinimiserSettings::OneDimensional;
    if (!GetMinimisationParameters(db, kind, inferenceMethodId, settings)) return std::nullopt;
    return settings;
}

EstimationResult FitIndices(const ModelInfo& model, const FailureSeries& x, const FailureSeries& t,
                            std::int32_t from, std::int32_t to,
                            const MinimisationSettings& settings, EstimatesArray& estimates,
                            const RunControl& control, int threads) {
    control.StartProgress(from, to);
    EstimationResult run =
        RunPrequential(from, to, model.prepare(x, t, to, settings), estimates, control, threads);
    control.EndProgress();
    // Faults a fit worked round are told in index order before the run's own outcome.
    for (std::int32_t i = from; i <= to; ++i) {
        if (run.faults[i] == MathFault::None) continue;
        const bool gamma =
            run.faults[i] != MathFault::MttfGamma && run.faults[i] != MathFault::PercentileLevel;
        ShowMessage(MathFaultText(run.faults[i], i),
                    gamma ? MessageIcon::Information : MessageIcon::None);
    }
    return run;
}

std::optional<std::string> RunEndMessage(const ModelInfo& model, const EstimationResult& run) {
    switch (run.status) {
        case EstimationStatus::Cancelled:
            return "The calculation was cancelled by user action";
        case EstimationStatus::ArithmeticFault:
            return JoinLines({"An arithmetic error occurred while fitting " + ModelTitle(model) +
                                  " at failure index " + std::to_string(run.faultIndex) + ": " +
                                  run.faultDetail + ".",
                              "No estimates were stored."});
        case EstimationStatus::Completed:
            break;
    }
    return std::nullopt;
}

ApplyModelResult ApplyModel(Database& db, int dataSetId, int modelNumber, int rangeId,
                            int inferenceMethodId, const RunControl& control, int threads) {
    if (FindEstimatesSet(db, dataSetId, modelNumber, rangeId, inferenceMethodId) != 0) {
        return Report(Outcome::Exists, kAlreadyAvailable);
    }
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        return Report(Outcome::Failed, *refusal);
    }
    const ModelInfo* model = FindModel(modelNumber);
    if (!model) {
        return Report(Outcome::Refused,
                      JoinLines({"Trying to read parameters from the database for the model with "
                                 "unknown ID: " +
                                     std::to_string(modelNumber) + ".",
                                 "Please, use correct mode ID."}));
    }
    std::optional<RangeInfo> range = GetRange(db, dataSetId, rangeId);
    if (!range) return {Outcome::Failed, 0, {}, {}};
    if (std::optional<std::string> refusal = RangeRefusal(*model, *range)) {
        return Report(Outcome::Refused, *refusal);
    }
    const std::optional<MinimisationSettings> settings =
        ModelSettings(db, *model, inferenceMethodId);
    if (!settings) return {Outcome::Failed, 0, {}, {}};
    FailureSeries x;
    FailureSeries t;
    if (!ReadFailureTimes(db, dataSetId, x, t) ||
        x.size() <= static_cast<std::size_t>(range->rangeEnd)) {
        return Report(Outcome::Failed,
                      "An error occurred while reading the failure times of the data set.");
    }

    EstimatesArray estimates;
    const EstimationResult run = FitIndices(*model, x, t, range->rangeStart, range->rangeEnd,
                                            *settings, estimates, control, threads);
    if (const std::optional<std::string> end = RunEndMessage(*model, run)) {
        const bool cancelled = run.status == EstimationStatus::Cancelled;
        return Report(cancelled ? Outcome::Cancelled : Outcome::Failed, *end,
                      cancelled ? MessageIcon::Information : MessageIcon::None);
    }
    const std::string storeFailure =
        JoinLines({"An error occurred while storing the estimates of " + ModelTitle(*model) + ".",
                   "No estimates were stored."});
    int setId = 0;
    try {
        const std::optional<int> stored = StoreKeepingWork(control, [&] {
            return StoreWhole(db, dataSetId, modelNumber, rangeId, inferenceMethodId, *range,
                              estimates, run.terminations);
        });
        if (!stored) return {Outcome::Cancelled, 0, InUseText(db.OnServer()), {}};
        setId = *stored;
    } catch (const DatabaseError& error) {
        return Report(Outcome::Failed, FailureText(error, storeFailure));
    }
    if (setId == kDuplicate) return Report(Outcome::Exists, kAlreadyAvailable);
    if (setId == kDeleted) return Report(Outcome::Failed, kDataSetDeleted);
    if (setId == 0) return Report(Outcome::Failed, storeFailure);
    const auto fitted =
        std::span(run.terminations)
            .subspan(static_cast<std::size_t>(range->rangeStart),
                     static_cast<std::size_t>(range->rangeEnd - range->rangeStart + 1));
    return {Outcome::Stored, setId, {}, FitSummary(CountOutcomes(fitted))};
}

}  // namespace tamsel
