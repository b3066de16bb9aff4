#include "tamsel/store/copy.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "batch_insert.h"
#include "schema_definition.h"
#include "tamsel/store/schema.h"
#include "value_checks.h"

namespace tamsel {
namespace {

namespace fs = std::filesystem;

struct CopiedTable {
    std::string name;
    std::string keyOrder;  // the columns of its key, for ORDER BY
};

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The table a relation clause ("... REFERENCES DataSets (DataSetID) ...") refers to.
std::string ReferencedTable(const std::string& relation) {
    constexpr std::string_view kReferences = "references ";
    const std::size_t at = Lowered(relation).find(kReferences);
    if (at == std::string::npos) throw DatabaseError("a relation names no table: " + relation);
    const std::size_t start = at + kReferences.size();
    return relation.substr(start, relation.find(' ', start) - start);
}

// Every table of the project, each after the tables it refers to, so that the relations of
// each row hold as it is inserted (the server checks them at once): the defined tables, then
// Tamsel's own (own_tables.cpp), which cascade from them.
std::vector<CopiedTable> TablesInInsertionOrder() {
    const std::vector<TableDefinition>& schema = ProjectSchema();
    std::vector<CopiedTable> order;
    auto placed = [&order](const std::string& name) {
        return std::any_of(order.begin(), order.end(), [&name](const CopiedTable& table) {
            return EqualNoCase(table.name, name);
        });
    };
    while (order.size() < schema.size()) {
        const std::size_t before = order.size();
        for (const TableDefinition& table : schema) {
            if (placed(table.name)) continue;
            if (std::all_of(table.relations.begin(), table.relations.end(),
                            [&placed](const std::string& relation) {
                                return placed(ReferencedTable(relation));
                            })) {
                order.push_back({table.name, table.fields.front().name});
            }
        }
        if (order.size() == before) throw DatabaseError("the tables' relations form a cycle");
    }
    for (const OwnTableDefinition& table : OwnTables()) order.push_back({table.name, table.key});
    return order;
}

// name, which is written into the copy's SQL, when it is a plain name as the project's own are.
// A column another program added to the source under any other name is refused.
const std::string& PlainName(const std::string& name) {
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
    if (!plain) throw DatabaseError("the project has a column named \"" + name + "\"");
    return name;
}

// INSERT INTO table (columns) VALUES (:column, ...), as the batch insert takes it.
std::string InsertSql(const std::string& table, const std::vector<std::string>& columns) {
    std::string names;
    std::string values;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        names += (c > 0 ? ", " : "") + columns[c];
        values += (c > 0 ? ", :" : ":") + columns[c];
    }
    return "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ")";
}

// A server keeps only UTF-8 text, and its own refusal would name the row by its place in the
// stream. The row is named by its key (the first column) instead.
void RefuseTextNotUtf8(const Statement& select, int column, const std::string& table,
                       const DbValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (!text) return;
    const std::optional<std::string> problem = NotUtf8Problem(select.ColumnName(column), *text);
    if (!problem) return;
    throw DatabaseError(
        RowOf(table, select.ColumnName(0) + " " + select.ColumnText(0)) + ": " + *problem +
        ". Correct the value in the file first (with the sqlite3 program, for instance); "
        "\"tamsel-cli check\" lists every such value");
}

// Copies the rows of table in key order through the batch insert (a server's COPY stream).
void CopyTable(Database& source, Database& target, const CopiedTable& table) {
    Statement select =
        source.Prepare("SELECT * FROM " + table.name + " ORDER BY " + table.keyOrder + ";");
    std::optional<BatchInsert> insert;
    std::vector<int> insertColumns;  // for each column of select, the insert's
    while (select.Step()) {
        const int count = select.ColumnCount();
        if (!insert) {
            std::vector<std::string> columns;
            for (int c = 0; c < count; ++c) columns.push_back(PlainName(select.ColumnName(c)));
            insert.emplace(target, InsertSql(table.name, columns));
            for (const std::string& column : columns) {
                insertColumns.push_back(insert->Column(column));
            }
        }
        for (int c = 0; c < count; ++c) {
            const DbValue value = select.Column(c);
            if (target.OnServer()) RefuseTextNotUtf8(select, c, table.name, value);
            insert->Set(insertColumns[static_cast<std::size_t>(c)], value);
        }
        insert->EndRow();
    }
    if (insert) insert->Finish();
}

// A server's identity columns hand out keys from sequences that inserting given keys leaves
// where they were; each is moved past the largest key. (A file's AUTOINCREMENT counter
// follows the largest key inserted by itself.)
void MoveServerKeyCounters(Database& db) {
    for (const TableDefinition& table : ProjectSchema()) {
        const std::string& key = table.fields.front().name;
        Statement move = db.Prepare("SELECT setval(pg_get_serial_sequence(?, ?), COALESCE(MAX(" +
                                    key + "), 0) + 1, false) FROM " + table.name + ";");
        // Unquoted names are kept in lower case; the column's name is taken as written.
        move.Bind(1, Lowered(table.name));
        move.Bind(2, Lowered(key));
        move.Step();
    }
}

// The rows of every table, the server's key counters moved past them, in the caller's unit.
void CopyInto(Database& source, Database& target) {
    // Writers of the source wait until the copy is done, so that it is one state of the
    // project; the source's unit writes nothing and is rolled back.
    Transaction reading(source);
    for (const CopiedTable& table : TablesInInsertionOrder()) CopyTable(source, target, table);
    if (target.OnServer()) MoveServerKeyCounters(target);
}

// Removes the journal and log files beside fileName, and the file itself when withFile.
void RemoveQuietly(const std::string& fileName, bool withFile) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        std::error_code ignored;
        if (withFile || *suffix != '\0') fs::remove(fileName + suffix, ignored);
    }
}

// The copy is built beside target and put in place when complete.
void CopyToFile(Database& source, const std::string& target) {
    const std::string partial = target + ".copy" + std::to_string(getpid());
    try {
        CreateNewDatabase(partial);
        {
            Database db(partial, Database::OpenMode::ExistingFile);
            Transaction unit(db);
            CopyInto(source, db);
            unit.Commit();
        }
        std::error_code error;
        fs::rename(partial, target, error);
        if (error) throw DatabaseError("cannot put the copy in place: " + error.message());
    } catch (const DatabaseError&) {
        RemoveQuietly(partial, true);
        throw;
    }
    // A journal of the replaced file would be played back into the copy.
    RemoveQuietly(target, false);
}

// Whether target is the schema source is, however their URIs are written (postgres:// or
// postgresql://, other parameters, the host spelled otherwise): the target's database shows
// the source's session among its own. Replacing the target would then wait for the source's
// reading until the lock timeout.
bool IsSourceItself(Database& source, Database& target) {
    if (!source.OnServer() || source.Schema() != target.Schema()) return false;
    Statement session = source.Prepare(
        "SELECT pid, backend_start::text FROM pg_stat_activity WHERE pid = pg_backend_pid();");
    if (!session.Step()) return false;
    Statement seen = target.Prepare(
        "SELECT 1 FROM pg_stat_activity WHERE pid = ? AND backend_start::text = ? AND datname = "
        "current_database();");
    seen.Bind(1, session.Column(0));
    seen.Bind(2, session.Column(1));
    return seen.Step();
}

// The schema's tables are replaced and filled in one unit, which the server rolls back whole.
void CopyToServer(Database& source, const std::string& target) {
    Database db(target, Database::OpenMode::CreateFile);
    if (IsSourceItself(source, db)) {
        throw DatabaseError("the target is the source project itself; name another target");
    }
    Transaction unit(db);
    ReplaceServerTables(db);
    CopyInto(source, db);
    unit.Commit();
}

}  // namespace

void CopyProjectRows(Database& source, const std::string& target) {
    if (IsServerLocation(target)) {
        CopyToServer(source, target);
    } else {
        CopyToFile(source, target);
    }
}

}  // namespace tamsel
