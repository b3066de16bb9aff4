// The project file's tables as data: the one description from which the file is created,
// recognised, and against which the names in a query are checked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamsel {

enum class FieldType { Key, Long, Double, Text, Memo };

struct FieldDefinition {
    std::string name;
    FieldType type;
};

struct IndexDefinition {
    std::string field;
    bool unique = false;
};

struct TableDefinition {
    std::string name;
    std::vector<FieldDefinition> fields;  // the key first
    // Indexes other than the key's, which the engine keeps as the row identifier.
    std::vector<IndexDefinition> indexes;
    // Relation clauses declared on this table as the many side.
    std::vector<std::string> relations;
};

// The fourteen tables in creation order, with their relations.
const std::vector<TableDefinition>& ProjectSchema();

// Tamsel's own tables beside the fourteen: made with every project, and when an earlier
// version's file is opened.
struct OwnTableDefinition {
    const char* name;
    const char* columns;  // the CREATE TABLE body
    const char* key;      // the columns of its key, which order its rows
};
const std::vector<OwnTableDefinition>& OwnTables();

// Declares relation relationName: foreignTable.fieldName refers to table.fieldName, and a
// row of foreignTable goes when its table row is deleted. The clause is kept with
// foreignTable's definition because the engine accepts relations only when a table is
// created. Throws DatabaseError when a table or the field is unknown.
void AddCascadeRelation(std::vector<TableDefinition>& tables, const std::string& relationName,
                        const std::string& table, const std::string& foreignTable,
                        const std::string& fieldName);

// The table or field of that name (compared without regard to case), or nullptr.
const TableDefinition* FindTable(std::string_view name);
const FieldDefinition* FindField(const TableDefinition& table, std::string_view name);

// The schema's own spelling of a table or a table's field. Throws DatabaseError for a name
// the schema does not know, so that only known names are ever written into a statement.
const std::string& CheckedTable(std::string_view table);
const std::string& CheckedField(std::string_view table, std::string_view field);

// Index names are global in the file, so each carries its table: "DataSets_DataName".
std::string IndexName(const TableDefinition& table, const IndexDefinition& index);

}  // namespace tamsel
