// The project file's engine: SQLite.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <deque>

#include "engine.h"

namespace tamsel::engine {
namespace {

DatabaseError::Fault FaultOf(int code) {
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DatabaseError::Fault::Busy;
        case SQLITE_READONLY:
            return DatabaseError::Fault::ReadOnly;
        case SQLITE_CORRUPT:
            return DatabaseError::Fault::Damaged;
        default:
            return DatabaseError::Fault::Other;
    }
}

DatabaseError EngineError(sqlite3* db, int code, const char* what) {
    std::string text = what;
    if (db) {
        text += ": ";
        text += sqlite3_errmsg(db);
    }
    return DatabaseError(text, FaultOf(code));
}

// The engine's name for path opened with its immutable flag; the characters a URI gives a
// meaning to are escaped.
std::string ImmutableUri(const std::string& path) {
    std::string uri = "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[static_cast<unsigned char>(c) >> 4];
            uri += kHex[static_cast<unsigned char>(c) & 15];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

// The engine's own full path of db's file, so that a later change of the working folder does
// not look like a changed file; empty for a nameless one.
std::string FullName(sqlite3* db) {
    const char* name = sqlite3_db_filename(db, "main");
    return name ? name : "";
}

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

// The connection's statements not in use, kept compiled for the next use of the same SQL: a
// command runs the same few statements once per set, and the engine's parse of a statement
// (above all of a many-row insert) costs more than running it. Shared with the cursors, which
// give their statement back when done, so that one outliving the connection only finalizes it.
class StatementCache {
  public:
    StatementCache() = default;
    ~StatementCache() { Close(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // A statement of sql not in use, reset with no values bound, or null when there is none.
    sqlite3_stmt* Take(std::string_view sql) {
        const auto kept = std::find_if(m_idle.begin(), m_idle.end(),
                                       [&](const Idle& idle) { return idle.sql == sql; });
        if (kept == m_idle.end()) return nullptr;
        sqlite3_stmt* stmt = kept->stmt;
        m_idle.erase(kept);
        return stmt;
    }

    // Keeps stmt, prepared from sql, for the next Take; the least recently kept one goes when
    // the cache is full.
    void Give(std::string_view sql, sqlite3_stmt* stmt) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (m_closed) {
            sqlite3_finalize(stmt);
            return;
        }
        m_idle.push_front({std::string(sql), stmt});
        if (m_idle.size() > kCapacity) {
            sqlite3_finalize(m_idle.back().stmt);
            m_idle.pop_back();
        }
    }

    // Finalizes what is kept; statements given back later are finalized at once.
    void Close() {
        for (const Idle& idle : m_idle) sqlite3_finalize(idle.stmt);
        m_idle.clear();
        m_closed = true;
    }

  private:
    // More than the statements of any one command's steady loop.
    static constexpr std::size_t kCapacity = 32;

    struct Idle {
        std::string sql;
        sqlite3_stmt* stmt;
    };
    std::deque<Idle> m_idle;  // most recently given first
    bool m_closed = false;
};

class FileCursor final : public Cursor {
  public:
    FileCursor(sqlite3* db, sqlite3_stmt* stmt, std::string_view sql,
               std::shared_ptr<StatementCache> cache)
        : m_db(db), m_stmt(stmt), m_sql(sql), m_cache(std::move(cache)) {}
    ~FileCursor() override { m_cache->Give(m_sql, m_stmt); }
    FileCursor(const FileCursor&) = delete;
    FileCursor& operator=(const FileCursor&) = delete;

    std::vector<std::string> ParameterNames() const override {
        const int count = sqlite3_bind_parameter_count(m_stmt);
        std::vector<std::string> names;
        names.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            const char* declared = sqlite3_bind_parameter_name(m_stmt, i);
            std::string name = declared && declared[0] != '\0' ? declared + 1 : "";
            for (char& c : name) c = FoldCase(c);
            names.push_back(std::move(name));
        }
        return names;
    }

    void Bind(int index, const DbValue& value) override {
        int rc = SQLITE_OK;
        if (std::holds_alternative<std::monostate>(value)) {
            rc = sqlite3_bind_null(m_stmt, index);
        } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
            rc = sqlite3_bind_int64(m_stmt, index, *i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            rc = sqlite3_bind_double(m_stmt, index, *d);
        } else {
            const auto& s = std::get<std::string>(value);
            rc = sqlite3_bind_text(m_stmt, index, s.data(), static_cast<int>(s.size()),
                                   SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) Fail("cannot bind a parameter");
    }

    bool Step() override {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        // Reset so that the statement can be reused after a refused row.
        sqlite3_reset(m_stmt);
        Fail("the database refused the statement");
    }

    void Reset(bool clearBindings) override {
        sqlite3_reset(m_stmt);
        if (clearBindings) sqlite3_clear_bindings(m_stmt);
    }

    int ColumnCount() const override { return sqlite3_column_count(m_stmt); }

    std::string ColumnName(int column) const override {
        const char* name = sqlite3_column_name(m_stmt, column);
        return name ? name : "";
    }

    DbValue Column(int column) const override {
        switch (sqlite3_column_type(m_stmt, column)) {
            case SQLITE_NULL:
                return std::monostate{};
            case SQLITE_INTEGER:
                return static_cast<std::int64_t>(sqlite3_column_int64(m_stmt, column));
            case SQLITE_FLOAT:
                return sqlite3_column_double(m_stmt, column);
            default:
                return ColumnText(column);
        }
    }

    bool ColumnIsNull(int column) const override {
        return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
    }
    double ColumnDouble(int column) const override { return sqlite3_column_double(m_stmt, column); }
    std::int64_t ColumnInt(int column) const override {
        return sqlite3_column_int64(m_stmt, column);
    }
    std::string ColumnText(int column) const override {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        if (!text) return {};
        return std::string(reinterpret_cast<const char*>(text),
                           static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
    }

  private:
    [[noreturn]] void Fail(const char* what) const {
        throw EngineError(m_db, sqlite3_extended_errcode(m_db), what);
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt;
    std::string m_sql;
    std::shared_ptr<StatementCache> m_cache;
};

// Virtual machine steps between looks at the cancel flag: a few microseconds of work.
constexpr int kStepsPerLook = 1000;

int StopWhenSet(void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; }

class FileCancelHook final : public CancelHook {
  public:
    FileCancelHook(sqlite3* db, const std::atomic<bool>& flag) : m_db(db) {
        sqlite3_progress_handler(m_db, kStepsPerLook, StopWhenSet,
                                 const_cast<std::atomic<bool>*>(&flag));
    }
    ~FileCancelHook() override { sqlite3_progress_handler(m_db, 0, nullptr, nullptr); }
    FileCancelHook(const FileCancelHook&) = delete;
    FileCancelHook& operator=(const FileCancelHook&) = delete;

  private:
    sqlite3* m_db;
};

class FileConnection final : public Connection {
  public:
    FileConnection(const std::string& path, Database::OpenMode mode) : m_fileName(path) {
        using Mode = Database::OpenMode;
        int flags = SQLITE_OPEN_NOMUTEX;
        const bool readOnly = mode == Mode::ReadOnlyFile || mode == Mode::AsItStands;
        flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
        if (mode == Mode::CreateFile) flags |= SQLITE_OPEN_CREATE;
        const std::string name = mode == Mode::AsItStands ? ImmutableUri(path) : path;
        if (mode == Mode::AsItStands) flags |= SQLITE_OPEN_URI;
        const int rc = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            DatabaseError error = EngineError(m_db, rc, "cannot open the database file");
            sqlite3_close(m_db);
            throw error;
        }
        m_identity = IdentityOf(FullName(m_db));
        sqlite3_extended_result_codes(m_db, 1);
        // Another program's write lock is waited for (the engine retries) rather than failing.
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        try {
            Execute("PRAGMA foreign_keys = ON;");
        } catch (...) {
            sqlite3_close(m_db);
            throw;
        }
    }
    ~FileConnection() override {
        m_statements->Close();
        sqlite3_close(m_db);
    }
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;

    void Execute(std::string_view sql) override {
        const std::string text(sql);
        char* error = nullptr;
        const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            std::string message = error ? error : sqlite3_errmsg(m_db);
            sqlite3_free(error);
            throw DatabaseError(message, FaultOf(rc));
        }
    }

    std::unique_ptr<Cursor> Prepare(std::string_view sql) override {
        if (sqlite3_stmt* kept = m_statements->Take(sql)) {
            return std::make_unique<FileCursor>(m_db, kept, sql, m_statements);
        }
        sqlite3_stmt* stmt = nullptr;
        const int rc =
            sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) throw EngineError(m_db, rc, "cannot prepare a statement");
        if (!stmt) throw DatabaseError("empty statement");
        return std::make_unique<FileCursor>(m_db, stmt, sql, m_statements);
    }

    bool InTransaction() const override { return !sqlite3_get_autocommit(m_db); }

    void Begin() override {
        RefuseChangedFile();
        Execute("BEGIN IMMEDIATE;");
    }

    void Commit() override {
        // A commit refused for a lock leaves the unit open, so that it can be committed again
        // or rolled back. A long unit (an import) checks the file again at the end.
        RefuseChangedFile();
        Execute("COMMIT;");
    }

    bool IsReadOnly() const override { return sqlite3_db_readonly(m_db, "main") == 1; }

    std::optional<std::string> FileChange() const override {
        if (!m_identity) return std::nullopt;
        const std::optional<FileIdentity> now = IdentityOf(FullName(m_db));
        if (now == m_identity) return std::nullopt;
        // The engine still holds the file it opened; writing on would store work where the
        // user will never find it, or beside a log that now belongs to another file.
        const std::string file = "The project file \"" + m_fileName + "\"";
        if (!now) {
            return file +
                   " was deleted or moved by another program after it was opened, so nothing "
                   "more is stored in it. Open the file again where it is now, or restore it "
                   "from a backup.";
        }
        return file +
               " was replaced by another program after it was opened, so nothing more is stored "
               "in the file that was opened. Open the file again to work on the one there now.";
    }

    std::optional<std::string> WriteRefusal() const override {
        if (IsReadOnly()) return ReadOnlyText(false);
        if (std::optional<std::string> change = FileChange()) return change;
        const std::string fullName = FullName(m_db);
        if (m_identity && !FolderIsWritable(fullName)) return FolderReadOnlyText(fullName);
        return std::nullopt;
    }

    std::unique_ptr<CancelHook> WatchCancel(const std::atomic<bool>& flag) override {
        return std::make_unique<FileCancelHook>(m_db, flag);
    }

  private:
    // Nothing is written into a file the path no longer leads to.
    void RefuseChangedFile() const {
        if (std::optional<std::string> change = FileChange()) {
            throw DatabaseError(*change, DatabaseError::Fault::Replaced);
        }
    }

    sqlite3* m_db = nullptr;
    std::shared_ptr<StatementCache> m_statements = std::make_shared<StatementCache>();
    std::string m_fileName;
    std::optional<FileIdentity> m_identity;  // of the file at open; none for a nameless one
};

}  // namespace

std::unique_ptr<Connection> OpenFile(const std::string& path, Database::OpenMode mode) {
    return std::make_unique<FileConnection>(path, mode);
}

}  // namespace tamsel::engine
