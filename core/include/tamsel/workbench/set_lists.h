// The lists of datasets and sets the front ends show: the tables of the command-line tool and
// the lists and grids of the selection dialogs, under the headings they show. The first
// column of a grid is the key of its row. Each gives nullopt after the store's message.
#pragma once

#include <optional>
#include <string>

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

// The estimates sets of the dataset named dataName, oldest first: "Set ID", "Model", "Range
// start", "Range end" (Null for an open range), "Set size", "Inference method".
std::optional<RowSet> EstimatesSetGrid(Database& db, const std::string& dataName);

// The predictions sets of the dataset named dataName, oldest first: "Set ID", "Model" and
// the recalibration method's name.
std::optional<RowSet> PredictionsSetGrid(Database& db, const std::string& dataName);

// Every recalibration method: key, name, Iter, NI, SqMax.
std::optional<RowSet> RecalibrationMethodGrid(Database& db);

// The key and model name of every estimates set of the dataset estimatesSetId belongs to.
std::optional<RowSet> ModelsOfDataSetGrid(Database& db, int estimatesSetId);

// The raw sets (kind 0) then the predictions sets (kind 1) of the dataset estimatesSetId
// belongs to: key, kind, model, "Raw predictions" or the recalibration method's name.
std::optional<RowSet> PredictionSetGrid(Database& db, int estimatesSetId);

}  // namespace tamsel
