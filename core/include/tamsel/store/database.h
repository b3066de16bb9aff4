// The one wrapper around the engines: a project file (SQLite) or a schema on a PostgreSQL
// server (libpq). Everything in the store reads and writes the project through these classes;
// no other code calls an engine's C API.
//
// Engine failures are thrown as DatabaseError inside the store; every public store
// routine catches them and reports through the message sink or its result.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tamsel {

namespace engine {
class Connection;
class Cursor;
class CancelHook;
}  // namespace engine

class DatabaseError : public std::runtime_error {
  public:
    // What the failure means for the user: another program holds the file, the file cannot be
    // written, the file is damaged, a value read from it cannot be used, the path no longer
    // leads to the file that was opened, the connection to the server was lost, the server
    // wants a password that was not given (for these four the text is the message), or
    // anything else.
    enum class Fault { Other, Busy, ReadOnly, Damaged, BadValue, Replaced, Lost, NeedsPassword };

    // onServer: the error came from a project on a database server, not a project file.
    explicit DatabaseError(const std::string& what, Fault fault = Fault::Other,
                           bool onServer = false)
        : std::runtime_error(what), m_fault(fault), m_onServer(onServer) {}
    Fault GetFault() const { return m_fault; }
    bool OnServer() const { return m_onServer; }

  private:
    Fault m_fault;
    bool m_onServer;
};

// The user's message for error: the lock, read-only and damaged messages of its engine for
// those faults, the error's own text where it is the message, usual for any other.
std::string FailureText(const DatabaseError& error, const std::string& usual);

inline constexpr const char* kFileInUse =
    "The project file is in use by another program; try again when it has finished.";
inline constexpr const char* kFileReadOnly =
    "The project file is read-only, so nothing can be stored in it. Make the file and its "
    "folder writable, or work on a copy.";
inline constexpr const char* kFileDamaged =
    "The project file is damaged. Run \"tamsel-cli check\" on it to list the damage, and "
    "work on a backup copy.";
inline constexpr const char* kServerInUse =
    "The project is in use by another user or program on the database server; try again when "
    "they have finished.";
inline constexpr const char* kServerDamaged =
    "The database server reports damaged data in the project. Ask the server's administrator "
    "to check it, and work on a backup copy.";
inline constexpr const char* kServerReadOnly =
    "The project is open read-only on the server, so nothing can be stored in it. Open it "
    "again for writing, with a role that may change it.";
inline constexpr const char* kConnectionLost =
    "The connection to the database server was lost, so nothing of this work was stored. "
    "Check that the server is running and can be reached, then open the project again.";

// The message for a project held by another program's lock, on a server or in a file.
inline const char* InUseText(bool onServer) { return onServer ? kServerInUse : kFileInUse; }
// The message for a project that is open read-only.
inline const char* ReadOnlyText(bool onServer) {
    return onServer ? kServerReadOnly : kFileReadOnly;
}

// Whether the engine may make its journal or log beside fileName: its folder can be written.
bool FolderIsWritable(const std::string& fileName);
// The user's message for a project file whose folder cannot be written.
std::string FolderReadOnlyText(const std::string& fileName);

// How long a connection waits for another program's lock before it reports Busy.
inline constexpr int kBusyTimeoutMs = 5000;

// A field value as the engine hands it out; std::monostate is Null.
using DbValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// True when value is Null.
inline bool IsNull(const DbValue& value) { return std::holds_alternative<std::monostate>(value); }

// True when a and b differ at most in the case of ASCII letters, as the engine compares names.
bool EqualNoCase(std::string_view a, std::string_view b);

// A project lives in a file, named by its path, or on a PostgreSQL server, named by a URI
// ("postgresql://user@host/dbname?schema=project_x"; "postgres://" too).
bool IsServerLocation(std::string_view location);
// location as it may be shown, kept or printed: a server URI without any password in it (in
// its user part or as a parameter); a file path as it is.
std::string DisplayLocation(std::string_view location);

class Statement;

class Database {
  public:
    enum class OpenMode { ExistingFile, CreateFile, ReadOnlyFile, AsItStands };

    // Opens location, a file path or a server URI. ExistingFile never creates a file (or a
    // schema); CreateFile creates it when missing; ReadOnlyFile opens an existing one on a
    // connection that cannot write to it; AsItStands reads a file alone, ignoring any journal
    // or log beside it, and touches neither (on a server, as ReadOnlyFile). Foreign keys are
    // enforced on every connection. Throws DatabaseError.
    Database(const std::string& location, OpenMode mode);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The location as it may be shown: DisplayLocation().
    const std::string& FileName() const { return m_fileName; }
    // For the store's own SQL only: whether the project is on a server, and its schema there
    // ("" for a file).
    bool OnServer() const { return !m_schema.empty(); }
    const std::string& Schema() const { return m_schema; }

    // Runs one or more statements that return no rows. Throws DatabaseError.
    void Execute(std::string_view sql);
    // Prepares one statement, its parameters spelt as SQLite spells them (?, ?NNN, :name,
    // @name, $name) on both engines. Throws DatabaseError.
    Statement Prepare(std::string_view sql);
    // True when the connection cannot write (for example a write-protected file).
    bool IsReadOnly() const;
    // When the path no longer leads to the file this connection opened (another program
    // deleted, moved or replaced it), the user's message saying what happened and what to do.
    std::optional<std::string> FileChange() const;
    // Why nothing can be stored through this connection, as the user's message: the file is
    // read-only, its folder cannot be written (the engine keeps its journal there), or
    // FileChange(). nullopt when writing may go ahead.
    std::optional<std::string> WriteRefusal() const;
    // From now on nothing is stored through this connection: IsReadOnly() is true, and
    // WriteRefusal() gives reason where the engine has none of its own.
    void RefuseWrites(std::string reason) { m_writeRefusal = std::move(reason); }

  private:
    friend class Transaction;
    friend class CancelWatch;
    friend class BatchInsert;  // streams rows where the engine can

    std::unique_ptr<engine::Connection> m_connection;
    std::optional<std::string> m_writeRefusal;
    std::string m_fileName;
    std::string m_schema;
};

// A prepared statement. Parameters may be bound by position (from 1) or by name; names
// are matched without regard to case and without their prefix character (":Name",
// "@Name" and "$Name" all answer to "name"). Unbound parameters are Null.
class Statement {
  public:
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    void Bind(int index, const DbValue& value);
    void Bind(std::string_view name, const DbValue& value);
    void BindNull(std::string_view name) { Bind(name, DbValue{}); }
    // The position (from 1) of the parameter called name. Throws DatabaseError.
    int ParameterIndex(std::string_view name) const;
    int ParameterCount() const { return static_cast<int>(m_parameterNames.size()); }

    // Advances to the next row; false when there is none (the statement is done).
    bool Step();
    // Runs a statement that returns no rows, then resets it for reuse.
    void Run();
    // Resets the statement and clears its bindings.
    void Reset();

    int ColumnCount() const;
    std::string ColumnName(int column) const;  // from 0
    DbValue Column(int column) const;          // from 0
    bool ColumnIsNull(int column) const;
    double ColumnDouble(int column) const;
    std::int64_t ColumnInt(int column) const;
    std::string ColumnText(int column) const;  // Null reads as ""

  private:
    friend class Database;
    explicit Statement(std::unique_ptr<engine::Cursor> cursor);

    std::unique_ptr<engine::Cursor> m_cursor;
    // The name of parameter k + 1 in lower case without its prefix ("" when unnamed), read
    // once: a row of a set binds a dozen names, and asking the engine each time dominated
    // the cost of storing.
    std::vector<std::string> m_parameterNames;
};

// A unit of work that is stored whole or not at all. The outermost unit takes the project's
// write lock when it begins (the file's BEGIN IMMEDIATE, an advisory lock on the server), so
// that what it reads cannot change before it commits and it never fails half-way for want of
// the lock; inner units nest on SAVEPOINT and still
// roll back with their outer one. A unit destroyed without Commit() is rolled back. Throws
// DatabaseError (Busy when another program keeps the lock beyond kBusyTimeoutMs, Replaced,
// before anything is written, when the path no longer leads to the file that was opened,
// Lost when the connection to the server is lost).
class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    // Throws DatabaseError when the engine refuses (a full disk, for example).
    void Commit();

  private:
    Database& m_db;
    std::string m_name;  // empty for the outermost unit
    bool m_open = true;
};

}  // namespace tamsel
