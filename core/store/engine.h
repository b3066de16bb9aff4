// The engines behind Database, Statement, Transaction and CancelWatch: a project file
// (SQLite) or a schema on a PostgreSQL server (libpq). Only those classes use this header.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/store/database.h"

namespace tamsel::engine {

// One prepared statement of an engine. Columns are counted from 0, parameters from 1.
class Cursor {
  public:
    virtual ~Cursor() = default;
    // The name of parameter k + 1 in lower case without its prefix ("" when unnamed).
    virtual std::vector<std::string> ParameterNames() const = 0;
    virtual void Bind(int index, const DbValue& value) = 0;
    virtual bool Step() = 0;
    // Ends the run so that the next Step starts again; clearBindings also unbinds every value.
    virtual void Reset(bool clearBindings) = 0;
    virtual int ColumnCount() const = 0;
    virtual std::string ColumnName(int column) const = 0;
    virtual DbValue Column(int column) const = 0;
    virtual bool ColumnIsNull(int column) const = 0;
    virtual double ColumnDouble(int column) const = 0;
    virtual std::int64_t ColumnInt(int column) const = 0;
    virtual std::string ColumnText(int column) const = 0;
};

// Rows streamed into one table within the current unit of work. While the stream is open the
// connection runs no other statement.
class RowSink {
  public:
    // Destroyed before Finish, the stream is abandoned: nothing of it is stored and the unit
    // of work fails.
    virtual ~RowSink() = default;
    // One row, a value for each column in the order the sink was opened with. Throws
    // DatabaseError.
    virtual void Add(std::span<const DbValue> row) = 0;
    // Ends the stream; its rows are in the table when it returns. Throws DatabaseError.
    virtual void Finish() = 0;
};

// Ends what it watches when destroyed.
class CancelHook {
  public:
    virtual ~CancelHook() = default;
};

class Connection {
  public:
    virtual ~Connection() = default;
    virtual void Execute(std::string_view sql) = 0;
    virtual std::unique_ptr<Cursor> Prepare(std::string_view sql) = 0;
    // True inside a unit of work (also one that failed and waits for its rollback).
    virtual bool InTransaction() const = 0;
    // Begins the outermost unit with the project's write lock; Commit ends it.
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    // sql, statements that return nothing and open or end a nested unit (SAVEPOINT, RELEASE),
    // runs no later than the next statement and may share its round trip; a failure of sql is
    // then reported by that statement.
    virtual void Defer(std::string_view sql) { Execute(sql); }
    // Takes back sql when it was the last deferred and has not reached the engine: nothing has
    // run since it was deferred.
    virtual bool Withdraw(std::string_view /*sql*/) { return false; }
    // Forgets what is deferred, before a rollback that would undo it anyway.
    virtual void DropDeferred() {}
    virtual bool IsReadOnly() const = 0;
    virtual std::optional<std::string> FileChange() const = 0;
    virtual std::optional<std::string> WriteRefusal() const = 0;
    // While the hook lives, a set flag stops the statement running.
    virtual std::unique_ptr<CancelHook> WatchCancel(const std::atomic<bool>& flag) = 0;
    // A stream for rows of table's columns, or null where the engine's statements are the
    // faster way (a file, whose statements cost no round trip).
    virtual std::unique_ptr<RowSink> OpenRowSink(std::string_view /*table*/,
                                                 const std::vector<std::string>& /*columns*/) {
        return nullptr;
    }
};

std::unique_ptr<Connection> OpenFile(const std::string& path, Database::OpenMode mode);
// uri may carry Tamsel's own "schema" parameter; schema receives the schema's name.
std::unique_ptr<Connection> OpenServer(const std::string& uri, Database::OpenMode mode,
                                       std::string& schema);

// ASCII lower case, as the engines fold names; inline because a bulk insert looks names up
// millions of times.
inline char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace tamsel::engine
