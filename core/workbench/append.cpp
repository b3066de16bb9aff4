#include "tamsel/workbench/append.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>

#include "keep_work.h"
#include "model_run.h"
#include "recalibration_rows.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/store/writers.h"
#include "tamsel/support/messages.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

using Outcome = ExtendResult::Outcome;

constexpr const char* kStoreFailure =
    "An error occurred while storing the extended data set. Nothing was stored.";
constexpr const char* kChanged =
    "The data set or its sets were changed by another program while its sets were being "
    "extended. Nothing was stored; please try again.";

ExtendResult Report(Outcome outcome, std::string message, MessageIcon icon = MessageIcon::None) {
    ShowMessage(message, icon);
    return {outcome, 0, 0, {}, 0, std::move(message)};
}

// What is to be stored: the dataset's whole series after the new failures (if any) and the
// sets that stop short of its last failure.
struct Plan {
    DataSetInfo dataSet;
    int dataSetId = 0;
    int oldCount = 0;
    FailureSeries x;
    FailureSeries t;
    std::vector<int> models;  // every model when empty
    std::vector<OpenEndedSet> sets;
};

int Count(const Plan& plan) { return static_cast<int>(plan.x.size()) - 1; }

// The open-ended sets of the plan's models that stop short of its last failure.
std::optional<std::vector<OpenEndedSet>> SetsToExtend(Database& db, const Plan& plan) {
    std::optional<std::vector<OpenEndedSet>> sets = ListOpenEndedSets(db, plan.dataSetId);
    if (!sets) return std::nullopt;
    std::erase_if(*sets, [&](const OpenEndedSet& open) {
        const bool chosen =
            plan.models.empty() ||
            std::ranges::find(plan.models, open.set.modelNumber) != plan.models.end();
        return !chosen || !FindModel(open.set.modelNumber) || open.lastIndex >= Count(plan) ||
               open.set.rangeStart > Count(plan);
    });
    return sets;
}

struct FittedSet {
    const OpenEndedSet* open = nullptr;
    int first = 0;  // the set's last row, refitted now that a failure follows it
    EstimatesArray estimates;
    std::vector<FitTermination> terminations;
};

enum class Stored { Done, Changed, Cancelled, Failed };

// The plan's failures and sets, inside the caller's transaction. A recalibration that fails has
// shown its message into failure.
Stored StorePlan(Database& db, const Plan& plan, const std::vector<FittedSet>& fitted,
                 const RunControl& control, ExtendResult& failure) {
    const std::optional<DataSetInfo> dataSet = GetDataSet(db, plan.dataSetId);
    if (!dataSet) return Stored::Failed;
    if (dataSet->count != plan.oldCount || SetsToExtend(db, plan) != plan.sets) {
        return Stored::Changed;
    }
    if (Count(plan) > plan.oldCount &&
        !AppendFailureTimes(db, plan.dataSetId, plan.oldCount + 1, plan.x, plan.t)) {
        return Stored::Failed;
    }
    EnsureOwnTables(db);
    const int count = Count(plan);
    for (const FittedSet& set : fitted) {
        const int id = set.open->set.id;
        if (!ReplaceEstimatesFrom(db, id, set.first, count, set.estimates) ||
            !ReplaceFitOutcomesFrom(db, id, set.first, count, set.terminations)) {
            return Stored::Failed;
        }
        EstimatesSetInfo grown = set.open->set;
        grown.rangeEnd = grown.size = count;
        for (const RecalibratedSetInfo& recalibrated : set.open->recalibrations) {
            const std::optional<RecalibrationMethodInfo> method =
                GetRecalibrationMethod(db, recalibrated.recalibrationMethodId);
            if (!method) return Stored::Failed;
            const RecalibrationRun run = MakeRecalibrationRun(grown, *method);
            std::variant<RecalibratedRows, RecalibrationResult> rows =
                RecalibrateRows(db, run, control);
            if (const auto* refused = std::get_if<RecalibrationResult>(&rows)) {
                failure.message = refused->message;
                return refused->outcome == RecalibrationResult::Outcome::Cancelled
                           ? Stored::Cancelled
                           : Stored::Failed;
            }
            const RecalibratedRows& r = std::get<RecalibratedRows>(rows);
            if (!ReplacePredictions(db, recalibrated.id, run.start, run.end, run.settings.offset,
                                    r.cdf, r.pdf, r.lowQ, r.median, r.uppQ)) {
                return Stored::Failed;
            }
        }
    }
    return control.CancelRequested() ? Stored::Cancelled : Stored::Done;
}

ExtendResult Extend(Database& db, const Plan& plan, const RunControl& control, int threads,
                    const SetStarted& started) {
    std::vector<FittedSet> fitted;
    fitted.reserve(plan.sets.size());
    for (const OpenEndedSet& open : plan.sets) {
        const ModelInfo& model = *FindModel(open.set.modelNumber);
        const std::optional<MinimisationSettings> settings =
            ModelSettings(db, model, open.set.inferenceMethodId);
        if (!settings) return {};
        if (started) {
            started(model.name, static_cast<int>(fitted.size()) + 1,
                    static_cast<int>(plan.sets.size()));
        }
        FittedSet set{&open, std::max(open.lastIndex, open.set.rangeStart), {}, {}};
        if (std::optional<std::string> refusal =
                TimeScaleRefusal(plan.x, plan.t, set.first, Count(plan))) {
            return Report(Outcome::Refused, *refusal);
        }
        EstimationResult run = FitIndices(model, plan.x, plan.t, set.first, Count(plan), *settings,
                                          set.estimates, control, threads);
        if (const std::optional<std::string> end = RunEndMessage(model, run)) {
            const bool cancelled = run.status == EstimationStatus::Cancelled;
            return Report(cancelled ? Outcome::Cancelled : Outcome::Failed, *end,
                          cancelled ? MessageIcon::Information : MessageIcon::None);
        }
        set.terminations = std::move(run.terminations);
        fitted.push_back(std::move(set));
    }

    ExtendResult result;
    std::optional<Stored> stored;
    try {
        stored = StoreKeepingWork(control, [&] {
            Transaction unit(db);
            const Stored step = StorePlan(db, plan, fitted, control, result);
            if (step == Stored::Done) unit.Commit();
            return step;
        });
    } catch (const DatabaseError& error) {
        return Report(Outcome::Failed, FailureText(error, kStoreFailure));
    }
    if (!stored) return {Outcome::Cancelled, 0, 0, {}, 0, InUseText(db.OnServer())};
    switch (*stored) {
        case Stored::Changed:
            return Report(Outcome::Refused, kChanged);
        case Stored::Cancelled:
            if (!result.message.empty()) return {Outcome::Cancelled, 0, 0, {}, 0, result.message};
            return Report(Outcome::Cancelled, "The calculation was cancelled by user action",
                          MessageIcon::Information);
        case Stored::Failed:
            if (!result.message.empty()) return {Outcome::Failed, 0, 0, {}, 0, result.message};
            return Report(Outcome::Failed, kStoreFailure);
        case Stored::Done:
            break;
    }
    result = {Outcome::Stored, Count(plan) - plan.oldCount, Count(plan), {}, 0, {}};
    for (const FittedSet& set : fitted) {
        result.extendedSets.push_back(set.open->set.id);
        result.recalibrationsRefitted += static_cast<int>(set.open->recalibrations.size());
    }
    return result;
}

// The plan's series and count as stored, for the dataset.
std::optional<Plan> ReadPlan(Database& db, int dataSetId) {
    Plan plan;
    plan.dataSetId = dataSetId;
    std::optional<DataSetInfo> dataSet = GetDataSet(db, dataSetId);
    if (!dataSet) return std::nullopt;
    plan.oldCount = dataSet->count;
    plan.dataSet = std::move(*dataSet);
    if (!ReadFailureTimes(db, dataSetId, plan.x, plan.t) || Count(plan) != plan.oldCount) {
        ShowMessage("An error occurred while reading the failure times of the data set.");
        return std::nullopt;
    }
    return plan;
}

std::string TypeWords(DataType type) {
    return type == DataType::Interfailure ? "interfailure times" : "cumulative times";
}

// The file's options with the dataset's own time base, when it has one.
std::optional<TableOptions> ReadingOptions(Database& db, const AppendRequest& request,
                                           int dataSetId, int count) {
    TableOptions options = request.table;
    options.timestamps.reset();
    options.maxItems = kMaxDataItems - static_cast<std::size_t>(count);
    std::optional<DataSetTimeBase> base;
    try {
        base = ReadDataSetTimeBase(db, dataSetId);
    } catch (const DatabaseError& error) {
        ShowMessage(FailureText(error, "An error occurred while reading the database."));
        return std::nullopt;
    }
    if (!base) return options;
    TimestampOptions timestamps{base->origin, base->timeZone, TimeUnit::Hours};
    for (TimeUnit unit : {TimeUnit::Seconds, TimeUnit::Minutes, TimeUnit::Hours, TimeUnit::Days}) {
        if (TimeUnitName(unit) == base->unit) timestamps.unit = unit;
    }
    options.timestamps = timestamps;
    return options;
}

// Appends values, read as type, to the plan's series; false after a message when a cumulative
// time falls below the one before it.
bool Continue(Plan& plan, const std::vector<double>& values, DataType type) {
    for (std::size_t k = 0; k < values.size(); ++k) {
        const double last = plan.t.back();
        if (type == DataType::Interfailure) {
            plan.x.push_back(values[k]);
            plan.t.push_back(last + values[k]);
        } else if (values[k] < last) {
            ShowMessage(DataFaultMessage(
                DataFault::Negative, false,
                "Value " + std::to_string(k + 1) + " of the file falls below the cumulative time " +
                    "of the failure before it: cumulative times must not decrease. Append only "
                    "failures after failure " +
                    std::to_string(Count(plan)) + "."));
            return false;
        } else {
            plan.x.push_back(values[k] - last);
            plan.t.push_back(values[k]);
        }
    }
    return true;
}

}  // namespace

ExtendResult ExtendSets(Database& db, int dataSetId, std::span<const int> models,
                        const RunControl& control, int threads, const SetStarted& started) {
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        return Report(Outcome::Failed, *refusal);
    }
    std::optional<Plan> plan = ReadPlan(db, dataSetId);
    if (!plan) return {};
    plan->models.assign(models.begin(), models.end());
    std::optional<std::vector<OpenEndedSet>> sets = SetsToExtend(db, *plan);
    if (!sets) return {};
    plan->sets = std::move(*sets);
    return Extend(db, *plan, control, threads, started);
}

ExtendResult AppendFailures(Database& db, const AppendRequest& request, const RunControl& control,
                            int threads, const SetStarted& started) {
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        return Report(Outcome::Failed, *refusal);
    }
    const std::optional<int> dataSetId = LookUpDataSet(db, request.name);
    if (!dataSetId) return {};
    std::optional<Plan> plan = ReadPlan(db, *dataSetId);
    if (!plan) return {};
    const std::optional<TableOptions> options =
        ReadingOptions(db, request, *dataSetId, plan->oldCount);
    if (!options) return {};

    const DataSetInfo& dataSet = plan->dataSet;
    const auto type = static_cast<DataType>(dataSet.type);
    const bool other =
        (request.choice == DataTypeChoice::Interfailure && type != DataType::Interfailure) ||
        (request.choice == DataTypeChoice::Cumulative && type != DataType::Cumulative);
    if (other) {
        return Report(Outcome::Refused,
                      "The data set \"" + dataSet.name + "\" holds " + TypeWords(type) +
                          ": the failures appended to it must be " + TypeWords(type) + " too.");
    }

    const TableResult table = ReadTableFile(request.fileName, *options);
    if (table.cancelled) {
        return Report(Outcome::Cancelled, "The calculation was cancelled by user action",
                      MessageIcon::Information);
    }
    if (table.refusal) {
        return Report(Outcome::Refused,
                      DataFaultMessage(table.refusal->fault, table.refusal->whileReading,
                                       table.refusal->detail));
    }
    if (!Continue(*plan, table.values, type)) return {Outcome::Refused, 0, 0, {}, 0, {}};
    // The import's rules hold for the whole series, not only for the new failures.
    const std::vector<double> interfailure(plan->x.begin() + 1, plan->x.end());
    if (!ValidateZeros(interfailure, DataType::Interfailure) ||
        !ValidateTotal(interfailure, DataType::Interfailure)) {
        return {Outcome::Refused, 0, 0, {}, 0, {}};
    }
    std::optional<std::vector<OpenEndedSet>> sets = SetsToExtend(db, *plan);
    if (!sets) return {};
    plan->sets = std::move(*sets);
    return Extend(db, *plan, control, threads, started);
}

}  // namespace tamsel
