#include "tamsel/store/queries.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

#include "row_selections.h"
#include "schema_definition.h"
#include "store_helpers.h"
#include "tamsel/support/messages.h"
#include "value_checks.h"

namespace tamsel {
namespace {

std::string ValueText(const DbValue& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&value)) {
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, *d);
        return std::string(buffer, result.ptr);
    }
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    return {};
}

// A column's heading as the schema spells a field of that name: a server hands unquoted names
// back in lower case, and the program finds columns by their headings.
std::string Heading(std::string name) {
    for (const TableDefinition& table : ProjectSchema()) {
        if (const FieldDefinition* field = FindField(table, name)) return field->name;
    }
    return name;
}

RowSet ReadRows(Statement& select) {
    RowSet result;
    for (int c = 0; c < select.ColumnCount(); ++c) {
        result.headings.push_back(Heading(select.ColumnName(c)));
    }
    while (select.Step()) {
        std::vector<DbValue> row;
        row.reserve(result.headings.size());
        for (int c = 0; c < select.ColumnCount(); ++c) row.push_back(select.Column(c));
        result.rows.push_back(std::move(row));
    }
    return result;
}

int FirstKey(Database& db, const std::string& sql,
             std::initializer_list<std::pair<std::string_view, int>> keys) {
    Statement select = db.Prepare(sql);
    for (const auto& [name, key] : keys) select.Bind(name, std::int64_t{key});
    return select.Step() ? IntColumn(select, 0) : 0;
}

RowSet SelectRows(Database& db, const std::string& sql,
                  std::initializer_list<std::pair<std::string_view, DbValue>> parameters = {}) {
    Statement select = db.Prepare(sql);
    for (const auto& [name, value] : parameters) select.Bind(name, value);
    return ReadRows(select);
}

const char* CheckedDirection(std::string_view direction) {
    if (direction == "ASC" || direction == "asc") return "ASC";
    if (direction == "DESC" || direction == "desc") return "DESC";
    throw DatabaseError("no sort direction " + std::string(direction));
}

// One column of a set in index order without its last row, from the startIndex-th row on,
// into elements 1, 2, ... (element 0 unused).
std::optional<std::vector<double>> ReadColumn(Database& db, const std::string& table,
                                              const std::string& keyField, int key,
                                              const std::string& fieldName, int startIndex) {
    const auto pairs = SelectIndexedValues(db, table, keyField, std::int64_t{key}, "FailureIndex",
                                           fieldName, false, 0);
    if (!pairs) return std::nullopt;
    const std::size_t skipped = startIndex > 1 ? static_cast<std::size_t>(startIndex - 1) : 0;
    if (skipped > pairs->size()) return std::nullopt;
    std::vector<double> values{0.0};
    values.reserve(pairs->size() - skipped + 1);
    for (std::size_t i = skipped; i < pairs->size(); ++i) values.push_back((*pairs)[i].value);
    return values;
}

}  // namespace

int DataSetKey(Database& db, const std::string& dataName) {
    Statement find = db.Prepare("SELECT DataSetID FROM DataSets WHERE DataName = :DataName;");
    find.Bind("DataName", dataName);
    return find.Step() ? IntColumn(find, 0) : 0;
}

std::optional<RowSet> BindSortedList(Database& db, const std::string& field1,
                                     const std::string& field2, const std::string& table,
                                     const std::string& orderField, const std::string& direction) {
    return ShowOnFailure("An error occurred while assigning a recordset to the data control.",
                         [&]() -> std::optional<RowSet> {
                             const std::string& t = CheckedTable(table);
                             return SelectRows(db, "SELECT " + CheckedField(t, field1) + ", " +
                                                       CheckedField(t, field2) + " FROM " + t +
                                                       " ORDER BY " + CheckedField(t, orderField) +
                                                       " " + CheckedDirection(direction) + ";");
                         });
}

std::optional<RowSet> BindEstimatesSets(Database& db, const std::string& dataSetName) {
    return ShowOnFailure(
        "An error occurred while assigning an estimates recordset to the data control.",
        [&]() -> std::optional<RowSet> {
            return SelectRows(
                db,
                "SELECT EstimatesSets.EstimatesSetID AS \"Set ID\", "
                "Models.ModelName AS \"Model\", "
                "Ranges.RangeStart AS \"Range start\", "
                "Ranges.RangeEnd AS \"Range end\", "
                "DataSets.DataNumber AS \"Set size\", "
                "InferenceMethodNames.MethodName AS \"Inference method\" "
                "FROM EstimatesSets, Models, Ranges, DataSets, "
                "InferenceMethodNames, InferenceMethods "
                "WHERE DataSets.DataName = :DataName "
                "AND EstimatesSets.ModelID = Models.ModelID "
                "AND EstimatesSets.RangeID = Ranges.RangeID "
                "AND EstimatesSets.DataSetID = DataSets.DataSetID "
                "AND EstimatesSets.InferenceMethodID = InferenceMethods.InferenceMethodID "
                "AND InferenceMethods.MethodNameID = InferenceMethodNames.MethodNameID "
                "ORDER BY EstimatesSets.EstimatesSetID;",
                {{"DataName", dataSetName}});
        });
}

std::optional<RowSet> BindPredictionsSets(Database& db, const std::string& dataSetName) {
    return ShowOnFailure(
        "An error occurred while assigning an predictions recordset to the data control.",
        [&]() -> std::optional<RowSet> {
            return SelectRows(
                db,
                "SELECT PredictionsSets.PredictionsSetID AS \"Set ID\", "
                "Models.ModelName AS \"Model\", "
                "RecalibrationMethods.RecalibrationMethodName "
                "AS \"Recalibration method name            \" "
                "FROM PredictionsSets, Models, RecalibrationMethods, EstimatesSets, DataSets "
                "WHERE DataSets.DataName = :DataName "
                "AND EstimatesSets.DataSetID = DataSets.DataSetID "
                "AND PredictionsSets.EstimatesSetID = EstimatesSets.EstimatesSetID "
                "AND EstimatesSets.ModelID = Models.ModelID "
                "AND PredictionsSets.RecalibrationMethodID = "
                "RecalibrationMethods.RecalibrationMethodID "
                "ORDER BY PredictionsSets.PredictionsSetID;",
                {{"DataName", dataSetName}});
        });
}

std::optional<RowSet> BindRecalibrationMethods(Database& db) {
    return ShowOnFailure(
        "An error occurred while assigning recalibration methods to the data control.",
        [&]() -> std::optional<RowSet> {
            return SelectRows(db,
                              "SELECT RecalibrationMethods.RecalibrationMethodID AS "
                              "\"Method ID\", "
                              "RecalibrationMethods.RecalibrationMethodName "
                              "AS \"Recalibration method name          \", "
                              "RecalibrationMethods.Iter, "
                              "RecalibrationMethods.NI, "
                              "RecalibrationMethods.SqMax "
                              "FROM RecalibrationMethods "
                              "ORDER BY RecalibrationMethods.RecalibrationMethodID;");
        });
}

std::optional<RowSet> BindModelsOfDataSet(Database& db, int estimatesSetId) {
    return ShowOnFailure("An error occurred while assigning a model to the data control.",
                         [&]() -> std::optional<RowSet> {
                             return SelectRows(
                                 db,
                                 "SELECT EstimatesSets.EstimatesSetID, Models.ModelName "
                                 "FROM EstimatesSets, Models "
                                 "WHERE EstimatesSets.DataSetID IN "
                                 "(SELECT EstimatesSets.DataSetID FROM EstimatesSets "
                                 "WHERE EstimatesSets.EstimatesSetID = :SetID) "
                                 "AND EstimatesSets.ModelID = Models.ModelID "
                                 "ORDER BY EstimatesSets.EstimatesSetID;",
                                 {{"SetID", std::int64_t{estimatesSetId}}});
                         });
}

std::optional<RowSet> BindAllPredictionSets(Database& db, int estimatesSetId) {
    return ShowOnFailure(
        "An error occurred while assigning prediction sets to the data control.",
        [&]() -> std::optional<RowSet> {
            return SelectRows(db,
                              "SELECT e1.EstimatesSetID, 0, Models.ModelName AS \"Model       \", "
                              "'Raw predictions' AS \"Recalibration                        \" "
                              "FROM EstimatesSets AS e1, EstimatesSets AS e2, Models "
                              "WHERE e1.DataSetID = e2.DataSetID "
                              "AND e2.EstimatesSetID = :SetID "
                              "AND e1.ModelID = Models.ModelID "
                              "UNION ALL "
                              "SELECT p1.PredictionsSetID, 1, Models.ModelName, "
                              "RecalibrationMethods.RecalibrationMethodName "
                              "FROM PredictionsSets AS p1, Models, RecalibrationMethods, "
                              "EstimatesSets AS e1, EstimatesSets AS e2 "
                              "WHERE p1.EstimatesSetID = e1.EstimatesSetID "
                              "AND e1.DataSetID = e2.DataSetID "
                              "AND e2.EstimatesSetID = :SetID "
                              "AND e1.ModelID = Models.ModelID "
                              "AND p1.RecalibrationMethodID = "
                              "RecalibrationMethods.RecalibrationMethodID "
                              "ORDER BY 2, 1;",
                              {{"SetID", std::int64_t{estimatesSetId}}});
        });
}

std::optional<RowSet> SelectRecords(Database& db, const std::string& table,
                                    const std::string& keyField, const DbValue& keyValue,
                                    const std::string& orderBy, const std::string& fromField,
                                    int fromIndex) {
    return ShowOnFailure("An error occurred while extracting a recordset from table " + table +
                             " where the field " + keyField + " = " + ValueText(keyValue),
                         [&]() -> std::optional<RowSet> {
                             const std::string& t = CheckedTable(table);
                             std::string sql = "SELECT * FROM " + t + " WHERE " +
                                               CheckedField(t, keyField) + " = :KeyValue";
                             const bool fromSome = !fromField.empty() && fromIndex >= 1;
                             if (fromSome)
                                 sql += " AND " + CheckedField(t, fromField) + " >= :FromIndex";
                             if (!orderBy.empty()) {
                                 // Rows with equal values keep the order in which they were stored.
                                 const std::string& key = FindTable(t)->fields.front().name;
                                 sql += " ORDER BY " + CheckedField(t, orderBy) + ", " + key;
                             }
                             Statement select = db.Prepare(sql + ";");
                             select.Bind("KeyValue", keyValue);
                             if (fromSome) select.Bind("FromIndex", std::int64_t{fromIndex});
                             return ReadRows(select);
                         });
}

std::optional<std::vector<IndexedValue>> SelectIndexedValues(
    Database& db, const std::string& table, const std::string& keyField, const DbValue& keyValue,
    const std::string& indexField, const std::string& valueField, bool sortByValue, int fromIndex) {
    return ShowOnFailure(
        "An error occurred while extracting fields from table " + table + " where the field " +
            keyField + " = " + ValueText(keyValue),
        [&]() -> std::optional<std::vector<IndexedValue>> {
            const std::string& t = CheckedTable(table);
            const std::string& key = CheckedField(t, keyField);
            const std::string& index = CheckedField(t, indexField);
            const std::string& value = CheckedField(t, valueField);
            std::string sql =
                "SELECT " + index + ", " + value + " FROM " + t + " WHERE " + key + " = :KeyValue";
            if (fromIndex > 0) sql += " AND " + index + " >= :FromIndex";
            sql += " AND " + index + " <> (SELECT MAX(" + index + ") FROM " + t + " WHERE " + key +
                   " = :KeyValue)";
            sql += " ORDER BY " + (sortByValue ? value + ", " + index : index) + ";";
            Statement select = db.Prepare(sql);
            select.Bind("KeyValue", keyValue);
            if (fromIndex > 0) select.Bind("FromIndex", std::int64_t{fromIndex});
            std::vector<IndexedValue> values;
            const std::string owner = key + " " + ValueText(keyValue);
            while (select.Step()) {
                const int i = WholeAt(select, 0, RowOf(t, owner), index);
                const std::string where = RowOf(t, owner + ", failure " + std::to_string(i));
                if (!sortByValue && !values.empty() && i <= values.back().index) {
                    throw BadValue(where, kStoredTwice);
                }
                values.push_back({i, NumberAt(select, 1, where, value)});
            }
            return values;
        });
}

std::optional<std::string> SelectValue(Database& db, const std::string& field,
                                       const std::string& criteriaField, const DbValue& value,
                                       const std::string& table) {
    return ShowOnFailure(
        "An error occurred while reading the database.", [&]() -> std::optional<std::string> {
            const std::string& t = CheckedTable(table);
            Statement select =
                db.Prepare("SELECT " + CheckedField(t, field) + " FROM " + t + " WHERE " +
                           CheckedField(t, criteriaField) + " = :Value ORDER BY " +
                           FindTable(t)->fields.front().name + " LIMIT 1;");
            select.Bind("Value", value);
            if (!select.Step()) throw NoRow();
            return ValueText(select.Column(0));
        });
}

int FindEstimatesSet(Database& db, int dataSetId, int modelId, int rangeId, int inferenceMethodId) {
    return ShowOnFailure(
        "An error occurred while reading the EstimatesSets table in the database.", [&] {
            return FirstKey(db,
                            "SELECT EstimatesSetID FROM EstimatesSets WHERE DataSetID = "
                            ":DataSetID AND ModelID = :ModelID AND RangeID = :RangeID AND "
                            "InferenceMethodID = :InferenceMethodID "
                            "ORDER BY EstimatesSetID LIMIT 1;",
                            {{"DataSetID", dataSetId},
                             {"ModelID", modelId},
                             {"RangeID", rangeId},
                             {"InferenceMethodID", inferenceMethodId}});
        });
}

int FindPredictionsSet(Database& db, int estimatesSetId, int recalibrationMethodId) {
    return ShowOnFailure(
        "An error occurred while reading the PredictionsSets table in the database.", [&] {
            return FirstKey(db,
                            "SELECT PredictionsSetID FROM PredictionsSets WHERE "
                            "EstimatesSetID = :EstimatesSetID AND RecalibrationMethodID = "
                            ":RecalibrationMethodID ORDER BY PredictionsSetID LIMIT 1;",
                            {{"EstimatesSetID", estimatesSetId},
                             {"RecalibrationMethodID", recalibrationMethodId}});
        });
}

std::optional<RecalibratedSetAttributes> GetRecalibratedSetAttributes(Database& db,
                                                                      int predictionsSetId) {
    return ShowOnFailure(
        "An error occurred while retrieving the attributes of a recalibrated set.",
        [&]() -> std::optional<RecalibratedSetAttributes> {
            RecalibratedSetAttributes attributes;
            {
                Statement set = db.Prepare(
                    "SELECT EstimatesSetID, RecalibrationMethodName "
                    "FROM PredictionsSets, RecalibrationMethods "
                    "WHERE PredictionsSets.PredictionsSetID = :SetID "
                    "AND PredictionsSets.RecalibrationMethodID = "
                    "RecalibrationMethods.RecalibrationMethodID;");
                set.Bind("SetID", std::int64_t{predictionsSetId});
                if (!set.Step()) throw NoRow();
                attributes.estimatesSetId = IntColumn(set, 0);
                attributes.recalibrationMethodName = set.ColumnText(1);
            }
            Statement raw = db.Prepare(
                "SELECT Models.ModelName, Ranges.RangeStart, Ranges.RangeEnd, "
                "DataSets.DataNumber, InferenceMethodNames.MethodName "
                "FROM EstimatesSets, Models, Ranges, DataSets, "
                "InferenceMethodNames, InferenceMethods "
                "WHERE EstimatesSets.EstimatesSetID = :SetID "
                "AND EstimatesSets.ModelID = Models.ModelID "
                "AND EstimatesSets.RangeID = Ranges.RangeID "
                "AND EstimatesSets.DataSetID = DataSets.DataSetID "
                "AND EstimatesSets.InferenceMethodID = InferenceMethods.InferenceMethodID "
                "AND InferenceMethods.MethodNameID = InferenceMethodNames.MethodNameID;");
            raw.Bind("SetID", std::int64_t{attributes.estimatesSetId});
            if (!raw.Step()) throw NoRow();
            attributes.modelName = raw.ColumnText(0);
            attributes.rangeStart = IntColumn(raw, 1);
            attributes.setSize = IntColumn(raw, 3);
            attributes.rangeEnd = raw.ColumnIsNull(2) ? attributes.setSize : IntColumn(raw, 2);
            attributes.inferenceMethod = raw.ColumnText(4);
            return attributes;
        });
}

bool GetMinimisationParameters(Database& db, MinimiserSettings kind, int inferenceMethodId,
                               MinimisationSettings& settings) {
    // Columns of MinimisationParameters.* in the table's field order.
    enum Column { kMaxIter1D = 1, kMaxIter2D, kAbsolute, kRelative, kEta, kTolerance };
    const bool read =
        ShowOnFailure("An error occurred while reading the table MinimisationParameters.", [&] {
            Statement select = db.Prepare(
                "SELECT DISTINCT MinimisationParameters.* "
                "FROM MinimisationParameters INNER JOIN InferenceMethods "
                "ON MinimisationParameters.ParameterSetID = InferenceMethods.ParameterSetID "
                "WHERE InferenceMethods.InferenceMethodID = :InferenceMethodID;");
            select.Bind("InferenceMethodID", std::int64_t{inferenceMethodId});
            if (!select.Step()) throw NoRow();
            MinimisationSettings result = settings;
            result.absolutePrecision = DoubleColumn(select, kAbsolute);
            result.relativePrecision = DoubleColumn(select, kRelative);
            if (kind == MinimiserSettings::OneDimensional) {
                result.maxIter = IntColumn(select, kMaxIter1D);
            } else {
                result.maxIter = IntColumn(select, kMaxIter2D);
                result.eta = DoubleColumn(select, kEta);
                result.tolerance = DoubleColumn(select, kTolerance);
            }
            settings = result;
            return true;
        });
    return read;
}

std::optional<RangeInfo> GetRange(Database& db, int dataSetId, int rangeId) {
    return ShowOnFailure(
        "An error occurred while reading the database.", [&]() -> std::optional<RangeInfo> {
            Statement dataSet = db.Prepare(
                "SELECT DataSetID, DataNumber, (SELECT COUNT(*) FROM FailureTimes "
                "WHERE DataSetID = :Key) FROM DataSets WHERE DataSetID = :Key;");
            dataSet.Bind("Key", Long(dataSetId));
            if (!dataSet.Step()) throw NoRow();
            const int number = CheckDataNumber(dataSet, 0, 1, 2);
            const std::string where = RowOf("Ranges", "range " + std::to_string(rangeId));
            Statement range =
                db.Prepare("SELECT RangeStart, RangeEnd FROM Ranges WHERE RangeID = :Key;");
            range.Bind("Key", Long(rangeId));
            if (!range.Step()) throw NoRow();
            // Whether the range fits the dataset and the model is the caller's refusal to make.
            const int start = WholeAt(range, 0, where, "RangeStart");
            const int end = range.ColumnIsNull(1) ? number : WholeAt(range, 1, where, "RangeEnd");
            return RangeInfo{number, start, end};
        });
}

std::optional<std::string> GetModelCode(Database& db, int estimatesSetId) {
    return ShowOnFailure("An error occurred while reading the model code.",
                         [&]() -> std::optional<std::string> {
                             Statement select = db.Prepare(
                                 "SELECT Model FROM Models, EstimatesSets "
                                 "WHERE EstimatesSets.EstimatesSetID = :SetID "
                                 "AND EstimatesSets.ModelID = Models.ModelID;");
                             select.Bind("SetID", std::int64_t{estimatesSetId});
                             if (!select.Step()) throw NoRow();
                             return select.ColumnText(0);
                         });
}

std::optional<LastParameters> GetLastParameters(Database& db, const std::string& table,
                                                int estimatesSetId) {
    return ShowOnFailure(
        "An error occurred while extracting the model parameters",
        [&]() -> std::optional<LastParameters> {
            const std::string& t = CheckedTable(table);
            const std::string& set = CheckedField(t, "EstimatesSetID");
            const std::string& index = CheckedField(t, "FailureIndex");
            Statement select = db.Prepare("SELECT " + index + ", " + CheckedField(t, "Parameter1") +
                                          ", " + CheckedField(t, "Parameter2") + ", " +
                                          CheckedField(t, "Parameter3") + " FROM " + t + " WHERE " +
                                          set + " = :SetID AND " + index + " = (SELECT MAX(" +
                                          index + ") FROM " + t + " WHERE " + set + " = :SetID);");
            select.Bind("SetID", std::int64_t{estimatesSetId});
            if (!select.Step()) throw NoRow();
            return LastParameters{IntColumn(select, 0), DoubleColumn(select, 1),
                                  DoubleColumn(select, 2), DoubleColumn(select, 3)};
        });
}

std::optional<std::vector<double>> ReadEstimatesColumn(Database& db, int estimatesSetId,
                                                       const std::string& fieldName) {
    return ReadColumn(db, "Estimates", "EstimatesSetID", estimatesSetId, fieldName, 1);
}

std::optional<std::vector<double>> ReadFailureTimesColumn(Database& db, int dataSetId,
                                                          const std::string& fieldName,
                                                          int startIndex) {
    return ReadColumn(db, "FailureTimes", "DataSetID", dataSetId, fieldName, startIndex);
}

bool ReadFailureTimes(Database& db, int dataSetId, FailureSeries& x, FailureSeries& t) {
    try {
        Statement select = db.Prepare(
            "SELECT DataSetID, FailureIndex, InterfailureTime, CumulativeTime FROM FailureTimes "
            "WHERE DataSetID = :DataSetID ORDER BY FailureIndex;");
        select.Bind("DataSetID", std::int64_t{dataSetId});
        FailureSeries interfailure{0.0};
        FailureSeries cumulative{0.0};
        FailureTimesCheck check;
        while (select.Step()) {
            const FailureTimesCheck::Times times = check.Next(select);
            interfailure.push_back(times.interfailure);
            cumulative.push_back(times.cumulative);
        }
        x = std::move(interfailure);
        t = std::move(cumulative);
        return true;
    } catch (const DatabaseError& error) {
        // The caller says what could not be done; a lock, damage or a bad value is told here.
        if (error.GetFault() != DatabaseError::Fault::Other) ShowMessage(FailureText(error, ""));
        return false;
    }
}

std::optional<int> FindDataSetId(Database& db, const std::string& dataName) {
    return ShowOnFailure("An error occurred while reading the database.",
                         [&]() -> std::optional<int> { return DataSetKey(db, dataName); });
}

std::optional<bool> DataSetNameExists(Database& db, const std::string& dataName) {
    const std::optional<int> dataSetId = FindDataSetId(db, dataName);
    if (!dataSetId) return std::nullopt;
    return *dataSetId != 0;
}

bool DataSetExists(Database& db, int dataSetId) {
    return FirstKey(db, "SELECT DataSetID FROM DataSets WHERE DataSetID = :Key;",
                    {{"Key", dataSetId}}) != 0;
}

bool EstimatesSetExists(Database& db, int estimatesSetId) {
    return FirstKey(db, "SELECT EstimatesSetID FROM EstimatesSets WHERE EstimatesSetID = :Key;",
                    {{"Key", estimatesSetId}}) != 0;
}

}  // namespace tamsel
