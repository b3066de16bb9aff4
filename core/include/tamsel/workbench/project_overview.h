// What the project browser shows: every dataset, its estimates sets and the recalibrated sets
// made from each, with how the fits ended and how well each set predicts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/store/database.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

struct SetOverview {
    PredictionSetRef set;
    int estimatesSetId = 0;  // the set itself, or the one a recalibrated set was made from
    std::string label;       // ModelLabel ("JM", "JM#")
    std::string model;       // "Jelinski-Moranda", or "recalibrated, <recalibration method>"
    std::string range;       // "20-136"
    // Raw sets: "ok" when every fit converged or reached a limit, "3 irregular" otherwise,
    // "—" when the outcomes were not recorded; the full FitSummary beside it.
    std::string fitBadge;
    std::string fitSummary;
    // Rank by prequential likelihood among all sets of the dataset (1 best), when the
    // dataset's sets can be judged together.
    std::optional<int> rank;
    std::vector<SetOverview> recalibrated;
};

struct DataSetOverview {
    std::string name;
    int failures = 0;
    std::vector<SetOverview> sets;  // the raw sets, oldest first
    int setCount = 0;               // raw and recalibrated, the denominator of a rank
};

// Every dataset of the project, oldest first. nullopt after the store's message. The
// evaluation behind the ranks stays silent: a dataset whose sets cannot be judged together
// simply shows no ranks.
std::optional<std::vector<DataSetOverview>> ProjectOverview(Database& db);

}  // namespace tamsel
