#include "tamsel/workbench/apply_model.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "keep_work.h"
#include "model_run.h"
#include "store_queue.h"
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

// A result whose message is still to be shown, on the thread that reports the result.
struct Unshown {
    ApplyModelResult result;
    MessageIcon icon = MessageIcon::None;
    bool show = true;  // false when shown already, or when a lookup of the store showed its own
};

Unshown Ending(Outcome outcome, std::string message, MessageIcon icon = MessageIcon::None) {
    return {{outcome, 0, std::move(message), {}}, icon};
}

Unshown Silent(Outcome outcome, std::string message = {}) {
    return {{outcome, 0, std::move(message), {}}, MessageIcon::None, false};
}

ApplyModelResult Shown(Unshown unshown) {
    if (unshown.show) ShowMessage(unshown.result.message, unshown.icon);
    return std::move(unshown.result);
}

// What a model's fits need, read and checked.
struct FitInput {
    const ModelInfo* model = nullptr;
    RangeInfo range;
    MinimisationSettings settings;
};

// The failure times as the fits take them.
struct Series {
    FailureSeries x;
    FailureSeries t;
};

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

namespace {

// The first interfailure time of 1..to that is above 0 but below kSmallestInterfailureTime.
std::optional<std::string> TinyTimeRefusal(const FailureSeries& x, std::int32_t to) {
    for (std::int32_t j = 1; j <= to; ++j) {
        if (x[j] <= 0.0 || x[j] >= kSmallestInterfailureTime) continue;
        char text[300];
        std::snprintf(text, sizeof text,
                      "The interfailure time at failure %d is %.6g, above 0 but below 1e-280, "
                      "where the models can no longer tell it from 0.",
                      j, x[j]);
        return JoinLines({text,
                          "Correct the time in the data file (0 for a failure at the same "
                          "moment as the one before) and import it again."});
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> TimeScaleRefusal(const FailureSeries& x, const FailureSeries& t,
                                            std::int32_t from, std::int32_t to) {
    std::int32_t index = to;
    bool large = true;
    if (t[to] <= kLargestTimeScale) {
        // The cumulative times grow with the index: the first positive one is the smallest.
        index = from;
        while (index < to && t[index] <= 0.0) ++index;
        if (t[index] <= 0.0 || t[index] >= kSmallestTimeScale) return TinyTimeRefusal(x, to);
        large = false;
    }
    char text[400];
    std::snprintf(text, sizeof text,
                  "The failure times cannot be modelled in the unit they are written in: the "
                  "cumulative time at failure %d is %.6g, %s, where the models' stand-ins for "
                  "unbounded and vanishing values could no longer be told from real ones.",
                  index, t[index], large ? "above 1e20" : "below 1e-20");
    return JoinLines({text, large ? "Import the times in a larger unit (divide them by a power "
                                    "of ten) and apply the models again."
                                  : "Import the times in a smaller unit (multiply them by a "
                                    "power of ten) and apply the models again."});
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

namespace {

// The checks and reads before models' fits to a dataset over one range with one inference
// method. What every model reads alike (the range, the minimiser settings of its kind) is read
// once.
class Checks {
  public:
    Checks(Database& db, int dataSetId, int rangeId, int inferenceMethodId)
        : m_db(db),
          m_dataSetId(dataSetId),
          m_rangeId(rangeId),
          m_inferenceMethodId(inferenceMethodId) {}

    // The result when they end modelNumber's application; otherwise its input is filled in.
    std::optional<Unshown> operator()(int modelNumber, FitInput& input) {
        if (FindEstimatesSet(m_db, m_dataSetId, modelNumber, m_rangeId, m_inferenceMethodId) != 0) {
            return Ending(Outcome::Exists, kAlreadyAvailable);
        }
        if (std::optional<std::string> refusal = m_db.WriteRefusal()) {
            return Ending(Outcome::Failed, *refusal);
        }
        input.model = FindModel(modelNumber);
        if (!input.model) {
            return Ending(Outcome::Refused,
                          JoinLines({"Trying to read parameters from the database for the model "
                                     "with unknown ID: " +
                                         std::to_string(modelNumber) + ".",
                                     "Please, use correct mode ID."}));
        }
        if (!m_range) m_range = GetRange(m_db, m_dataSetId, m_rangeId);
        if (!*m_range) return Silent(Outcome::Failed);
        input.range = **m_range;
        if (std::optional<std::string> refusal = RangeRefusal(*input.model, input.range)) {
            return Ending(Outcome::Refused, *refusal);
        }
        auto& settings = m_settings[input.model->minimiser == Minimiser::MultiDimensional];
        if (!settings) settings = ModelSettings(m_db, *input.model, m_inferenceMethodId);
        if (!*settings) return Silent(Outcome::Failed);
        input.settings = **settings;
        return std::nullopt;
    }

  private:
    Database& m_db;
    int m_dataSetId;
    int m_rangeId;
    int m_inferenceMethodId;
    // Each read when first needed; an inner nullopt when it failed (and showed why).
    std::optional<std::optional<RangeInfo>> m_range;
    std::optional<std::optional<MinimisationSettings>> m_settings[2];
};

// Reads the failure times into series; the result when they cannot be read up to the range's
// end, or cannot be fitted in their unit.
std::optional<Unshown> Read(Database& db, int dataSetId, const RangeInfo& range, Series& series) {
    if (!ReadFailureTimes(db, dataSetId, series.x, series.t) ||
        series.x.size() <= static_cast<std::size_t>(range.rangeEnd)) {
        return Ending(Outcome::Failed,
                      "An error occurred while reading the failure times of the data set.");
    }
    if (std::optional<std::string> refusal =
            TimeScaleRefusal(series.x, series.t, range.rangeStart, range.rangeEnd)) {
        return Ending(Outcome::Refused, *refusal);
    }
    return std::nullopt;
}

// A finished run, ready to be stored.
struct FinishedRun {
    FitInput input;
    EstimatesArray estimates;
    EstimationResult run;
};

// Fits the model at every index of the range into finished; the result when the run ends
// otherwise than completed.
std::optional<Unshown> Fit(const Series& series, const RunControl& control, int threads,
                           FinishedRun& finished) {
    const FitInput& input = finished.input;
    finished.run =
        FitIndices(*input.model, series.x, series.t, input.range.rangeStart, input.range.rangeEnd,
                   input.settings, finished.estimates, control, threads);
    if (const std::optional<std::string> end = RunEndMessage(*input.model, finished.run)) {
        const bool cancelled = finished.run.status == EstimationStatus::Cancelled;
        return Ending(cancelled ? Outcome::Cancelled : Outcome::Failed, *end,
                      cancelled ? MessageIcon::Information : MessageIcon::None);
    }
    return std::nullopt;
}

// Stores a finished run as one unit. May run on another thread than the one that shows the
// result; only the wait for another program's lock tells the user while it lasts.
Unshown Store(Database& db, int dataSetId, int modelNumber, int rangeId, int inferenceMethodId,
              const FinishedRun& finished, const RunControl& control) {
    const FitInput& input = finished.input;
    const std::string storeFailure = JoinLines(
        {"An error occurred while storing the estimates of " + ModelTitle(*input.model) + ".",
         "No estimates were stored."});
    int setId = 0;
    try {
        const std::optional<int> stored = StoreKeepingWork(control, [&] {
            return StoreWhole(db, dataSetId, modelNumber, rangeId, inferenceMethodId, input.range,
                              finished.estimates, finished.run.terminations);
        });
        if (!stored) return Silent(Outcome::Cancelled, InUseText(db.OnServer()));
        setId = *stored;
    } catch (const DatabaseError& error) {
        return Ending(Outcome::Failed, FailureText(error, storeFailure));
    }
    if (setId == kDuplicate) return Ending(Outcome::Exists, kAlreadyAvailable);
    if (setId == kDeleted) return Ending(Outcome::Failed, kDataSetDeleted);
    if (setId == 0) return Ending(Outcome::Failed, storeFailure);
    const auto fitted =
        std::span(finished.run.terminations)
            .subspan(static_cast<std::size_t>(input.range.rangeStart),
                     static_cast<std::size_t>(input.range.rangeEnd - input.range.rangeStart + 1));
    return {{Outcome::Stored,
             setId,
             {},
             FitSummary(CountOutcomes(fitted)),
             input.range.rangeStart,
             input.range.rangeEnd},
            MessageIcon::None,
            false};
}

}  // namespace

ApplyModelResult ApplyModel(Database& db, int dataSetId, int modelNumber, int rangeId,
                            int inferenceMethodId, const RunControl& control, int threads) {
    FinishedRun finished;
    Series series;
    std::optional<Unshown> end =
        Checks(db, dataSetId, rangeId, inferenceMethodId)(modelNumber, finished.input);
    if (!end) end = Read(db, dataSetId, finished.input.range, series);
    if (!end) end = Fit(series, control, threads, finished);
    if (end) return Shown(std::move(*end));
    return Shown(Store(db, dataSetId, modelNumber, rangeId, inferenceMethodId, finished, control));
}

void ApplyModels(Database& db, int dataSetId, std::span<const int> modelNumbers, int rangeId,
                 int inferenceMethodId, const RunControl& control, int threads,
                 const std::function<void(std::size_t)>& started,
                 const std::function<bool(std::size_t, const ApplyModelResult&)>& applied) {
    const std::size_t count = modelNumbers.size();
    // Every model's checks and reads come first, so that the connection is then the storing
    // thread's alone. The range is the same for every model, and so are the failure times.
    Series series;
    std::optional<std::optional<Unshown>> read;
    std::vector<std::unique_ptr<FinishedRun>> runs(count);
    std::vector<std::optional<Unshown>> ends(count);
    Checks check(db, dataSetId, rangeId, inferenceMethodId);
    for (std::size_t k = 0; k < count; ++k) {
        runs[k] = std::make_unique<FinishedRun>();
        ends[k] = check(modelNumbers[k], runs[k]->input);
        if (ends[k]) continue;
        if (!read) read = Read(db, dataSetId, runs[k]->input.range, series);
        ends[k] = *read;
    }
    // After a set that was not stored the storing thread waits for the caller's word.
    const auto notStored = [](const Unshown& stored) {
        return stored.result.outcome != Outcome::Stored;
    };
    StoreQueue<FinishedRun, Unshown> queue(
        [&](std::size_t k, const FinishedRun& finished) {
            return Store(db, dataSetId, modelNumbers[k], rangeId, inferenceMethodId, finished,
                         control);
        },
        notStored);
    // Reports the results before model upTo in order, waiting for their stores when wait is
    // set; false once applied asks for no more.
    std::size_t reported = 0;
    const auto report = [&](std::size_t upTo, bool wait) {
        for (; reported < upTo; ++reported) {
            std::optional<Unshown> result = std::move(ends[reported]);
            const bool fromStore = !result;
            if (fromStore) result = queue.Take(wait);
            if (!result) return true;
            const bool held = fromStore && notStored(*result);
            if (!applied(reported, Shown(std::move(*result)))) {
                queue.Stop();
                return false;
            }
            if (held) queue.Resume();
        }
        return true;
    };
    for (std::size_t k = 0; k < count; ++k) {
        if (!ends[k]) {
            started(k);
            ends[k] = Fit(series, control, threads, *runs[k]);
            if (!ends[k]) queue.Push(k, std::move(runs[k]));
        }
        // A result that ends here is told once those before it are: the connection is then
        // free for applied.
        if (!report(k + 1, ends[k].has_value())) return;
    }
    report(count, true);
}

}  // namespace tamsel
