// The rows of the three tables (failure times, estimates, recalibrated estimates) as a table
// window shows them, with its captions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/models/model_table.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/support/selection.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

// Every field of the stored rows of a set in failure index order, without the row key and
// the set key, headed by the field names; the estimates end with "Outcome", how each fit
// ended ("not recorded" for a set stored by an earlier version). nullopt after the
// selection's message.
std::optional<RowSet> FailureTimesRows(Database& db, int dataSetId);
std::optional<RowSet> EstimatesRows(Database& db, int estimatesSetId);
std::optional<RowSet> PredictionsRows(Database& db, int predictionsSetId);

struct TableView {
    std::string windowCaption;
    std::string gridCaption;
    RowSet rows;
    // Per row, empty or a sentence on a fit that ended irregularly (see OutcomeNote), which
    // the window marks the row with.
    std::vector<std::string> rowNotes;
    // The set whose rows these are; none for the failure times.
    std::vector<PredictionSetRef> sets;
    // Per column, what it holds (see ColumnNote), which the window shows over its heading.
    std::vector<std::string> headingNotes;
};

enum class TableKind { FailureTimes, Estimates, RecalibratedEstimates };

// What the column headed heading of a table of kind holds, in a sentence; the estimates'
// Parameter1..3 named as model names them (for every model when model is null). Empty for a
// heading the table does not have.
std::string ColumnNote(TableKind kind, std::string_view heading, const ModelInfo* model);

// The failure times of the current dataset: window "TABLE: <dataset> - Failure times", grid
// "Failure Times". nullopt after a message when the dataset or its rows cannot be read.
std::optional<TableView> ShowFailureTimesTable(Database& db, const CurrentSelection& selection);

// The estimates of the current estimates set: window "TABLE: <dataset> (<model> - <inference
// method>) - Estimates ", grid "Estimates"; or, when the current set is recalibrated, its
// predictions: window "Table - <dataset> (<model> - <inference method> - <recalibration
// method>) - Recalibrated estimates ", grid "Recalibrated Estimates".
std::optional<TableView> ShowEstimatesTable(Database& db, const CurrentSelection& selection);

}  // namespace tamsel
