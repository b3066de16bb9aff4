// Deleting one set: an estimates set, which takes its recalibrated sets with it, or one
// recalibrated predictions set. The front ends ask first, naming everything that goes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/store/database.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

struct SetDeletion {
    PredictionSetRef set;
    std::string dataSetName;
    // The set and every recalibrated set that goes with it, the set first.
    std::vector<PredictionSetRef> removed;
    // "Delete estimates set 3 (Jelinski-Moranda, failures 20 to 136) of dataset SYS1?" and,
    // when recalibrated sets go with it, a line naming them.
    std::string question;
};

// What deleting set would remove. nullopt after "There is no estimates set with the key
// <key>." (predictions set) or the store's message.
std::optional<SetDeletion> PlanSetDeletion(Database& db, const PredictionSetRef& set);

// Asks the plan's question (OK/Cancel) and, on OK, deletes the set with its rows, fit
// outcomes and recalibrated sets in one transaction. The plan of what was deleted; nullopt
// when the set is unknown, the answer is Cancel, or the store refuses ("An error occurred
// while trying to delete a record from the <table> table", nothing changed).
std::optional<SetDeletion> DeleteSetAfterAsking(Database& db, const PredictionSetRef& set);

}  // namespace tamsel
