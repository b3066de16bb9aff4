#include "tamsel/workbench/set_lists.h"

#include <cstdint>
#include <utility>
#include <vector>
#include "row_selections.h"

#include "tamsel/store/sets.h"
#include "tamsel/workbench/fit_outcomes.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

std::optional<RowSet> DataSetsTable(Database& db) {
    const std::optional<RowSet> list =
        BindSortedList(db, "DataName", "DataSetID", "DataSets", "DataSetID", "ASC");
    if (!list) return std::nullopt;
    RowSet table;
    for (const auto& entry : list->rows) {
        std::optional<RowSet> row = SelectRecords(db, "DataSets", "DataSetID", entry[1], "", "", 0);
        if (!row) return std::nullopt;
        table.headings = row->headings;
        for (auto& values : row->rows) table.rows.push_back(std::move(values));
    }
    if (table.headings.empty()) {
        table.headings = {"DataSetID",  "DataName",   "DataFile",
                          "DataTypeID", "DataNumber", "DataSource"};
    }
    return table;
}

std::optional<RowSet> SetsTable(Database& db, const std::string& dataName) {
    const std::optional<std::vector<EstimatesSetInfo>> estimates = ListEstimatesSets(db, dataName);
    const std::optional<std::vector<RecalibratedSetInfo>> predictions =
        ListPredictionsSets(db, dataName);
    if (!estimates || !predictions) return std::nullopt;
    RowSet table;
    table.headings = {"Kind",
                      "Set ID",
                      "Model",
                      "Range start",
                      "Range end",
                      "Set size",
                      "Inference method",
                      "Recalibration method",
                      "From set",
                      "Fit outcomes"};
    auto add = [&table](std::string kind, int key, const EstimatesSetInfo& set, DbValue method,
                        DbValue from, DbValue outcomes) {
        table.rows.push_back({std::move(kind), std::int64_t{key}, ModelName(set),
                              std::int64_t{set.rangeStart}, std::int64_t{set.rangeEnd},
                              std::int64_t{set.size}, set.inference, std::move(method),
                              std::move(from), std::move(outcomes)});
    };
    for (const EstimatesSetInfo& set : *estimates) {
        // How the set's fits ended; "not recorded" for a set of an earlier version.
        const std::optional<std::string> outcomes = StoredFitSummary(db, set.id);
        if (!outcomes) return std::nullopt;
        add("estimates", set.id, set, {}, {}, *outcomes);
    }
    for (const RecalibratedSetInfo& recalibrated : *predictions) {
        const std::optional<EstimatesSetInfo> set =
            GetEstimatesSet(db, recalibrated.estimatesSetId);
        if (!set) return std::nullopt;
        // Its predictions come from the fits of the set it recalibrates.
        const std::optional<std::string> outcomes = StoredFitSummary(db, set->id);
        if (!outcomes) return std::nullopt;
        add("predictions", recalibrated.id, *set, recalibrated.recalibrationMethodName,
            std::int64_t{recalibrated.estimatesSetId}, *outcomes);
    }
    return table;
}

std::optional<RowSet> DataSetNameList(Database& db) {
    return BindSortedList(db, "DataName", "DataSetID", "DataSets", "DataSetID", "DESC");
}

namespace {

int IntField(const DbValue& value) {
    const auto* number = std::get_if<std::int64_t>(&value);
    return number ? static_cast<int>(*number) : 0;
}

// What the rows of a binder stand for: estimates sets (or methods), predictions sets, or
// either as the second field says (1 for a predictions set).
enum class RowKind { Raw, Recalibrated, InSecondField };

// The binder's rows typed; the key is the first field.
std::optional<SelectionGrid> Typed(std::optional<RowSet> rows, RowKind kind,
                                   std::vector<int> hiddenColumns = {}) {
    if (!rows) return std::nullopt;
    SelectionGrid grid{std::move(rows->headings), {}, std::move(hiddenColumns)};
    for (std::vector<DbValue>& fields : rows->rows) {
        const bool recalibrated = kind == RowKind::InSecondField ? IntField(fields.at(1)) == 1
                                                                 : kind == RowKind::Recalibrated;
        grid.rows.push_back({IntField(fields.at(0)), recalibrated, std::move(fields)});
    }
    return grid;
}

}  // namespace

RowSet SelectionGrid::Listed() const {
    RowSet listed{headings, {}};
    for (const GridRow& row : rows) listed.rows.push_back(row.fields);
    return listed;
}

std::optional<SelectionGrid> EstimatesSetGrid(Database& db, const std::string& dataName) {
    return Typed(BindEstimatesSets(db, dataName), RowKind::Raw);
}

std::optional<SelectionGrid> PredictionsSetGrid(Database& db, const std::string& dataName) {
    return Typed(BindPredictionsSets(db, dataName), RowKind::Recalibrated);
}

std::optional<SelectionGrid> RecalibrationMethodGrid(Database& db) {
    return Typed(BindRecalibrationMethods(db), RowKind::Raw);
}

std::optional<SelectionGrid> ModelsOfDataSetGrid(Database& db, int estimatesSetId) {
    return Typed(BindModelsOfDataSet(db, estimatesSetId), RowKind::Raw, {0});
}

std::optional<SelectionGrid> PredictionSetGrid(Database& db, int estimatesSetId) {
    // Fields: key, kind, model, method.
    return Typed(BindAllPredictionSets(db, estimatesSetId), RowKind::InSecondField, {0, 1});
}

}  // namespace tamsel
