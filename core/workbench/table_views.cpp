#include "tamsel/workbench/table_views.h"

#include <algorithm>
#include <cstdint>
#include "row_selections.h"

#include "tamsel/store/sets.h"

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

}  // namespace

std::optional<RowSet> FailureTimesRows(Database& db, int dataSetId) {
    return VisibleRows(db, "FailureTimes", "DataSetID", dataSetId);
}

std::optional<RowSet> EstimatesRows(Database& db, int estimatesSetId) {
    return VisibleRows(db, "Estimates", "EstimatesSetID", estimatesSetId);
}

std::optional<RowSet> PredictionsRows(Database& db, int predictionsSetId) {
    return VisibleRows(db, "Predictions", "PredictionsSetID", predictionsSetId);
}

std::optional<TableView> ShowFailureTimesTable(Database& db, const CurrentSelection& selection) {
    const std::optional<DataSetInfo> dataSet = FindDataSet(db, selection.dataSetName);
    if (!dataSet) return std::nullopt;
    std::optional<RowSet> rows = FailureTimesRows(db, dataSet->id);
    if (!rows) return std::nullopt;
    return TableView{"TABLE: " + selection.dataSetName + " - Failure times", "Failure Times",
                     std::move(*rows)};
}

std::optional<TableView> ShowEstimatesTable(Database& db, const CurrentSelection& selection) {
    if (selection.recalibrated) {
        std::optional<RowSet> rows = PredictionsRows(db, selection.predictionsSetId);
        if (!rows) return std::nullopt;
        return TableView{"Table - " + selection.dataSetName + " (" + selection.modelName + " - " +
                             selection.inferenceMethodName + " - " +
                             selection.recalibrationMethodName + ") - Recalibrated estimates ",
                         "Recalibrated Estimates", std::move(*rows)};
    }
    std::optional<RowSet> rows = EstimatesRows(db, selection.estimatesSetId);
    if (!rows) return std::nullopt;
    return TableView{"TABLE: " + selection.dataSetName + " (" + selection.modelName + " - " +
                         selection.inferenceMethodName + ") - Estimates ",
                     "Estimates", std::move(*rows)};
}

}  // namespace tamsel
