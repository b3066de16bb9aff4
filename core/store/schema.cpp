#include "tamsel/store/schema.h"

#include <filesystem>
#include <system_error>

#include "schema_definition.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

constexpr const char* kOpenFailure = "An error occurred in selecting a database";
constexpr const char* kCreateFailure = "An error occurred in creating a new database";

TableDefinition* FindTableIn(std::vector<TableDefinition>& tables, std::string_view name) {
    for (auto& table : tables) {
        if (table.name == name) return &table;
    }
    return nullptr;
}

std::vector<TableDefinition> BuildSchema() {
    using F = FieldType;
    std::vector<TableDefinition> tables = {
        {"DataSets",
         {{"DataSetID", F::Key},
          {"DataName", F::Text},
          {"DataFile", F::Text},
          {"DataTypeID", F::Long},
          {"DataNumber", F::Long},
          {"DataSource", F::Memo}},
         {{"DataName", true}, {"DataTypeID", false}},
         {}},
        {"DataTypes",
         {{"DataTypeID", F::Key}, {"DataType", F::Text}, {"Comments", F::Memo}},
         {{"DataType", true}},
         {}},
        {"Estimates",
         {{"EstimateID", F::Key},
          {"EstimatesSetID", F::Long},
          {"FailureIndex", F::Long},
          {"Parameter1", F::Double},
          {"Parameter2", F::Double},
          {"Parameter3", F::Double},
          {"LogLikelihood", F::Double},
          {"Pdf", F::Double},
          {"Cdf", F::Double},
          {"LowQ", F::Double},
          {"Median", F::Double},
          {"UppQ", F::Double},
          {"MTTF", F::Double}},
         {{"EstimatesSetID", false}, {"FailureIndex", false}},
         {}},
        {"EstimatesSets",
         {{"EstimatesSetID", F::Key},
          {"DataSetID", F::Long},
          {"ModelID", F::Long},
          {"RangeID", F::Long},
          {"InferenceMethodID", F::Long}},
         {{"DataSetID", false},
          {"ModelID", false},
          {"RangeID", false},
          {"InferenceMethodID", false}},
         {}},
        {"FailureTimes",
         {{"FailureID", F::Key},
          {"DataSetID", F::Long},
          {"FailureIndex", F::Long},
          {"InterfailureTime", F::Double},
          {"CumulativeTime", F::Double}},
         {{"DataSetID", false}},
         {}},
        {"InferenceMethodNames",
         {{"MethodNameID", F::Key}, {"MethodName", F::Text}, {"Comments", F::Memo}},
         {},
         {}},
        {"InferenceMethods",
         {{"InferenceMethodID", F::Key}, {"MethodNameID", F::Long}, {"ParameterSetID", F::Long}},
         {{"MethodNameID", false}, {"ParameterSetID", false}},
         {}},
        {"MinimisationParameters",
         {{"ParameterSetID", F::Key},
          {"MaxIter1D", F::Long},
          {"MaxIter2D", F::Long},
          {"AbsolutePrecision", F::Double},
          {"RelativePrecision", F::Double},
          {"Eta", F::Double},
          {"Tolerance", F::Double},
          {"StartingPoint1", F::Double},
          {"StartingPoint2", F::Double},
          {"Bound1", F::Double},
          {"Bound2", F::Double},
          {"Description", F::Memo}},
         {},
         {}},
        {"Models",
         {{"ModelID", F::Key},
          {"Model", F::Text},
          {"ModelFlag", F::Long},
          {"ModelName", F::Text},
          {"ParameterName1", F::Text},
          {"ParameterName2", F::Text},
          {"ParameterName3", F::Text}},
         {{"ModelName", true}},
         {}},
        {"Predictions",
         {{"PredictionID", F::Key},
          {"PredictionsSetID", F::Long},
          {"FailureIndex", F::Long},
          {"Pdf", F::Double},
          {"Cdf", F::Double},
          {"LowQ", F::Double},
          {"Median", F::Double},
          {"UppQ", F::Double},
          {"MTTF", F::Double}},
         {{"PredictionsSetID", false}, {"FailureIndex", false}},
         {}},
        {"PredictionsSets",
         {{"PredictionsSetID", F::Key},
          {"EstimatesSetID", F::Long},
          {"RecalibrationMethodID", F::Long}},
         {{"EstimatesSetID", false}, {"RecalibrationMethodID", false}},
         {}},
        {"Ranges",
         {{"RangeID", F::Key},
          {"RangeTypeID", F::Long},
          {"RangeSize", F::Long},
          {"RangeStart", F::Long},
          {"RangeEnd", F::Long}},
         {{"RangeTypeID", false}},
         {}},
        {"RangeTypes",
         {{"RangeTypeID", F::Key}, {"RangeType", F::Text}, {"Comments", F::Memo}},
         {},
         {}},
        {"RecalibrationMethods",
         {{"RecalibrationMethodID", F::Key},
          {"RecalibrationMethodName", F::Text},
          {"Iter", F::Long},
          {"NI", F::Long},
          {"SqMax", F::Double}},
         {},
         {}},
    };

    AddCascadeRelation(tables, "DataTypesDataSets", "DataTypes", "DataSets", "DataTypeID");
    AddCascadeRelation(tables, "DataSetsFailureTimes", "DataSets", "FailureTimes", "DataSetID");
    AddCascadeRelation(tables, "RangeTypesRanges", "RangeTypes", "Ranges", "RangeTypeID");
    AddCascadeRelation(tables, "InferenceMethodNamesInferenceMethods", "InferenceMethodNames",
                       "InferenceMethods", "MethodNameID");
    AddCascadeRelation(tables, "MinimisationParametersInferenceMethods", "MinimisationParameters",
                       "InferenceMethods", "ParameterSetID");
    AddCascadeRelation(tables, "DataSetsEstimatesSets", "DataSets", "EstimatesSets", "DataSetID");
    AddCascadeRelation(tables, "ModelsEstimatesSets", "Models", "EstimatesSets", "ModelID");
    AddCascadeRelation(tables, "RangessEstimatesSets", "Ranges", "EstimatesSets", "RangeID");
    AddCascadeRelation(tables, "InferenceMethodsEstimatesSets", "InferenceMethods", "EstimatesSets",
                       "InferenceMethodID");
    AddCascadeRelation(tables, "EstimatesSetsEstimates", "EstimatesSets", "Estimates",
                       "EstimatesSetID");
    AddCascadeRelation(tables, "EstimatesSetsPredictionsSets", "EstimatesSets", "PredictionsSets",
                       "EstimatesSetID");
    AddCascadeRelation(tables, "PredictionsSetsPredictions", "PredictionsSets", "Predictions",
                       "PredictionsSetID");
    AddCascadeRelation(tables, "RecalibrationMethodsPredictionsSets", "RecalibrationMethods",
                       "PredictionsSets", "RecalibrationMethodID");
    return tables;
}

const char* TypeName(FieldType type) {
    switch (type) {
        case FieldType::Key:
            return "INTEGER PRIMARY KEY AUTOINCREMENT";
        case FieldType::Long:
            return "INTEGER";
        case FieldType::Double:
            return "DOUBLE";
        case FieldType::Text:
            return "TEXT";
        case FieldType::Memo:
            return "LONGTEXT";
    }
    return "";
}

std::string CreateTableSql(const TableDefinition& table) {
    std::string sql = "CREATE TABLE " + table.name + " (";
    bool first = true;
    for (const auto& field : table.fields) {
        sql += first ? "\n    " : ",\n    ";
        sql += field.name + " " + TypeName(field.type);
        first = false;
    }
    for (const auto& relation : table.relations) sql += ",\n    " + relation;
    return sql + "\n);";
}

std::string CreateIndexSql(const TableDefinition& table, const IndexDefinition& index) {
    return std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
           IndexName(table, index) + " ON " + table.name + " (" + index.field + ");";
}

// A journal left beside a file by an earlier one of that name would be played back into
// the new file on its first opening.
void RemoveJournals(const std::string& fileName) {
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::error_code error;
        std::filesystem::remove(fileName + suffix, error);
        if (error) throw DatabaseError("cannot remove " + fileName + suffix);
    }
}

// A name beside fileName that nothing uses yet.
std::string UnusedNameBeside(const std::string& fileName) {
    for (int n = 0;; ++n) {
        std::string name = fileName + ".new" + std::to_string(n);
        std::error_code error;
        const auto status = std::filesystem::symlink_status(name, error);
        if (status.type() == std::filesystem::file_type::not_found) return name;
        if (error) throw DatabaseError("cannot look at " + name);
    }
}

std::vector<std::string> ColumnNames(Database& db, const std::string& table) {
    Statement info = db.Prepare("SELECT name FROM pragma_table_info(:table) ORDER BY cid;");
    info.Bind("table", table);
    std::vector<std::string> names;
    while (info.Step()) names.push_back(info.ColumnText(0));
    return names;
}

bool PassesQuickCheck(Database& db) {
    Statement check = db.Prepare("PRAGMA quick_check;");
    return check.Step() && check.ColumnText(0) == "ok" && !check.Step();
}

bool HasJournal(const std::string& fileName) {
    std::error_code error;
    return std::filesystem::file_size(fileName + "-journal", error) > 0 && !error;
}

}  // namespace

void AddCascadeRelation(std::vector<TableDefinition>& tables, const std::string& relationName,
                        const std::string& table, const std::string& foreignTable,
                        const std::string& fieldName) {
    TableDefinition* one = FindTableIn(tables, table);
    TableDefinition* many = FindTableIn(tables, foreignTable);
    if (!one || !many || !FindField(*one, fieldName) || !FindField(*many, fieldName)) {
        throw DatabaseError("relation " + relationName + " joins unknown names");
    }
    many->relations.push_back("CONSTRAINT " + relationName + " FOREIGN KEY (" + fieldName +
                              ") REFERENCES " + table + " (" + fieldName + ") ON DELETE CASCADE");
}

const std::vector<TableDefinition>& ProjectSchema() {
    static const std::vector<TableDefinition> schema = BuildSchema();
    return schema;
}

const TableDefinition* FindTable(std::string_view name) {
    for (const auto& table : ProjectSchema()) {
        if (EqualNoCase(table.name, name)) return &table;
    }
    return nullptr;
}

const FieldDefinition* FindField(const TableDefinition& table, std::string_view name) {
    for (const auto& field : table.fields) {
        if (EqualNoCase(field.name, name)) return &field;
    }
    return nullptr;
}

const std::string& CheckedTable(std::string_view table) {
    const TableDefinition* found = FindTable(table);
    if (!found) throw DatabaseError("no table named " + std::string(table));
    return found->name;
}

const std::string& CheckedField(std::string_view table, std::string_view field) {
    const TableDefinition* found = FindTable(table);
    const FieldDefinition* column = found ? FindField(*found, field) : nullptr;
    if (!column) throw DatabaseError("no field named " + std::string(field));
    return column->name;
}

std::string IndexName(const TableDefinition& table, const IndexDefinition& index) {
    return table.name + "_" + index.field;
}

void CreateNewDatabase(const std::string& fileName) {
    RemoveJournals(fileName);
    std::error_code error;
    std::filesystem::remove(fileName, error);
    if (error) throw DatabaseError("cannot remove " + fileName + ": " + error.message());
    try {
        Database db(fileName, Database::OpenMode::CreateFile);
        Transaction unit(db);
        for (const auto& table : ProjectSchema()) {
            db.Execute(CreateTableSql(table));
            for (const auto& index : table.indexes) db.Execute(CreateIndexSql(table, index));
        }
        unit.Commit();
    } catch (const DatabaseError&) {
        std::error_code ignored;
        std::filesystem::remove(fileName, ignored);
        throw;
    }
}

bool CreateTamselDatabase(const std::string& fileName) {
    std::string partial;
    try {
        partial = UnusedNameBeside(fileName);
        CreateNewDatabase(partial);
        CreateQueriesAndReferenceRows(partial);
        std::filesystem::rename(partial, fileName);
        // Journals of the replaced file; they would be played back into the new one.
        RemoveJournals(fileName);
        return true;
    } catch (const std::exception&) {
        if (!partial.empty()) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
        }
        ShowMessage(kCreateFailure);
        return false;
    }
}

bool IsTamselDatabase(Database& db) {
    try {
        for (const auto& table : ProjectSchema()) {
            std::vector<std::string> columns = ColumnNames(db, table.name);
            if (columns.size() != table.fields.size()) return false;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (!EqualNoCase(columns[i], table.fields[i].name)) return false;
            }
        }
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

std::unique_ptr<Database> OpenTamselDatabase(const std::string& fileName) {
    try {
        // A file whose last transaction was interrupted must be recovered from its journal
        // before it can be read, which a connection that cannot write would refuse.
        const auto probeMode = HasJournal(fileName) ? Database::OpenMode::ExistingFile
                                                    : Database::OpenMode::ReadOnlyFile;
        bool recognised = false;
        {
            Database probe(fileName, probeMode);
            recognised = IsTamselDatabase(probe) && PassesQuickCheck(probe);
        }
        if (recognised) {
            auto db = std::make_unique<Database>(fileName, Database::OpenMode::ExistingFile);
            if (!db->IsReadOnly()) EnsureOwnTables(*db);
            return db;
        }
    } catch (const DatabaseError&) {
    }
    ShowMessage(kOpenFailure);
    return nullptr;
}

}  // namespace tamsel
