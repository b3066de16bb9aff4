#include "tamsel/store/database.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

namespace tamsel {
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

// The folder that holds fileName; empty when it cannot be told.
std::filesystem::path FolderOf(const std::string& fileName) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(fileName, error);
    return error ? std::filesystem::path() : file.parent_path();
}

// The engine's own full path of db's file, so that a later change of the working folder does
// not look like a changed file; empty for a nameless one.
std::string FullName(sqlite3* db) {
    const char* name = sqlite3_db_filename(db, "main");
    return name ? name : "";
}

// ASCII lower case, as the engine folds names; inline because a bulk insert looks names up
// millions of times.
char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string FailureText(const DatabaseError& error, const std::string& usual) {
    switch (error.GetFault()) {
        case DatabaseError::Fault::Busy:
            return kFileInUse;
        case DatabaseError::Fault::ReadOnly:
            return kFileReadOnly;
        case DatabaseError::Fault::Damaged:
            return kFileDamaged;
        case DatabaseError::Fault::BadValue:
        case DatabaseError::Fault::Replaced:
            return error.what();
        case DatabaseError::Fault::Other:
            break;
    }
    return usual;
}

bool FolderIsWritable(const std::string& fileName) {
    return access(FolderOf(fileName).c_str(), W_OK | X_OK) == 0;
}

std::string FolderReadOnlyText(const std::string& fileName) {
    return "The folder \"" + FolderOf(fileName).string() +
           "\" of the project file cannot be written, and the file needs it for its journal, so "
           "nothing can be stored. Make the folder writable, or work on a copy of the file in a "
           "writable folder.";
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

bool IsServerLocation(std::string_view location) {
    for (std::string_view scheme : {"postgresql://", "postgres://"}) {
        if (location.size() >= scheme.size() &&
            EqualNoCase(location.substr(0, scheme.size()), scheme)) {
            return true;
        }
    }
    return false;
}

std::string DisplayLocation(std::string_view location) {
    if (!IsServerLocation(location)) return std::string(location);
    const std::size_t authority = location.find("://") + 3;
    const std::size_t query = location.find('?', authority);
    std::string_view head = location.substr(0, query);
    std::string shown(head.substr(0, authority));
    std::string_view rest = head.substr(authority);
    // "user:password@host": the user part ends at the last '@' before the path.
    const std::size_t at = rest.substr(0, rest.find('/')).rfind('@');
    if (at != std::string_view::npos) {
        std::string_view user = rest.substr(0, at);
        shown += user.substr(0, user.find(':'));
        rest = rest.substr(at);
    }
    shown += rest;
    if (query == std::string_view::npos) return shown;
    char separator = '?';
    std::string_view parameters = location.substr(query + 1);
    while (!parameters.empty()) {
        const std::size_t end = parameters.find('&');
        std::string_view parameter = parameters.substr(0, end);
        parameters = end == std::string_view::npos ? "" : parameters.substr(end + 1);
        if (EqualNoCase(parameter.substr(0, parameter.find('=')), "password")) continue;
        shown += separator;
        shown += parameter;
        separator = '&';
    }
    return shown;
}

Database::Database(const std::string& path, OpenMode mode) : m_fileName(path) {
    int flags = SQLITE_OPEN_NOMUTEX;
    const bool readOnly = mode == OpenMode::ReadOnlyFile || mode == OpenMode::AsItStands;
    flags |= readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == OpenMode::CreateFile) flags |= SQLITE_OPEN_CREATE;
    const std::string name = mode == OpenMode::AsItStands ? ImmutableUri(path) : path;
    if (mode == OpenMode::AsItStands) flags |= SQLITE_OPEN_URI;
    const int rc = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        DatabaseError error = EngineError(m_db, rc, "cannot open the database file");
        sqlite3_close(m_db);
        m_db = nullptr;
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
        m_db = nullptr;
        throw;
    }
}

Database::~Database() { sqlite3_close(m_db); }

void Database::Execute(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw DatabaseError(message, FaultOf(rc));
    }
}

Statement Database::Prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) throw EngineError(m_db, rc, "cannot prepare a statement");
    if (!stmt) throw DatabaseError("empty statement");
    return Statement(m_db, stmt);
}

std::int64_t Database::LastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }

bool Database::IsReadOnly() const { return sqlite3_db_readonly(m_db, "main") == 1; }

std::optional<Database::FileIdentity> Database::IdentityOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

std::optional<std::string> Database::FileChange() const {
    if (!m_identity) return std::nullopt;
    const std::optional<FileIdentity> now = IdentityOf(FullName(m_db));
    if (now == m_identity) return std::nullopt;
    // The engine still holds the file it opened; writing on would store work where the user
    // will never find it, or beside a log that now belongs to another file.
    const std::string file = "The project file \"" + m_fileName + "\"";
    if (!now) {
        return file +
               " was deleted or moved by another program after it was opened, so nothing more "
               "is stored in it. Open the file again where it is now, or restore it from a "
               "backup.";
    }
    return file +
           " was replaced by another program after it was opened, so nothing more is stored in "
           "the file that was opened. Open the file again to work on the one there now.";
}

std::optional<std::string> Database::WriteRefusal() const {
    if (IsReadOnly()) return kFileReadOnly;
    if (std::optional<std::string> change = FileChange()) return change;
    const std::string fullName = FullName(m_db);
    if (m_identity && !FolderIsWritable(fullName)) return FolderReadOnlyText(fullName);
    return std::nullopt;
}

Statement::Statement(sqlite3* db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt) {
    const int count = sqlite3_bind_parameter_count(m_stmt);
    m_parameterNames.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const char* declared = sqlite3_bind_parameter_name(m_stmt, i);
        std::string name = declared && declared[0] != '\0' ? declared + 1 : "";
        for (char& c : name) c = FoldCase(c);
        m_parameterNames.push_back(std::move(name));
    }
}

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_parameterNames(std::move(other.m_parameterNames)) {
    other.m_stmt = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_parameterNames = std::move(other.m_parameterNames);
        other.m_stmt = nullptr;
    }
    return *this;
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

void Statement::Fail(const char* what) const {
    throw EngineError(m_db, sqlite3_extended_errcode(m_db), what);
}

int Statement::ParameterIndex(std::string_view name) const {
    for (std::size_t k = 0; k < m_parameterNames.size(); ++k) {
        const std::string& declared = m_parameterNames[k];
        if (!declared.empty() && EqualNoCase(declared, name)) return static_cast<int>(k) + 1;
    }
    throw DatabaseError("no parameter named " + std::string(name));
}

void Statement::Bind(int index, const DbValue& value) {
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

void Statement::Bind(std::string_view name, const DbValue& value) {
    Bind(ParameterIndex(name), value);
}

bool Statement::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // Reset so that the statement can be reused after a refused row.
    sqlite3_reset(m_stmt);
    Fail("the database refused the statement");
}

void Statement::Run() {
    while (Step()) {
    }
    sqlite3_reset(m_stmt);
}

void Statement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::ColumnCount() const { return sqlite3_column_count(m_stmt); }

std::string Statement::ColumnName(int column) const {
    const char* name = sqlite3_column_name(m_stmt, column);
    return name ? name : "";
}

DbValue Statement::Column(int column) const {
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

bool Statement::ColumnIsNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

double Statement::ColumnDouble(int column) const { return sqlite3_column_double(m_stmt, column); }

std::int64_t Statement::ColumnInt(int column) const { return sqlite3_column_int64(m_stmt, column); }

std::string Statement::ColumnText(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
}

namespace {

// Nothing is written into a file the path no longer leads to.
void RefuseChangedFile(const Database& db) {
    if (std::optional<std::string> change = db.FileChange()) {
        throw DatabaseError(*change, DatabaseError::Fault::Replaced);
    }
}

}  // namespace

Transaction::Transaction(Database& db) : m_db(db) {
    if (sqlite3_get_autocommit(m_db.Handle())) {
        RefuseChangedFile(m_db);
        m_db.Execute("BEGIN IMMEDIATE;");
        return;
    }
    static std::atomic<unsigned> counter{0};
    m_name = "tamsel_unit_" + std::to_string(counter.fetch_add(1));
    m_db.Execute("SAVEPOINT " + m_name + ";");
}

Transaction::~Transaction() {
    if (!m_open) return;
    try {
        if (m_name.empty()) {
            if (!sqlite3_get_autocommit(m_db.Handle())) m_db.Execute("ROLLBACK;");
        } else {
            m_db.Execute("ROLLBACK TO " + m_name + "; RELEASE " + m_name + ";");
        }
    } catch (const DatabaseError&) {
        // The engine has already rolled the unit back (for example after a full disk).
    }
}

void Transaction::Commit() {
    // A commit refused for a lock leaves the unit open, so that it can be committed again or
    // rolled back by the destructor. A long unit (an import) checks the file again at the end.
    if (m_name.empty()) RefuseChangedFile(m_db);
    m_db.Execute(m_name.empty() ? "COMMIT;" : "RELEASE " + m_name + ";");
    m_open = false;
}

}  // namespace tamsel
