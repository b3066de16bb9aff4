#include "tamsel/store/sets.h"

#include "store_helpers.h"
#include "value_checks.h"

namespace tamsel {
namespace {

constexpr const char* kReadFailure = "An error occurred while reading the database.";

// The estimates sets selected by where (with its :Key), by key.
std::vector<EstimatesSetInfo> SelectEstimatesSets(Database& db, const std::string& where,
                                                  const DbValue& key) {
    Statement select = db.Prepare(
        "SELECT EstimatesSets.EstimatesSetID, EstimatesSets.DataSetID, EstimatesSets.ModelID, "
        "Models.ModelName, EstimatesSets.RangeID, Ranges.RangeStart, Ranges.RangeEnd, "
        "DataSets.DataNumber, EstimatesSets.InferenceMethodID, InferenceMethodNames.MethodName "
        "FROM EstimatesSets, Models, Ranges, DataSets, InferenceMethodNames, InferenceMethods "
        "WHERE " +
        where +
        " AND EstimatesSets.ModelID = Models.ModelID "
        "AND EstimatesSets.RangeID = Ranges.RangeID "
        "AND EstimatesSets.DataSetID = DataSets.DataSetID "
        "AND EstimatesSets.InferenceMethodID = InferenceMethods.InferenceMethodID "
        "AND InferenceMethods.MethodNameID = InferenceMethodNames.MethodNameID "
        "ORDER BY EstimatesSets.EstimatesSetID;");
    select.Bind("Key", key);
    std::vector<EstimatesSetInfo> sets;
    while (select.Step()) {
        EstimatesSetInfo set;
        set.id = IntColumn(select, 0);
        set.dataSetId = IntColumn(select, 1);
        set.modelNumber = IntColumn(select, 2);
        set.modelName = select.ColumnText(3);
        set.rangeId = IntColumn(select, 4);
        set.rangeStart = IntColumn(select, 5);
        set.size = IntColumn(select, 7);
        set.rangeEnd = select.ColumnIsNull(6) ? set.size : IntColumn(select, 6);
        set.inferenceMethodId = IntColumn(select, 8);
        set.inference = select.ColumnText(9);
        sets.push_back(std::move(set));
    }
    return sets;
}

// The predictions sets selected by where (with its :Key), by key.
std::vector<RecalibratedSetInfo> SelectPredictionsSets(Database& db, const std::string& where,
                                                       const DbValue& key) {
    Statement select = db.Prepare(
        "SELECT PredictionsSets.PredictionsSetID, PredictionsSets.EstimatesSetID, "
        "Models.ModelName, PredictionsSets.RecalibrationMethodID, "
        "RecalibrationMethods.RecalibrationMethodName "
        "FROM PredictionsSets, Models, RecalibrationMethods, EstimatesSets, DataSets "
        "WHERE " +
        where +
        " AND EstimatesSets.DataSetID = DataSets.DataSetID "
        "AND PredictionsSets.EstimatesSetID = EstimatesSets.EstimatesSetID "
        "AND EstimatesSets.ModelID = Models.ModelID "
        "AND PredictionsSets.RecalibrationMethodID = RecalibrationMethods.RecalibrationMethodID "
        "ORDER BY PredictionsSets.PredictionsSetID;");
    select.Bind("Key", key);
    std::vector<RecalibratedSetInfo> sets;
    while (select.Step()) {
        sets.push_back({IntColumn(select, 0), IntColumn(select, 1), select.ColumnText(2),
                        IntColumn(select, 3), select.ColumnText(4)});
    }
    return sets;
}

// Warns of each set of the dataset named dataName whose model or range is missing: the
// lists leave such a set out, since nothing can be computed from it.
void WarnOfUnusableSets(Database& db, const std::string& dataName) {
    Statement select = db.Prepare(
        "SELECT s.EstimatesSetID, s.ModelID, m.ModelID, s.RangeID, r.RangeID "
        "FROM EstimatesSets AS s JOIN DataSets AS d ON d.DataSetID = s.DataSetID "
        "LEFT JOIN Models AS m ON m.ModelID = s.ModelID "
        "LEFT JOIN Ranges AS r ON r.RangeID = s.RangeID "
        "WHERE d.DataName = :Key AND (m.ModelID IS NULL OR r.RangeID IS NULL) "
        "ORDER BY s.EstimatesSetID;");
    select.Bind("Key", dataName);
    while (select.Step()) {
        try {
            CheckSetReferences(select);
        } catch (const DatabaseError& error) {
            if (error.GetFault() != DatabaseError::Fault::BadValue) throw;
            ShowMessage(std::string(error.what()) + " The set is left out of the lists.",
                        MessageIcon::Exclamation);
        }
    }
}

// The one element of sets; none is a failure.
template <typename T>
T Only(std::vector<T> sets) {
    if (sets.empty()) throw NoRow();
    return std::move(sets.front());
}

// The first dataset whose field equals key.
std::optional<DataSetInfo> SelectDataSet(Database& db, const char* field, const DbValue& key) {
    return ShowOnFailure(kReadFailure, [&]() -> std::optional<DataSetInfo> {
        Statement select = db.Prepare(
            "SELECT DataSetID, DataName, DataFile, DataTypeID, DataNumber, DataSource "
            "FROM DataSets WHERE " +
            std::string(field) + " = :Key ORDER BY DataSetID LIMIT 1;");
        select.Bind("Key", key);
        if (!select.Step()) throw NoRow();
        return DataSetInfo{IntColumn(select, 0), select.ColumnText(1), select.ColumnText(2),
                           IntColumn(select, 3), IntColumn(select, 4), select.ColumnText(5)};
    });
}

}  // namespace

std::optional<DataSetInfo> FindDataSet(Database& db, const std::string& name) {
    return SelectDataSet(db, "DataName", name);
}

std::optional<DataSetInfo> GetDataSet(Database& db, int dataSetId) {
    return SelectDataSet(db, "DataSetID", Long(dataSetId));
}

std::optional<EstimatesSetInfo> GetEstimatesSet(Database& db, int estimatesSetId) {
    return ShowOnFailure(kReadFailure, [&]() -> std::optional<EstimatesSetInfo> {
        return Only(
            SelectEstimatesSets(db, "EstimatesSets.EstimatesSetID = :Key", Long(estimatesSetId)));
    });
}

std::optional<std::vector<EstimatesSetInfo>> ListEstimatesSets(Database& db,
                                                               const std::string& dataName) {
    return ShowOnFailure(
        "An error occurred while assigning an estimates recordset to the data control.",
        [&]() -> std::optional<std::vector<EstimatesSetInfo>> {
            WarnOfUnusableSets(db, dataName);
            return SelectEstimatesSets(db, "DataSets.DataName = :Key", dataName);
        });
}

std::optional<std::vector<RecalibratedSetInfo>> ListPredictionsSets(Database& db,
                                                                    const std::string& dataName) {
    return ShowOnFailure(
        "An error occurred while assigning an predictions recordset to the data control.",
        [&]() -> std::optional<std::vector<RecalibratedSetInfo>> {
            return SelectPredictionsSets(db, "DataSets.DataName = :Key", dataName);
        });
}

std::optional<RecalibratedSetInfo> GetPredictionsSet(Database& db, int predictionsSetId) {
    return ShowOnFailure(kReadFailure, [&]() -> std::optional<RecalibratedSetInfo> {
        return Only(SelectPredictionsSets(db, "PredictionsSets.PredictionsSetID = :Key",
                                          Long(predictionsSetId)));
    });
}

std::optional<std::vector<OpenEndedSet>> ListOpenEndedSets(Database& db, int dataSetId) {
    return ShowOnFailure(kReadFailure, [&]() -> std::optional<std::vector<OpenEndedSet>> {
        std::vector<OpenEndedSet> open;
        for (EstimatesSetInfo& set :
             SelectEstimatesSets(db, "EstimatesSets.DataSetID = :Key AND Ranges.RangeEnd IS NULL",
                                 Long(dataSetId))) {
            Statement last = db.Prepare(
                "SELECT COALESCE(MAX(FailureIndex), 0) FROM Estimates WHERE EstimatesSetID = ?;");
            last.Bind(1, Long(set.id));
            last.Step();
            const int lastIndex = IntColumn(last, 0);
            std::vector<RecalibratedSetInfo> recalibrations =
                SelectPredictionsSets(db, "PredictionsSets.EstimatesSetID = :Key", Long(set.id));
            open.push_back({std::move(set), lastIndex, std::move(recalibrations)});
        }
        return open;
    });
}

std::optional<RecalibrationMethodInfo> GetRecalibrationMethod(Database& db, int methodId) {
    return ShowOnFailure(kReadFailure, [&]() -> std::optional<RecalibrationMethodInfo> {
        Statement select = db.Prepare(
            "SELECT RecalibrationMethodID, RecalibrationMethodName, Iter, NI, SqMax "
            "FROM RecalibrationMethods WHERE RecalibrationMethodID = :Key;");
        select.Bind("Key", Long(methodId));
        if (!select.Step()) throw NoRow();
        return RecalibrationMethodInfo{IntColumn(select, 0), select.ColumnText(1),
                                       IntColumn(select, 2), IntColumn(select, 3),
                                       DoubleColumn(select, 4)};
    });
}

}  // namespace tamsel
