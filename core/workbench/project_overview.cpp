#include "tamsel/workbench/project_overview.h"

#include <map>
#include <utility>

#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"
#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/fit_outcomes.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/set_lists.h"

namespace tamsel {
namespace {

// Swallows the refusals of an evaluation nobody asked for.
class SilentSink : public MessageSink {
  public:
    MessageAnswer Show(const std::string&, MessageButtons buttons, MessageIcon) override {
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
};

std::map<std::pair<int, bool>, int> Ranks(Database& db, const std::string& dataName) {
    SilentSink silent;
    ScopedMessageSink installed(&silent);
    std::map<std::pair<int, bool>, int> ranks;
    if (const std::optional<Evaluation> evaluation =
            EvaluateDataSet(db, dataName, std::nullopt, std::nullopt)) {
        for (const SetEvaluation& set : evaluation->sets) {
            ranks[{set.set.id, set.set.recalibrated}] = set.rank;
        }
    }
    return ranks;
}

// The badge and summary of a raw set's stored fit outcomes.
std::optional<std::pair<std::string, std::string>> FitBadge(Database& db, int estimatesSetId) {
    const auto outcomes = FitOutcomesByIndex(db, estimatesSetId);
    if (!outcomes) return std::nullopt;
    if (outcomes->empty()) return std::pair{std::string("—"), std::string(kOutcomeNotRecorded)};
    int irregular = 0;
    for (const auto& entry : *outcomes) irregular += IsIrregularOutcome(entry.second) ? 1 : 0;
    const std::optional<std::string> summary = StoredFitSummary(db, estimatesSetId);
    if (!summary) return std::nullopt;
    return std::pair{irregular == 0 ? std::string("ok") : std::to_string(irregular) + " irregular",
                     *summary};
}

std::optional<DataSetOverview> OverviewOf(Database& db, const std::string& name, int failures) {
    const auto raw = ListEstimatesSets(db, name);
    const auto recalibrated = raw ? ListPredictionsSets(db, name) : std::nullopt;
    if (!recalibrated) return std::nullopt;
    DataSetOverview overview{name, failures, {}, 0};
    overview.setCount = static_cast<int>(raw->size() + recalibrated->size());
    const auto ranks = overview.setCount > 0 ? Ranks(db, name) : decltype(Ranks(db, name)){};
    auto rankOf = [&ranks](const PredictionSetRef& set) -> std::optional<int> {
        const auto found = ranks.find({set.id, set.recalibrated});
        if (found == ranks.end()) return std::nullopt;
        return found->second;
    };
    for (const EstimatesSetInfo& info : *raw) {
        SetOverview set;
        set.set = {info.id, false};
        set.estimatesSetId = info.id;
        set.model = ModelName(info);
        set.range = std::to_string(info.rangeStart) + "-" + std::to_string(info.rangeEnd);
        const auto label = ModelLabel(db, set.set);
        const auto badge = label ? FitBadge(db, info.id) : std::nullopt;
        if (!badge) return std::nullopt;
        set.label = *label;
        std::tie(set.fitBadge, set.fitSummary) = *badge;
        set.rank = rankOf(set.set);
        for (const RecalibratedSetInfo& made : *recalibrated) {
            if (made.estimatesSetId != info.id) continue;
            SetOverview child;
            child.set = {made.id, true};
            child.estimatesSetId = info.id;
            child.label = set.label + "#";
            child.model = "recalibrated, " + made.recalibrationMethodName;
            child.range = set.range;
            child.rank = rankOf(child.set);
            set.recalibrated.push_back(std::move(child));
        }
        overview.sets.push_back(std::move(set));
    }
    return overview;
}

}  // namespace

std::optional<std::vector<DataSetOverview>> ProjectOverview(Database& db) {
    const std::optional<RowSet> names = DataSetNameList(db);
    if (!names) return std::nullopt;
    std::vector<DataSetOverview> overview;
    // The list is newest first; the browser shows the oldest first, as the datasets table does.
    for (auto row = names->rows.rbegin(); row != names->rows.rend(); ++row) {
        const auto* id = std::get_if<std::int64_t>(&(*row)[1]);
        const std::optional<DataSetInfo> info =
            id ? GetDataSet(db, static_cast<int>(*id)) : std::nullopt;
        if (!info) return std::nullopt;
        std::optional<DataSetOverview> dataSet = OverviewOf(db, info->name, info->count);
        if (!dataSet) return std::nullopt;
        overview.push_back(std::move(*dataSet));
    }
    return overview;
}

}  // namespace tamsel
