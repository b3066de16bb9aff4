// Bulk units that check their foreign keys once instead of row by row. The engine checks the
// parent of every inserted row, which is about a fifth of the cost of inserting a large set;
// a unit that creates a parent and inserts its rows can switch that off and check its new
// rows in one pass before committing, rolling back on any violation. A server checks every
// row itself and cannot be told not to: there these change nothing and every check holds.
#pragma once

#include <cstdint>
#include <string_view>

#include "tamsel/store/database.h"

namespace tamsel {

// Switches foreign-key enforcement off on the connection while it lives, and on again after.
// Create it outside any unit: the engine ignores the switch inside a transaction, so there
// enforcement simply stays on. Throws DatabaseError.
class ForeignKeysSuspended {
  public:
    explicit ForeignKeysSuspended(Database& db);
    ~ForeignKeysSuspended();
    ForeignKeysSuspended(const ForeignKeysSuspended&) = delete;
    ForeignKeysSuspended& operator=(const ForeignKeysSuspended&) = delete;

  private:
    Database& m_db;
};

// The largest row key of table, 0 when it is empty. Rows inserted later have larger keys.
// Throws DatabaseError.
std::int64_t LastRowKey(Database& db, std::string_view table);

// True when no row of table with a key above afterKey refers to a parent row that does not
// exist, for every foreign key of table (0 checks every row). Fast when those rows share one
// parent, as the rows of one set do. Throws DatabaseError.
bool NewRowsKeysHold(Database& db, std::string_view table, std::int64_t afterKey);

}  // namespace tamsel
