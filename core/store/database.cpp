#include "tamsel/store/database.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "engine.h"

namespace tamsel {
namespace {

// The folder that holds fileName; empty when it cannot be told.
std::filesystem::path FolderOf(const std::string& fileName) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(fileName, error);
    return error ? std::filesystem::path() : file.parent_path();
}

std::string SavepointSql(const std::string& name) { return "SAVEPOINT " + name + ";"; }

}  // namespace

std::string FailureText(const DatabaseError& error, const std::string& usual) {
    switch (error.GetFault()) {
        case DatabaseError::Fault::Busy:
            return InUseText(error.OnServer());
        case DatabaseError::Fault::ReadOnly:
            return ReadOnlyText(error.OnServer());
        case DatabaseError::Fault::Damaged:
            return error.OnServer() ? kServerDamaged : kFileDamaged;
        case DatabaseError::Fault::BadValue:
        case DatabaseError::Fault::Replaced:
        case DatabaseError::Fault::Lost:
        case DatabaseError::Fault::NeedsPassword:
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
        if (engine::FoldCase(a[i]) != engine::FoldCase(b[i])) return false;
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

Database::Database(const std::string& location, OpenMode mode)
    : m_fileName(DisplayLocation(location)) {
    m_connection = IsServerLocation(location) ? engine::OpenServer(location, mode, m_schema)
                                              : engine::OpenFile(location, mode);
}

Database::~Database() = default;

void Database::Execute(std::string_view sql) { m_connection->Execute(sql); }

Statement Database::Prepare(std::string_view sql) { return Statement(m_connection->Prepare(sql)); }

bool Database::IsReadOnly() const {
    return m_writeRefusal.has_value() || m_connection->IsReadOnly();
}

std::optional<std::string> Database::FileChange() const { return m_connection->FileChange(); }

std::optional<std::string> Database::WriteRefusal() const {
    std::optional<std::string> refusal = m_connection->WriteRefusal();
    return refusal ? refusal : m_writeRefusal;
}

Statement::Statement(std::unique_ptr<engine::Cursor> cursor)
    : m_cursor(std::move(cursor)), m_parameterNames(m_cursor->ParameterNames()) {}

Statement::Statement(Statement&& other) noexcept = default;
Statement& Statement::operator=(Statement&& other) noexcept = default;
Statement::~Statement() = default;

int Statement::ParameterIndex(std::string_view name) const {
    for (std::size_t k = 0; k < m_parameterNames.size(); ++k) {
        const std::string& declared = m_parameterNames[k];
        if (!declared.empty() && EqualNoCase(declared, name)) return static_cast<int>(k) + 1;
    }
    throw DatabaseError("no parameter named " + std::string(name));
}

void Statement::Bind(int index, const DbValue& value) { m_cursor->Bind(index, value); }

void Statement::Bind(std::string_view name, const DbValue& value) {
    Bind(ParameterIndex(name), value);
}

bool Statement::Step() { return m_cursor->Step(); }

void Statement::Run() {
    while (Step()) {
    }
    m_cursor->Reset(false);
}

void Statement::Reset() { m_cursor->Reset(true); }

int Statement::ColumnCount() const { return m_cursor->ColumnCount(); }
std::string Statement::ColumnName(int column) const { return m_cursor->ColumnName(column); }
DbValue Statement::Column(int column) const { return m_cursor->Column(column); }
bool Statement::ColumnIsNull(int column) const { return m_cursor->ColumnIsNull(column); }
double Statement::ColumnDouble(int column) const { return m_cursor->ColumnDouble(column); }
std::int64_t Statement::ColumnInt(int column) const { return m_cursor->ColumnInt(column); }
std::string Statement::ColumnText(int column) const { return m_cursor->ColumnText(column); }

Transaction::Transaction(Database& db) : m_db(db) {
    engine::Connection& connection = *m_db.m_connection;
    if (!connection.InTransaction()) {
        connection.Begin();
        return;
    }
    static std::atomic<unsigned> counter{0};
    m_name = "tamsel_unit_" + std::to_string(counter.fetch_add(1));
    connection.Defer(SavepointSql(m_name));
}

Transaction::~Transaction() {
    if (!m_open) return;
    engine::Connection& connection = *m_db.m_connection;
    try {
        // A nested unit whose savepoint never reached the engine ran nothing.
        if (!m_name.empty() && connection.Withdraw(SavepointSql(m_name))) return;
        connection.DropDeferred();
        if (m_name.empty()) {
            if (connection.InTransaction()) connection.Execute("ROLLBACK;");
        } else {
            connection.Execute("ROLLBACK TO " + m_name + "; RELEASE " + m_name + ";");
        }
    } catch (const DatabaseError&) {
        // The engine has already rolled the unit back (for example after a full disk or a
        // lost connection).
    }
}

void Transaction::Commit() {
    engine::Connection& connection = *m_db.m_connection;
    if (m_name.empty()) {
        connection.Commit();
    } else if (!connection.Withdraw(SavepointSql(m_name))) {
        connection.Defer("RELEASE " + m_name + ";");
    }
    m_open = false;
}

}  // namespace tamsel
