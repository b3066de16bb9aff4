#include "tamsel/workbench/delete_set.h"

#include <cstdint>

#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

std::string Describe(const EstimatesSetInfo& set) {
    return set.modelName + ", failures " + std::to_string(set.rangeStart) + " to " +
           std::to_string(set.rangeEnd);
}

std::string Describe(const RecalibratedSetInfo& set) {
    return "p" + std::to_string(set.id) + " (" + set.modelName + ", " +
           set.recalibrationMethodName + ")";
}

}  // namespace

std::optional<SetDeletion> PlanSetDeletion(Database& db, const PredictionSetRef& set) {
    const KeyedRecord kind =
        set.recalibrated ? KeyedRecord::PredictionsSet : KeyedRecord::EstimatesSet;
    if (!RecordExists(db, kind, set.id)) return std::nullopt;
    std::optional<RecalibratedSetInfo> recalibrated;
    if (set.recalibrated) {
        recalibrated = GetPredictionsSet(db, set.id);
        if (!recalibrated) return std::nullopt;
    }
    const std::optional<EstimatesSetInfo> estimates =
        GetEstimatesSet(db, recalibrated ? recalibrated->estimatesSetId : set.id);
    if (!estimates) return std::nullopt;
    const std::optional<DataSetInfo> dataSet = GetDataSet(db, estimates->dataSetId);
    if (!dataSet) return std::nullopt;

    SetDeletion plan{set, dataSet->name, {set}, {}};
    const std::string ofDataSet = " of dataset " + dataSet->name + "?";
    if (recalibrated) {
        plan.question = "Delete recalibrated set " + Describe(*recalibrated) + ofDataSet;
        return plan;
    }
    plan.question = "Delete estimates set " + std::to_string(set.id) + " (" + Describe(*estimates) +
                    ")" + ofDataSet;
    const auto others = ListPredictionsSets(db, dataSet->name);
    if (!others) return std::nullopt;
    std::string names;
    for (const RecalibratedSetInfo& other : *others) {
        if (other.estimatesSetId != set.id) continue;
        plan.removed.push_back({other.id, true});
        names += (names.empty() ? "" : ", ") + Describe(other);
    }
    if (!names.empty()) {
        plan.question =
            JoinLines({plan.question, "Its recalibrated sets are deleted with it: " + names + "."});
    }
    return plan;
}

std::optional<SetDeletion> DeleteSetAfterAsking(Database& db, const PredictionSetRef& set) {
    // Nothing is asked that could not be done.
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        ShowMessage(*refusal);
        return std::nullopt;
    }
    std::optional<SetDeletion> plan = PlanSetDeletion(db, set);
    if (!plan ||
        Ask(plan->question, MessageButtons::OkCancel, MessageIcon::Question) != MessageAnswer::Ok) {
        return std::nullopt;
    }
    const char* table = set.recalibrated ? "PredictionsSets" : "EstimatesSets";
    const char* key = set.recalibrated ? "PredictionsSetID" : "EstimatesSetID";
    try {
        // The relations take the rows, fit outcomes and recalibrated sets with the set.
        Transaction unit(db);
        Statement erase =
            db.Prepare(std::string("DELETE FROM ") + table + " WHERE " + key + " = ?;");
        erase.Bind(1, std::int64_t{set.id});
        erase.Run();
        unit.Commit();
        return plan;
    } catch (const DatabaseError& error) {
        ShowMessage(FailureText(error, std::string("An error occurred while trying to delete a "
                                                   "record from the ") +
                                           table + " table"));
    }
    return std::nullopt;
}

}  // namespace tamsel
