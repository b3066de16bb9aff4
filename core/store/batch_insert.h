// Many rows through one of the stored insert queries. A single-row insert spends most of its
// time on the engine's work for each statement (the key sequence, setting up the foreign-key
// checks; on a server, the round trip), not on the row, so the rows are inserted
// kRowsPerStatement at a time by a statement that repeats the query's VALUES list.
#pragma once

#include <string_view>
#include <vector>

#include "tamsel/store/database.h"

namespace tamsel {

class BatchInsert {
  public:
    // The multi-row statement built from the stored query called queryName. Throws
    // DatabaseError.
    BatchInsert(Database& db, std::string_view queryName);

    // The column (from 0) of the named value; names are matched as Statement::Bind matches
    // them. Throws DatabaseError.
    int Column(std::string_view name) const;
    // Sets a value of the row being built, by its name or by its Column(); a value not set
    // is Null. Looking the column up once saves a name search per value of a large set.
    void Set(std::string_view name, const DbValue& value) { Set(Column(name), value); }
    void Set(int column, const DbValue& value);
    // Ends the row being built; a full batch is inserted at once. Throws DatabaseError.
    void EndRow();
    // Inserts the rows still pending. Throws DatabaseError.
    void Finish();

    static constexpr int kRowsPerStatement = 64;

  private:
    // Inserts the m_rows pending rows through insert, made for that many.
    void Insert(Statement& insert);
    void Clear();

    Database& m_db;
    std::string_view m_sql;  // the stored query
    Statement m_single;
    Statement m_batch;
    int m_columns = 0;
    std::vector<DbValue> m_pending;  // m_rows rows of m_columns values
    int m_rows = 0;
};

}  // namespace tamsel
