// What the two engines spell differently, each asked of Database::OnServer() in one place.
// Everything else in the store's SQL is text both engines accept: unquoted names (the server folds
// them to lower case), RETURNING for new keys, COALESCE, IS NOT DISTINCT FROM.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tamsel/store/database.h"

namespace tamsel {

// Whether the project holds a table called name (compared without regard to case). Throws
// DatabaseError.
bool TableExists(Database& db, std::string_view name);
// How many of names (distinct) the project holds as tables, asked in one question. Throws
// DatabaseError.
std::size_t CountTables(Database& db, const std::vector<std::string_view>& names);

// For each of tables, the names of its columns in their order (none for a table that is not
// there), asked in one question. Throws DatabaseError.
std::vector<std::vector<std::string>> ColumnNames(Database& db,
                                                  const std::vector<std::string_view>& tables);

// name as an identifier in SQL: in double quotes, any double quote doubled.
std::string Quoted(std::string_view name);

}  // namespace tamsel
