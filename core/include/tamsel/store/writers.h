// The record writers: a dataset and its failure times, an estimates set and its estimates,
// a predictions set and its predictions, and the deletion of a dataset with everything
// computed from it.
//
// Every writer stores its rows in one transaction: it returns true when all of them went
// in and false, with nothing stored, when any row is refused (a violated relation or
// unique name, a full disk, a read-only file) or a value is not finite. Writers show no
// messages; the deleting routines are the exception and say so.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/records/records.h"
#include "tamsel/store/database.h"

namespace tamsel {

// Stores a DataSets row and returns its new DataSetID; 0 when the row is refused. dataTypeId:
// 1 interfailure times, 2 cumulative times.
int InsertDataSet(Database& db, const std::string& dataName, const std::string& dataFile,
                  int dataTypeId, int dataNumber, const std::string& dataSource);

// Stores the failure times of the dataset named dataName (exact match), numbered from 1.
// data holds the values in file order, data[0] the first. With dataTypeId 1 they are
// interfailure times and the cumulative times are their running sums; with 2 they are
// cumulative times and the interfailure times their differences (the first counts from 0).
// Any other type, or an unknown name, stores nothing and returns false. Empty data stores
// nothing and returns true.
bool InsertFailureTimes(Database& db, const std::vector<double>& data, int dataTypeId,
                        const std::string& dataName);

// Adds failures first..N of the dataset dataSetId from the failure-indexed interfailure times
// x and cumulative times t (N = x.size() - 1, the same for t) and makes N its DataNumber, as
// one unit (nested in the caller's transaction). False, with nothing stored, when first < 1,
// the series differ in length, a value is not finite or a row is refused.
bool AppendFailureTimes(Database& db, int dataSetId, int first, const FailureSeries& x,
                        const FailureSeries& t);

// Stores an estimates set and its rows estimates[first..last] (indexed by failure index) as one
// unit and returns the new EstimatesSetID, or 0 with nothing stored. first > last stores a set
// without rows; an index outside estimates stores nothing.
int StoreEstimatesSet(Database& db, int dataSetId, int modelId, int rangeId, int inferenceMethodId,
                      int first, int last, const EstimatesArray& estimates);

// Stores a predictions set and its rows as one unit and returns the new PredictionsSetID, or 0
// with nothing stored: failure index k = base + offset .. stop - 1 takes element k - base + 1 of
// each array (element 1 is the first, element 0 unused); MTTF stays Null. An element outside an
// array stores nothing.
int StorePredictionsSet(Database& db, int estimatesSetId, int recalibrationMethodId, int base,
                        int stop, int offset, const std::vector<double>& cdf,
                        const std::vector<double>& pdf, const std::vector<double>& lowQ,
                        const std::vector<double>& median, const std::vector<double>& uppQ);

// Replaces the rows of estimates set estimatesSetId from failure index first on with
// estimates[first..last], as one unit; false with nothing changed as StoreEstimatesSet.
bool ReplaceEstimatesFrom(Database& db, int estimatesSetId, int first, int last,
                          const EstimatesArray& estimates);

// Replaces every row of predictions set predictionsSetId with the rows StorePredictionsSet
// would store from the same arguments, as one unit; false with nothing changed.
bool ReplacePredictions(Database& db, int predictionsSetId, int base, int stop, int offset,
                        const std::vector<double>& cdf, const std::vector<double>& pdf,
                        const std::vector<double>& lowQ, const std::vector<double>& median,
                        const std::vector<double>& uppQ);

// The RangeID of the Ranges row with this type, start and end (no end: up to the last
// failure), stored first when there is none. 0 when start < 1, end < start or the row
// cannot be stored.
int FindOrCreateRange(Database& db, int rangeTypeId, int start, std::optional<int> end);

// Deletes the dataset named exactly dataName and, through the relations, its failure
// times, estimates sets, estimates, predictions sets and predictions. When there is no such
// dataset or the engine refuses, shows "An error occurred while trying to delete a record
// from the DataSets table", changes nothing and returns false. A set cancel flag stops it
// with nothing deleted and "The deletion was cancelled by user action".
bool DeleteDataSet(Database& db, const std::string& dataName,
                   const std::atomic<bool>* cancel = nullptr);
}  // namespace tamsel
