// The reads that return rows as the engine gives them: the lists and grids of the selection
// dialogs and the show-every-column selections behind tables and plots. Kept inside the
// store and the workbench; everything above reaches them through the workbench.
#pragma once

#include <optional>
#include <string>

#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"

namespace tamsel {

// field1 and field2 of every row of table ordered by orderField; direction is "ASC" or
// "DESC". The dataset list is ("DataName", "DataSetID", "DataSets", "DataSetID", "DESC"):
// newest first. Failure: "An error occurred while assigning a recordset to the data
// control."
std::optional<RowSet> BindSortedList(Database& db, const std::string& field1,
                                     const std::string& field2, const std::string& table,
                                     const std::string& orderField, const std::string& direction);

// The estimates sets of the dataset named dataSetName, oldest first; headings "Set ID",
// "Model", "Range start", "Range end", "Set size", "Inference method". Failure: "An error
// occurred while assigning an estimates recordset to the data control."
std::optional<RowSet> BindEstimatesSets(Database& db, const std::string& dataSetName);

// The predictions sets of the dataset named dataSetName, oldest first; headings "Set ID",
// "Model", "Recalibration method name            ". Failure: "An error occurred while
// assigning an predictions recordset to the data control."
std::optional<RowSet> BindPredictionsSets(Database& db, const std::string& dataSetName);

// Every recalibration method; headings "Method ID", "Recalibration method name          ",
// "Iter", "NI", "SqMax". Failure: "An error occurred while assigning recalibration methods
// to the data control."
std::optional<RowSet> BindRecalibrationMethods(Database& db);

// EstimatesSetID and ModelName of every estimates set of the dataset that estimatesSetId
// belongs to. Failure: "An error occurred while assigning a model to the data control."
std::optional<RowSet> BindModelsOfDataSet(Database& db, int estimatesSetId);

// The raw sets (kind 0, the estimates sets, fourth column "Raw predictions") and the
// predictions sets (kind 1, fourth column the recalibration method's name) of the dataset
// that estimatesSetId belongs to, raw sets first, each kind by key. Columns: key, kind,
// "Model       ", "Recalibration                        ". Failure: "An error occurred while
// assigning prediction sets to the data control."
std::optional<RowSet> BindAllPredictionSets(Database& db, int estimatesSetId);

// Every column of the rows of table where keyField = keyValue, only those with
// fromField >= fromIndex when fromField is not empty and fromIndex >= 1, ordered by orderBy
// when it is not empty. Failure: "An error occurred while extracting a recordset from table
// " table " where the field " keyField " = " keyValue.
std::optional<RowSet> SelectRecords(Database& db, const std::string& table,
                                    const std::string& keyField, const DbValue& keyValue,
                                    const std::string& orderBy, const std::string& fromField,
                                    int fromIndex);

}  // namespace tamsel
