#include "tamsel/workbench/table_views.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "row_selections.h"

#include "tamsel/store/sets.h"
#include "tamsel/workbench/fit_outcomes.h"

namespace tamsel {
namespace {

// The first two columns of every table are the row key and the set key.
constexpr std::size_t kHiddenColumns = 2;

std::optional<RowSet> VisibleRows(Database& db, const std::string& table,
                                  const std::string& keyField, int key) {
    std::optional<RowSet> rows =
        SelectRecords(db, table, keyField, std::int64_t{key}, "FailureIndex", "", 0);
    if (!rows) return std::nullopt;
    const std::size_t hidden = std::min(kHiddenColumns, rows->headings.size());
    rows->headings.erase(rows->headings.begin(), rows->headings.begin() + hidden);
    for (auto& row : rows->rows) {
        row.erase(row.begin(), row.begin() + std::min(hidden, row.size()));
    }
    return rows;
}

// The failure index leads every visible row.
int FailureIndexOf(const std::vector<DbValue>& row) {
    const auto* index = row.empty() ? nullptr : std::get_if<std::int64_t>(&row.front());
    return index ? static_cast<int>(*index) : 0;
}

}  // namespace

std::optional<RowSet> FailureTimesRows(Database& db, int dataSetId) {
    return VisibleRows(db, "FailureTimes", "DataSetID", dataSetId);
}

std::optional<RowSet> EstimatesRows(Database& db, int estimatesSetId) {
    std::optional<RowSet> rows = VisibleRows(db, "Estimates", "EstimatesSetID", estimatesSetId);
    if (!rows) return std::nullopt;
    std::optional<std::map<int, std::string>> outcomes = FitOutcomesByIndex(db, estimatesSetId);
    if (!outcomes) return std::nullopt;
    rows->headings.push_back("Outcome");
    for (auto& row : rows->rows) {
        const auto found = outcomes->find(FailureIndexOf(row));
        row.push_back(found == outcomes->end() ? std::string(kOutcomeNotRecorded) : found->second);
    }
    return rows;
}

std::optional<RowSet> PredictionsRows(Database& db, int predictionsSetId) {
    return VisibleRows(db, "Predictions", "PredictionsSetID", predictionsSetId);
}

std::optional<TableView> ShowFailureTimesTable(Database& db, const CurrentSelection& selection) {
    const std::optional<DataSetInfo> dataSet = FindDataSet(db, selection.dataSetName);
    if (!dataSet) return std::nullopt;
    std::optional<RowSet> rows = FailureTimesRows(db, dataSet->id);
    if (!rows) return std::nullopt;
    return TableView{"TABLE: " + selection.dataSetName + " - Failure times",
                     "Failure Times",
                     std::move(*rows),
                     {},
                     {}};
}

std::optional<TableView> ShowEstimatesTable(Database& db, const CurrentSelection& selection) {
    if (selection.recalibrated) {
        std::optional<RowSet> rows = PredictionsRows(db, selection.predictionsSetId);
        if (!rows) return std::nullopt;
        // A recalibrated prediction is the raw fit's at the same index, passed through the
        // spline: the row carries that fit's note.
        const std::optional<std::map<int, std::string>> outcomes =
            FitOutcomesByIndex(db, selection.estimatesSetId);
        if (!outcomes) return std::nullopt;
        std::vector<std::string> notes;
        for (const auto& row : rows->rows) {
            const auto found = outcomes->find(FailureIndexOf(row));
            notes.push_back(found == outcomes->end()
                                ? std::string()
                                : OutcomeNote(FailureIndexOf(row), found->second));
        }
        return TableView{"Table - " + selection.dataSetName + " (" + selection.modelName + " - " +
                             selection.inferenceMethodName + " - " +
                             selection.recalibrationMethodName + ") - Recalibrated estimates ",
                         "Recalibrated Estimates",
                         std::move(*rows),
                         std::move(notes),
                         {{selection.predictionsSetId, true}}};
    }
    std::optional<RowSet> rows = EstimatesRows(db, selection.estimatesSetId);
    if (!rows) return std::nullopt;
    std::vector<std::string> notes;
    for (const auto& row : rows->rows) {
        const auto* outcome = std::get_if<std::string>(&row.back());
        notes.push_back(outcome ? OutcomeNote(FailureIndexOf(row), *outcome) : std::string());
    }
    return TableView{"TABLE: " + selection.dataSetName + " (" + selection.modelName + " - " +
                         selection.inferenceMethodName + ") - Estimates ",
                     "Estimates",
                     std::move(*rows),
                     std::move(notes),
                     {{selection.estimatesSetId, false}}};
}

}  // namespace tamsel
