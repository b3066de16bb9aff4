#include "tamsel/workbench/project.h"

#include <cstdint>
#include <utility>
#include <vector>
#include "row_selections.h"

#include "tamsel/import/add_data_set.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/checks.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

// Ranges made by the CLI run from a start of the user's choice.
constexpr int kVariableRangeType = 1;

struct RecordTable {
    const char* table;
    const char* keyField;
    const char* what;
};

RecordTable TableOf(KeyedRecord kind) {
    switch (kind) {
        case KeyedRecord::EstimatesSet:
            return {"EstimatesSets", "EstimatesSetID", "estimates set"};
        case KeyedRecord::PredictionsSet:
            return {"PredictionsSets", "PredictionsSetID", "predictions set"};
        case KeyedRecord::RecalibrationMethod:
            break;
    }
    return {"RecalibrationMethods", "RecalibrationMethodID", "recalibration method"};
}

std::optional<std::string> RangeRefusal(int start, std::optional<int> end, int failures) {
    const std::string first = std::to_string(start);
    if (start < 1) {
        return "The range must start at failure 1 or later, not at failure " + first + ".";
    }
    if (end && *end < start) {
        return "The range must not end (at failure " + std::to_string(*end) +
               ") before it starts (at failure " + first + ").";
    }
    if (end.value_or(start) > failures) {
        return "The range reaches failure " + std::to_string(end.value_or(start)) +
               " but the data set has only " + std::to_string(failures) + " failures.";
    }
    return std::nullopt;
}

}  // namespace

bool CreateProject(const std::string& fileName) { return CreateTamselDatabase(fileName); }

std::unique_ptr<Database> OpenProject(const std::string& fileName) {
    return OpenTamselDatabase(fileName);
}

std::optional<int> LookUpDataSet(Database& db, const std::string& name) {
    const std::string trimmed = TrimDataName(name);
    const std::optional<int> id = FindDataSetId(db, trimmed);
    if (id && *id == 0) {
        ShowMessage("There is no dataset named \"" + trimmed + "\".");
        return std::nullopt;
    }
    return id;
}

bool RemoveDataSet(Database& db, const std::string& name, const std::atomic<bool>* cancel) {
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        ShowMessage(*refusal);
        return false;
    }
    return DeleteDataSet(db, TrimDataName(name), cancel);
}

std::optional<std::vector<std::string>> CheckProject(Database& db) {
    try {
        std::vector<std::string> problems = FindProblems(db);
        if (!problems.empty()) {
            ShowMessage("The project file has " + std::to_string(problems.size()) +
                        (problems.size() == 1 ? " problem." : " problems."));
        }
        return problems;
    } catch (const DatabaseError& error) {
        ShowMessage(FailureText(error, "An error occurred while checking the project file."));
        return std::nullopt;
    }
}

std::optional<bool> HasRecord(Database& db, KeyedRecord kind, int key) {
    const RecordTable record = TableOf(kind);
    const std::optional<RowSet> rows =
        SelectRecords(db, record.table, record.keyField, std::int64_t{key}, "", "", 0);
    if (!rows) return std::nullopt;
    return !rows->rows.empty();
}

bool RecordExists(Database& db, KeyedRecord kind, int key) {
    const std::optional<bool> exists = HasRecord(db, kind, key);
    if (!exists) return false;
    if (!*exists) {
        const RecordTable record = TableOf(kind);
        ShowMessage("There is no " + std::string(record.what) + " with the key " +
                    std::to_string(key) + ".");
        return false;
    }
    return true;
}

std::optional<int> CustomRange(Database& db, int dataSetId, int start, std::optional<int> end) {
    const std::optional<DataSetInfo> dataSet = GetDataSet(db, dataSetId);
    if (!dataSet) return std::nullopt;
    if (const std::optional<std::string> refusal = RangeRefusal(start, end, dataSet->count)) {
        ShowMessage(*refusal);
        return std::nullopt;
    }
    const int rangeId = FindOrCreateRange(db, kVariableRangeType, start, end);
    if (rangeId == 0) {
        ShowMessage("An error occurred while storing the range.");
        return std::nullopt;
    }
    return rangeId;
}

std::string ModelName(const EstimatesSetInfo& set) {
    const ModelInfo* model = FindModel(set.modelNumber);
    return model ? std::string(model->name) : set.modelName;
}

CurrentSelection WithEstimatesSet(CurrentSelection selection, const EstimatesSetInfo& set) {
    selection.ClearEstimatesSet();
    selection.estimatesSetId = set.id;
    selection.modelName = ModelName(set);
    selection.rangeStart = set.rangeStart;
    selection.rangeEnd = set.rangeEnd;
    selection.setSize = set.size;
    selection.inferenceMethodName = set.inference;
    return selection;
}

std::optional<CurrentSelection> WithRecalibratedSet(Database& db, CurrentSelection selection,
                                                    int predictionsSetId) {
    const std::optional<RecalibratedSetAttributes> set =
        GetRecalibratedSetAttributes(db, predictionsSetId);
    if (!set) return std::nullopt;
    const std::optional<EstimatesSetInfo> estimates = GetEstimatesSet(db, set->estimatesSetId);
    if (!estimates) return std::nullopt;
    selection.ClearEstimatesSet();
    selection.estimatesSetId = set->estimatesSetId;
    selection.modelName = ModelName(*estimates);
    selection.rangeStart = set->rangeStart;
    selection.rangeEnd = set->rangeEnd;
    selection.setSize = set->setSize;
    selection.inferenceMethodName = set->inferenceMethod;
    selection.recalibrationMethodName = set->recalibrationMethodName;
    selection.predictionsSetId = predictionsSetId;
    selection.recalibrated = true;
    return selection;
}

std::optional<CurrentSelection> WithSetOfDataSet(Database& db, CurrentSelection selection,
                                                 const PredictionSetRef& set) {
    if (set.recalibrated) return WithRecalibratedSet(db, std::move(selection), set.id);
    const std::optional<std::vector<EstimatesSetInfo>> sets =
        ListEstimatesSets(db, selection.dataSetName);
    if (!sets) return std::nullopt;
    for (const EstimatesSetInfo& info : *sets) {
        if (info.id == set.id) return WithEstimatesSet(std::move(selection), info);
    }
    ShowMessage("Dataset " + selection.dataSetName + " has no estimates set with the key " +
                std::to_string(set.id) + ".");
    return std::nullopt;
}

}  // namespace tamsel
