// Many rows through one insert statement. A single-row insert spends most of its time on the
// engine's work for each statement (the key sequence, setting up the foreign-key checks; on a
// server, the round trip and the statement's parse and plan), not on the row. In a file the
// rows are inserted kRowsPerStatement at a time by a statement that repeats the VALUES list;
// on a server they stream into the table (binary COPY), all of them in one round trip.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/store/database.h"

namespace tamsel {

namespace engine {
class RowSink;
}  // namespace engine

class BatchInsert {
  public:
    // For sql, "INSERT INTO Table (Column, ...) VALUES (:Name, ...)" with a parameter for each
    // column and nothing else in its VALUES list. No other statement may run on db between the
    // first EndRow and Finish. Throws DatabaseError.
    BatchInsert(Database& db, std::string_view sql);
    // Without Finish, rows already sent are not stored and the unit of work fails.
    ~BatchInsert();
    BatchInsert(const BatchInsert&) = delete;
    BatchInsert& operator=(const BatchInsert&) = delete;

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
    std::string m_sql;
    Statement m_single;
    int m_columns = 0;
    std::unique_ptr<engine::RowSink> m_sink;  // on a server
    std::optional<Statement> m_batch;         // in a file
    std::vector<DbValue> m_pending;           // m_rows rows of m_columns values
    int m_rows = 0;
};

}  // namespace tamsel
