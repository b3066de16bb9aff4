// The lists of datasets and sets the front ends show: the tables of the command-line tool and
// the lists and grids of the selection dialogs, under the headings they show. Each gives
// nullopt after the store's message.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"

namespace tamsel {

// Every field of every dataset, oldest first.
std::optional<RowSet> DataSetsTable(Database& db);

// The estimates sets, then the predictions sets, of the dataset named dataName: kind, key,
// model, range start and end (an open range ends at the last failure), set size, inference
// method, recalibration method and the estimates set a predictions set was made from.
std::optional<RowSet> SetsTable(Database& db, const std::string& dataName);

// The dataset names (then their keys), newest first.
std::optional<RowSet> DataSetNameList(Database& db);

// A row of a selection grid: what it stands for and the fields it lists.
struct GridRow {
    int key = 0;                  // of the set or recalibration method
    bool recalibrated = false;    // a predictions set rather than an estimates set
    std::vector<DbValue> fields;  // as listed, hidden ones included
};

// A selection dialog's grid: its rows under their headings, and the columns it keeps out of
// sight (keys and kinds the user has no use for).
struct SelectionGrid {
    std::vector<std::string> headings;
    std::vector<GridRow> rows;
    std::vector<int> hiddenColumns;

    // The headings and fields, for a table model.
    RowSet Listed() const;
};

// The estimates sets of the dataset named dataName, oldest first: "Set ID", "Model", "Range
// start", "Range end" (Null for an open range), "Set size", "Inference method".
std::optional<SelectionGrid> EstimatesSetGrid(Database& db, const std::string& dataName);

// The predictions sets of the dataset named dataName, oldest first: "Set ID", "Model" and
// the recalibration method's name.
std::optional<SelectionGrid> PredictionsSetGrid(Database& db, const std::string& dataName);

// Every recalibration method: key, name, Iter, NI, SqMax.
std::optional<SelectionGrid> RecalibrationMethodGrid(Database& db);

// The model name of every estimates set of the dataset estimatesSetId belongs to (its key
// hidden).
std::optional<SelectionGrid> ModelsOfDataSetGrid(Database& db, int estimatesSetId);

// The raw sets then the predictions sets of the dataset estimatesSetId belongs to: model, and
// "Raw predictions" or the recalibration method's name (key and kind hidden).
std::optional<SelectionGrid> PredictionSetGrid(Database& db, int estimatesSetId);

}  // namespace tamsel
