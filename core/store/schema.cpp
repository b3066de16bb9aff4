#include "tamsel/store/schema.h"

#include <sys/vfs.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "dialect.h"
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

const char* TypeName(FieldType type, bool server) {
    switch (type) {
        case FieldType::Key:
            return server ? "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"
                          : "INTEGER PRIMARY KEY AUTOINCREMENT";
        case FieldType::Long:
            return server ? "BIGINT" : "INTEGER";
        case FieldType::Double:
            return server ? "DOUBLE PRECISION" : "DOUBLE";
        case FieldType::Text:
            return "TEXT";
        case FieldType::Memo:
            return server ? "TEXT" : "LONGTEXT";
    }
    return "";
}

std::string CreateTableSql(const TableDefinition& table, bool server) {
    std::string sql = "CREATE TABLE " + table.name + " (";
    bool first = true;
    for (const auto& field : table.fields) {
        sql += first ? "\n    " : ",\n    ";
        sql += field.name + " " + TypeName(field.type, server);
        first = false;
    }
    // A server refers only to tables that exist: it is given the relations once all do.
    if (!server) {
        for (const auto& relation : table.relations) sql += ",\n    " + relation;
    }
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

// Whether every program that opens fileName can share the write-ahead log's index in memory:
// true on a local disk whose folder is writable, false on network file systems.
bool CanShareWriteAheadLog(const std::string& fileName) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(fileName, error).parent_path();
    struct statfs info {};
    if (error || !FolderIsWritable(fileName) || statfs(folder.c_str(), &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x65735546:  // FUSE (sshfs and the like)
        case 0x01021997:  // 9P
        case 0x5346414F:  // AFS
        case 0x00C36400:  // Ceph
            return false;
        default:
            return true;
    }
}

// Readers go on reading while another program writes when the file keeps a write-ahead log;
// every commit still reaches the disk before it returns (synchronous = FULL). Where the log
// cannot be shared the rollback journal stays. A file another program has open cannot change
// its mode, and keeps its present one.
void ChooseJournalMode(Database& db) {
    const char* wanted = CanShareWriteAheadLog(db.FileName()) ? "wal" : "delete";
    Statement mode = db.Prepare("PRAGMA journal_mode;");
    const bool same = mode.Step() && EqualNoCase(mode.ColumnText(0), wanted);
    mode.Reset();
    if (!same) {
        try {
            db.Execute(std::string("PRAGMA journal_mode = ") + wanted + ";");
        } catch (const DatabaseError& error) {
            if (error.GetFault() != DatabaseError::Fault::Busy) throw;
        }
    }
    db.Execute("PRAGMA synchronous = FULL;");
}

// Marks a file as Tamsel's in its header, where it can be read without the engine.
constexpr std::int64_t kApplicationId = 0x54534D4C;  // "TSML"

enum class Header { Foreign, Tamsel, Unmarked };

// What the first 100 bytes of fileName say, read without the engine, which could write.
Header ReadHeader(const std::string& fileName) {
    std::array<unsigned char, 100> bytes{};
    std::ifstream file(fileName, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), bytes.size()) ||
        std::memcmp(bytes.data(), "SQLite format 3", 16) != 0) {
        return Header::Foreign;
    }
    const std::int64_t id =
        std::int64_t{bytes[68]} << 24 | bytes[69] << 16 | bytes[70] << 8 | bytes[71];
    if (id == kApplicationId) return Header::Tamsel;
    // Earlier versions never kept a write-ahead log (format 2 at bytes 18 and 19).
    const bool writeAheadLog = bytes[18] == 2 || bytes[19] == 2;
    return id == 0 && !writeAheadLog ? Header::Unmarked : Header::Foreign;
}

// The reference rows every command relies on: both data types, the default range and the
// default inference method with its minimisation parameters.
bool HasReferenceRows(Database& db) {
    Statement check = db.Prepare(
        "SELECT (SELECT COUNT(*) FROM DataTypes WHERE DataTypeID IN (1, 2)) = 2 "
        "AND EXISTS (SELECT 1 FROM Ranges WHERE RangeID = 1) "
        "AND EXISTS (SELECT 1 FROM InferenceMethods JOIN MinimisationParameters "
        "USING (ParameterSetID) WHERE InferenceMethodID = 1);");
    return check.Step() && check.ColumnInt(0) == 1;
}

// Removes the file at name with any journal beside it, quietly: a cleanup must not fail.
void RemoveWithJournals(const std::string& name) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        std::error_code ignored;
        std::filesystem::remove(name + suffix, ignored);
    }
}

// Files an earlier creation of fileName left beside it when it was killed: the names
// fileName.newN that hold a Tamsel file. Anything else there is the user's and stays.
void RemoveStaleNewFiles(const std::string& fileName) {
    for (int n = 0;; ++n) {
        const std::string name = fileName + ".new" + std::to_string(n);
        std::error_code error;
        if (!std::filesystem::exists(name, error)) return;
        if (ReadHeader(name) == Header::Tamsel) RemoveWithJournals(name);
    }
}

// The tables of the project's schema on a server, as the server spells them.
std::vector<std::string> TablesOnServer(Database& db) {
    Statement list = db.Prepare(
        "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
        "AND table_type = 'BASE TABLE' ORDER BY table_name;");
    std::vector<std::string> names;
    while (list.Step()) names.push_back(list.ColumnText(0));
    return names;
}

// The fourteen tables with their indexes and relations, then Tamsel's own tables, in the
// caller's unit.
void CreateTables(Database& db) {
    const bool server = db.OnServer();
    for (const auto& table : ProjectSchema()) {
        db.Execute(CreateTableSql(table, server));
        for (const auto& index : table.indexes) db.Execute(CreateIndexSql(table, index));
    }
    if (server) {
        for (const auto& table : ProjectSchema()) {
            for (const auto& relation : table.relations) {
                db.Execute("ALTER TABLE " + table.name + " ADD " + relation + ";");
            }
        }
    }
    EnsureOwnTables(db);
}

// The server's counterpart of building a file beside the old one and putting it in place: the
// schema's tables are replaced in one unit, which the server rolls back whole on any failure.
// The schema itself stays, with the owner and grants its administrator gave it.
void CreateOnServer(const std::string& location) {
    Database db(location, Database::OpenMode::CreateFile);
    Transaction unit(db);
    ReplaceServerTables(db);
    StoreReferenceRows(db);
    unit.Commit();
}

// A project of an earlier version gains Tamsel's own tables when opened. A role that may not
// create tables in its schema (an analyst's, as the user guide sets them up) opens it as it
// stands, to read, until its owner has opened it.
void AddOwnTablesOrRefuseWrites(Database& db) {
    try {
        EnsureOwnTables(db);
    } catch (const DatabaseError& error) {
        if (error.GetFault() != DatabaseError::Fault::ReadOnly) throw;
        Statement role = db.Prepare("SELECT current_user;");
        if (!role.Step()) throw;
        db.RefuseWrites("This project was made by an earlier version of Tamsel, and the role " +
                        role.ColumnText(0) +
                        " may read it but not add the tables this version keeps beside the "
                        "defined ones, so nothing can be stored in it. Ask the project's owner "
                        "to open it once with this version.");
    }
}

// Opens the project in a server's schema; a missing schema, one without a project and one
// whose tables are another program's are each told apart.
std::unique_ptr<Database> OpenOnServer(const std::string& location) {
    const std::string shown = DisplayLocation(location);
    std::string problem;
    try {
        auto db = std::make_unique<Database>(location, Database::OpenMode::ExistingFile);
        if (IsTamselDatabase(*db) && HasReferenceRows(*db)) {
            if (!db->IsReadOnly()) AddOwnTablesOrRefuseWrites(*db);
            return db;
        }
        problem = TablesOnServer(*db).empty()
                      ? "The schema of " + shown +
                            " holds no project. Create one there with \"tamsel-cli new\"."
                      : "The schema of " + shown +
                            " holds tables that are not a Tamsel project. Name the project's "
                            "own schema in the URI (schema=NAME).";
    } catch (const DatabaseError& error) {
        problem = FailureText(
            error, "The project at " + shown + " cannot be opened: " + std::string(error.what()));
    }
    ShowMessage(JoinLines({kOpenFailure, problem}));
    return nullptr;
}

}  // namespace

void ReplaceServerTables(Database& db) {
    for (const std::string& table : TablesOnServer(db)) {
        db.Execute("DROP TABLE IF EXISTS " + Quoted(table) + " CASCADE;");
    }
    CreateTables(db);
}

namespace {

// ", lower(:name0), lower(:name1), ..." without the first comma: the names of a question about
// count tables.
std::string LoweredNames(std::size_t count) {
    std::string list;
    for (std::size_t k = 0; k < count; ++k) {
        list += (k > 0 ? ", lower(:name" : "lower(:name") + std::to_string(k) + ")";
    }
    return list;
}

void BindNames(Statement& statement, const std::vector<std::string_view>& names) {
    for (std::size_t k = 0; k < names.size(); ++k) {
        statement.Bind("name" + std::to_string(k), std::string(names[k]));
    }
}

// On a server the catalogue itself: its information_schema views cost milliseconds a question
// (their privilege checks). Tables are asked about together, one round trip for all.
constexpr const char* kServerTables =
    "FROM pg_catalog.pg_class AS c JOIN pg_catalog.pg_namespace AS n ON n.oid = c.relnamespace "
    "AND n.nspname = current_schema() AND c.relkind IN ('r', 'p', 'v', 'f') AND c.relname IN (";

}  // namespace

std::size_t CountTables(Database& db, const std::vector<std::string_view>& names) {
    const std::string list = LoweredNames(names.size());
    Statement count = db.Prepare(
        db.OnServer()
            ? "SELECT COUNT(*) " + std::string(kServerTables) + list + ");"
            : "SELECT COUNT(*) FROM sqlite_schema WHERE type = 'table' AND lower(name) IN (" +
                  list + ");");
    BindNames(count, names);
    return count.Step() ? static_cast<std::size_t>(count.ColumnInt(0)) : 0;
}

bool TableExists(Database& db, std::string_view name) { return CountTables(db, {name}) > 0; }

std::vector<std::vector<std::string>> ColumnNames(Database& db,
                                                  const std::vector<std::string_view>& tables) {
    const std::string list = LoweredNames(tables.size());
    Statement info = db.Prepare(
        db.OnServer()
            ? "SELECT c.relname, a.attname " + std::string(kServerTables) + list +
                  ") JOIN pg_catalog.pg_attribute AS a ON a.attrelid = c.oid AND a.attnum > 0 AND "
                  "NOT a.attisdropped ORDER BY c.relname, a.attnum;"
            : "SELECT m.name, p.name FROM sqlite_schema AS m, pragma_table_info(m.name) AS p "
              "WHERE m.type = 'table' AND lower(m.name) IN (" +
                  list + ") ORDER BY m.name, p.cid;");
    BindNames(info, tables);
    std::vector<std::vector<std::string>> columns(tables.size());
    while (info.Step()) {
        const std::string table = info.ColumnText(0);
        for (std::size_t k = 0; k < tables.size(); ++k) {
            if (EqualNoCase(table, tables[k])) columns[k].push_back(info.ColumnText(1));
        }
    }
    return columns;
}

std::string Quoted(std::string_view name) {
    std::string text = "\"";
    for (char c : name) text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + '"';
}

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
        db.Execute("PRAGMA application_id = " + std::to_string(kApplicationId));
        ChooseJournalMode(db);
        Transaction unit(db);
        CreateTables(db);
        unit.Commit();
    } catch (const DatabaseError&) {
        std::error_code ignored;
        std::filesystem::remove(fileName, ignored);
        throw;
    }
}

bool CreateTamselDatabase(const std::string& location) {
    std::string partial;
    try {
        if (IsServerLocation(location)) {
            CreateOnServer(location);
            return true;
        }
        RemoveStaleNewFiles(location);
        partial = UnusedNameBeside(location);
        CreateNewDatabase(partial);
        CreateQueriesAndReferenceRows(partial);
        std::error_code renamed;
        std::filesystem::rename(partial, location, renamed);
        if (renamed) throw DatabaseError("cannot put it in place: " + renamed.message());
        // Journals of the replaced file; they would be played back into the new one.
        RemoveJournals(location);
        return true;
    } catch (const std::exception& error) {
        if (!partial.empty()) RemoveWithJournals(partial);
        const std::string reason =
            "The project at " + DisplayLocation(location) + " cannot be created: " + error.what();
        const auto* databaseError = dynamic_cast<const DatabaseError*>(&error);
        ShowMessage(JoinLines(
            {kCreateFailure, databaseError ? FailureText(*databaseError, reason) : reason}));
        return false;
    }
}

bool LocationHoldsData(const std::string& location) {
    if (!IsServerLocation(location)) {
        std::error_code error;
        return std::filesystem::exists(location, error);
    }
    try {
        Database db(location, Database::OpenMode::ReadOnlyFile);
        return !TablesOnServer(db).empty();
    } catch (const DatabaseError&) {
        return false;
    }
}

bool IsTamselDatabase(Database& db) {
    try {
        std::vector<std::string_view> names;
        for (const auto& table : ProjectSchema()) names.push_back(table.name);
        const std::vector<std::vector<std::string>> columns = ColumnNames(db, names);
        for (std::size_t t = 0; t < names.size(); ++t) {
            const std::vector<FieldDefinition>& fields = ProjectSchema()[t].fields;
            if (columns[t].size() != fields.size()) return false;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (!EqualNoCase(columns[t][i], fields[i].name)) return false;
            }
        }
        return true;
    } catch (const DatabaseError& error) {
        // A lock, or a folder that does not let the file be read, is no answer.
        if (error.GetFault() == DatabaseError::Fault::Busy ||
            error.GetFault() == DatabaseError::Fault::ReadOnly) {
            throw;
        }
        return false;
    }
}

std::unique_ptr<Database> OpenTamselDatabase(const std::string& fileName) {
    if (IsServerLocation(fileName)) return OpenOnServer(fileName);
    try {
        // Only a file known to be Tamsel's is opened for writing, which may play a journal
        // back into it. A file made before files were marked is looked at first as it stands,
        // without the engine touching it or any journal beside it.
        const Header header = ReadHeader(fileName);
        bool recognised = header == Header::Tamsel;
        if (header == Header::Unmarked) {
            Database probe(fileName, Database::OpenMode::AsItStands);
            recognised = IsTamselDatabase(probe);
        }
        if (recognised) {
            // The whole file is checked by `tamsel-cli check`; opening reads only the schema
            // and the reference rows, so that it costs the same whatever the file's size.
            auto db = std::make_unique<Database>(fileName, Database::OpenMode::ExistingFile);
            if (IsTamselDatabase(*db) && HasReferenceRows(*db)) {
                if (!db->IsReadOnly()) {
                    if (header == Header::Unmarked) {
                        db->Execute("PRAGMA application_id = " + std::to_string(kApplicationId));
                    }
                    ChooseJournalMode(*db);
                    EnsureOwnTables(*db);
                }
                return db;
            }
        }
    } catch (const DatabaseError& error) {
        if (error.GetFault() == DatabaseError::Fault::Busy) {
            ShowMessage(FailureText(error, ""));
            return nullptr;
        }
        // A file that keeps a write-ahead log cannot even be read without making its index
        // beside it.
        if (error.GetFault() == DatabaseError::Fault::ReadOnly && !FolderIsWritable(fileName)) {
            ShowMessage(FolderReadOnlyText(fileName));
            return nullptr;
        }
    }
    ShowMessage(kOpenFailure);
    return nullptr;
}

}  // namespace tamsel
