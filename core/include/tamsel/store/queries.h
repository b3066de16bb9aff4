// The reads of the project file that the computing steps need: indexed columns, failure
// times, minimiser settings, ranges and the single lookups.
//
// Values from users and callers are bound as parameters, never pasted into the statement;
// table and field names must be names of the project file's schema (matched without regard
// to case), otherwise the routine fails as it does when the engine refuses. Each routine
// that returns an empty result on failure has shown its message through the sink first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/records/records.h"
#include "tamsel/store/database.h"

namespace tamsel {

// The rows of a selection and the column headings a list or grid shows for them.
struct RowSet {
    std::vector<std::string> headings;
    std::vector<std::vector<DbValue>> rows;
};

struct IndexedValue {
    int index = 0;
    double value = 0.0;
};

// (indexField, valueField) of the rows of table where keyField = keyValue and, when
// fromIndex > 0, indexField >= fromIndex, always without the row of the largest indexField
// (the last failure has no observation to be compared with). Ordered by value (equal values
// by index) when sortByValue, by index otherwise. A Null value is a failure. Failure: "An
// error occurred while extracting fields from table " table " where the field " keyField
// " = " keyValue.
std::optional<std::vector<IndexedValue>> SelectIndexedValues(
    Database& db, const std::string& table, const std::string& keyField, const DbValue& keyValue,
    const std::string& indexField, const std::string& valueField, bool sortByValue, int fromIndex);

// The oldest estimates set with these four keys, or 0. Failure: "An error occurred while
// reading the EstimatesSets table in the database." and 0.
int FindEstimatesSet(Database& db, int dataSetId, int modelId, int rangeId, int inferenceMethodId);

// The oldest predictions set of estimatesSetId made by recalibrationMethodId, or 0.
// Failure: "An error occurred while reading the PredictionsSets table in the database." and
// 0.
int FindPredictionsSet(Database& db, int estimatesSetId, int recalibrationMethodId);

// What the selection shows of a recalibrated set. rangeEnd is the dataset's DataNumber when
// the range has no end; setSize is DataNumber.
struct RecalibratedSetAttributes {
    int estimatesSetId = 0;
    std::string modelName;
    int rangeStart = 0;
    int rangeEnd = 0;
    int setSize = 0;
    std::string inferenceMethod;
    std::string recalibrationMethodName;
};

// Failure or no such set: "An error occurred while retrieving the attributes of a
// recalibrated set."
std::optional<RecalibratedSetAttributes> GetRecalibratedSetAttributes(Database& db,
                                                                      int predictionsSetId);

// Which settings of an inference method a minimiser takes.
enum class MinimiserSettings {
    OneDimensional,    // the iteration budget MaxIter1D
    MultiDimensional,  // MaxIter2D, Eta and Tolerance
};

// The minimiser settings of inferenceMethodId for a minimiser of kind. Both precisions are
// always read; OneDimensional takes maxIter from MaxIter1D and leaves eta and tolerance as
// they were; MultiDimensional takes MaxIter2D, Eta and Tolerance. A read failure (no such
// method, a Null setting) shows "An error occurred while reading the table
// MinimisationParameters.", leaves settings unchanged and returns false.
bool GetMinimisationParameters(Database& db, MinimiserSettings kind, int inferenceMethodId,
                               MinimisationSettings& settings);

// The failure indexes a model is applied to: rangeEnd is dataNumber when the range has no
// end. nullopt when the dataset or range is missing (after "An error occurred while reading
// the database.") or a value
// is not a whole number.
struct RangeInfo {
    int dataNumber = 0;
    int rangeStart = 0;
    int rangeEnd = 0;
};
std::optional<RangeInfo> GetRange(Database& db, int dataSetId, int rangeId);

// The short code ("JM", "Du", ...) of the set's model. Failure or no such set: "An error
// occurred while reading the model code."
std::optional<std::string> GetModelCode(Database& db, int estimatesSetId);

struct LastParameters {
    int failureIndex = 0;
    double param1 = 0.0;
    double param2 = 0.0;
    double param3 = 0.0;
};

// The largest FailureIndex of the set in table ("Estimates") and its three parameters.
// Failure or an empty set: "An error occurred while extracting the model parameters"
std::optional<LastParameters> GetLastParameters(Database& db, const std::string& table,
                                                int estimatesSetId);

// One Estimates column of the set in FailureIndex order without the last failure index:
// element 1 is the first row, element 0 is unused (0). nullopt after SelectIndexedValues'
// message.
std::optional<std::vector<double>> ReadEstimatesColumn(Database& db, int estimatesSetId,
                                                       const std::string& fieldName);

// One FailureTimes column of the dataset in FailureIndex order from the startIndex-th row
// on (from the first when startIndex <= 1) without the last failure: element 1 is the row
// with FailureIndex = startIndex, element 0 is unused (0). nullopt after
// SelectIndexedValues' message, or when startIndex lies beyond the rows read.
std::optional<std::vector<double>> ReadFailureTimesColumn(Database& db, int dataSetId,
                                                          const std::string& fieldName,
                                                          int startIndex);

// The dataset's interfailure times into x[1..N] and cumulative times into t[1..N] (element
// 0 is 0), N the number of its failures. False, showing nothing, when the engine fails or
// the rows are not numbered 1..N with values.
bool ReadFailureTimes(Database& db, int dataSetId, FailureSeries& x, FailureSeries& t);

// The key of the dataset named exactly dataName, 0 when there is none. On an engine failure
// shows "An error occurred while reading the database." and returns nullopt.
std::optional<int> FindDataSetId(Database& db, const std::string& dataName);

// Whether a dataset named exactly dataName exists; nullopt as FindDataSetId.
std::optional<bool> DataSetNameExists(Database& db, const std::string& dataName);

// Whether the dataset (the estimates set) with this key is still there, asked inside the unit
// that stores what was computed from it: another user may have deleted it meanwhile. Throws
// DatabaseError.
bool DataSetExists(Database& db, int dataSetId);
bool EstimatesSetExists(Database& db, int estimatesSetId);

}  // namespace tamsel
