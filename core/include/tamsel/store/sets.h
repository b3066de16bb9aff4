// Typed reads of datasets, estimates sets, predictions sets and recalibration methods. Each
// routine that fails has shown its message through the sink and gives nullopt.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/store/database.h"

namespace tamsel {

// A DataSets row.
struct DataSetInfo {
    int id = 0;
    std::string name;
    std::string file;
    int type = 0;   // DataTypeID: 1 interfailure times, 2 cumulative times
    int count = 0;  // DataNumber, the number of failures
    std::string source;
};

// The dataset named exactly name. Failure or no such dataset: "An error occurred while reading
// the database."
std::optional<DataSetInfo> FindDataSet(Database& db, const std::string& name);

// The dataset whose key is dataSetId. Failure or no such dataset: "An error occurred while
// reading the database."
std::optional<DataSetInfo> GetDataSet(Database& db, int dataSetId);

// An estimates set with what the lists show of it.
struct EstimatesSetInfo {
    int id = 0;
    int dataSetId = 0;
    int modelNumber = 0;
    std::string modelName;
    int rangeId = 0;
    int rangeStart = 0;
    int rangeEnd = 0;  // the dataset's DataNumber when the range has no end
    int size = 0;      // the dataset's DataNumber
    int inferenceMethodId = 0;
    std::string inference;  // the inference method's name
    bool operator==(const EstimatesSetInfo&) const = default;
};

// Failure or no such set: "An error occurred while reading the database."
std::optional<EstimatesSetInfo> GetEstimatesSet(Database& db, int estimatesSetId);

// The estimates sets of the dataset named dataName, oldest first. Failure: "An error occurred
// while assigning an estimates recordset to the data control."
std::optional<std::vector<EstimatesSetInfo>> ListEstimatesSets(Database& db,
                                                               const std::string& dataName);

// A predictions set (a recalibrated estimates set).
struct RecalibratedSetInfo {
    int id = 0;
    int estimatesSetId = 0;
    std::string modelName;
    int recalibrationMethodId = 0;
    std::string recalibrationMethodName;
    bool operator==(const RecalibratedSetInfo&) const = default;
};

// The predictions sets of the dataset named dataName, oldest first. Failure: "An error
// occurred while assigning an predictions recordset to the data control."
std::optional<std::vector<RecalibratedSetInfo>> ListPredictionsSets(Database& db,
                                                                    const std::string& dataName);

// Failure or no such set: "An error occurred while reading the database."
std::optional<RecalibratedSetInfo> GetPredictionsSet(Database& db, int predictionsSetId);

// An estimates set of a dataset whose range runs to the last failure (no stated end), with
// the last failure index it holds rows for (0 for none) and its recalibrations.
struct OpenEndedSet {
    EstimatesSetInfo set;
    int lastIndex = 0;
    std::vector<RecalibratedSetInfo> recalibrations;
    bool operator==(const OpenEndedSet&) const = default;
};

// The open-ended sets of the dataset, oldest first. Failure: "An error occurred while reading
// the database."
std::optional<std::vector<OpenEndedSet>> ListOpenEndedSets(Database& db, int dataSetId);

// A RecalibrationMethods row.
struct RecalibrationMethodInfo {
    int id = 0;
    std::string name;
    int iter = 0;
    int ni = 0;
    double sqMax = 0.0;
};

// Failure or no such method: "An error occurred while reading the database."
std::optional<RecalibrationMethodInfo> GetRecalibrationMethod(Database& db, int methodId);

}  // namespace tamsel
