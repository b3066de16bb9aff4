// A project on a PostgreSQL server, through libpq. The store writes its SQL with SQLite's
// parameter spellings; they are numbered here for the server. Values travel typed: integers
// and doubles in the server's binary form (exact, infinities and -0.0 included), text as
// untyped so that the server reads it as the column it goes to.
#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <span>
#include <thread>
#include <unordered_map>
#include <utility>

#include "engine.h"
#include "server_parameters.h"

namespace tamsel::engine {
namespace {

// The server's type numbers (pg_type.oid) the engine tells apart.
enum : Oid {
    kBool = 16,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kVarchar = 1043,
    kNumeric = 1700,
};

// Prepared statements kept per session before they are all dropped; the store's own SQL
// needs far fewer.
constexpr std::size_t kMaxPrepared = 1000;

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

DatabaseError::Fault FaultOf(std::string_view state) {
    using Fault = DatabaseError::Fault;
    // lock_not_available, serialization_failure, deadlock_detected
    if (state == "55P03" || state == "40001" || state == "40P01") return Fault::Busy;
    // read_only_sql_transaction, insufficient_privilege
    if (state == "25006" || state == "42501") return Fault::ReadOnly;
    // data_corrupted, index_corrupted
    if (state == "XX001" || state == "XX002") return Fault::Damaged;
    // connection exceptions; the backend ended by an administrator or a shutdown
    if (StartsWith(state, "08") || StartsWith(state, "57P")) return Fault::Lost;
    return Fault::Other;
}

std::string Trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    // libpq indents its hints with a tab, which a terminal or a message box shows badly.
    for (std::size_t at = text.find("\n\t"); at != std::string::npos; at = text.find("\n\t", at)) {
        text.erase(at + 1, 1);
    }
    return text;
}

std::string QuotedIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + '"';
}

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t k = 0; k < text.size(); ++k) {
        unsigned value = 0;
        if (text[k] == '%' && k + 2 < text.size() &&
            std::from_chars(text.data() + k + 1, text.data() + k + 3, value, 16).ptr ==
                text.data() + k + 3) {
            decoded += static_cast<char>(value);
            k += 2;
        } else {
            decoded += text[k];
        }
    }
    return decoded;
}

// uri without Tamsel's "schema" parameter, which libpq would refuse, and with its scheme in
// lower case, the only case libpq knows (a URI's scheme is the same in any case); schema
// receives the parameter's value ("public" when there is none).
std::string WithoutSchema(std::string_view uri, std::string& schema) {
    schema = "public";
    const std::size_t query = uri.find('?');
    std::string kept(uri.substr(0, query));
    const std::size_t schemeEnd = std::min(kept.find("://"), kept.size());
    std::transform(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(schemeEnd),
                   kept.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (query == std::string_view::npos) return kept;
    char separator = '?';
    std::string_view parameters = uri.substr(query + 1);
    while (!parameters.empty()) {
        const std::size_t end = parameters.find('&');
        const std::string_view parameter = parameters.substr(0, end);
        parameters = end == std::string_view::npos ? "" : parameters.substr(end + 1);
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos && parameter.substr(0, equals) == "schema") {
            schema = PercentDecoded(parameter.substr(equals + 1));
            if (schema.empty()) throw DatabaseError("the URI's schema parameter names no schema");
            // Replacing a project's tables there would drop the server's own.
            if (schema.starts_with("pg_") || schema == "information_schema") {
                throw DatabaseError("the schema " + schema +
                                    " is the server's own; name a schema of your own in the URI "
                                    "(schema=NAME)");
            }
            continue;
        }
        kept += separator;
        kept += parameter;
        separator = '&';
    }
    return kept;
}

// The advisory lock that lets one writer at a time change the project: FNV-1a of the schema's
// name. The server keeps advisory locks per database, so one schema has one key.
std::int64_t LockKey(std::string_view schema) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : schema) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return std::bit_cast<std::int64_t>(hash);
}

// A value in the server's binary form: 8 bytes, most significant first.
std::array<char, 8> BigEndian(std::uint64_t bits) {
    std::array<char, 8> bytes{};
    for (int k = 7; k >= 0; --k) {
        bytes[static_cast<std::size_t>(k)] = static_cast<char>(bits & 0xff);
        bits >>= 8;
    }
    return bytes;
}

// bits as a field of bytes bytes in the server's binary form, most significant first.
void AppendBigEndian(std::string& out, std::uint64_t bits, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out += static_cast<char>((bits >> shift) & 0xff);
    }
}

// value as a field of a binary COPY row for a column of type (length, then the bytes):
// exactly what a bound parameter would store there.
void AppendField(std::string& out, const DbValue& value, Oid type, const std::string& column) {
    const auto field = [&](std::uint64_t bits, int bytes) {
        AppendBigEndian(out, static_cast<std::uint64_t>(bytes), 4);
        AppendBigEndian(out, bits, bytes);
    };
    if (IsNull(value)) {
        AppendBigEndian(out, 0xffffffff, 4);  // length -1
        return;
    }
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        const int bytes = type == kInt8 ? 8 : type == kInt4 ? 4 : type == kInt2 ? 2 : 0;
        if (bytes > 0) {
            const std::int64_t limit = bytes < 8 ? std::int64_t{1} << (8 * bytes - 1) : 0;
            if (limit > 0 && (*i < -limit || *i >= limit)) {
                throw DatabaseError("the value " + std::to_string(*i) +
                                    " is out of range for column " + column);
            }
            field(std::bit_cast<std::uint64_t>(*i), bytes);
            return;
        }
        if (type == kFloat8) {
            field(std::bit_cast<std::uint64_t>(static_cast<double>(*i)), 8);
            return;
        }
    } else if (const auto* d = std::get_if<double>(&value)) {
        if (type == kFloat8) {
            field(std::bit_cast<std::uint64_t>(*d), 8);
            return;
        }
    } else if (type == kText || type == kVarchar) {
        const std::string& text = std::get<std::string>(value);
        AppendBigEndian(out, text.size(), 4);
        out += text;
        return;
    }
    throw DatabaseError("cannot store a value of this kind in column " + column);
}

// The values of one run as libpq takes them.
struct Parameters {
    explicit Parameters(const std::vector<DbValue>& values) {
        const std::size_t count = values.size();
        types.resize(count, 0);
        pointers.resize(count, nullptr);
        lengths.resize(count, 0);
        formats.resize(count, 0);
        binary.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const DbValue& value = values[k];
            if (const auto* i = std::get_if<std::int64_t>(&value)) {
                SetBinary(k, kInt8, std::bit_cast<std::uint64_t>(*i));
            } else if (const auto* d = std::get_if<double>(&value)) {
                SetBinary(k, kFloat8, std::bit_cast<std::uint64_t>(*d));
            } else if (const auto* s = std::get_if<std::string>(&value)) {
                pointers[k] = s->c_str();
            }
        }
    }

    void SetBinary(std::size_t k, Oid type, std::uint64_t bits) {
        types[k] = type;
        binary[k] = BigEndian(bits);
        pointers[k] = binary[k].data();
        lengths[k] = 8;
        formats[k] = 1;
    }

    // The prepared statement for sql with these types.
    std::string Key(const std::string& sql) const {
        std::string key(reinterpret_cast<const char*>(types.data()), types.size() * sizeof(Oid));
        return key + sql;
    }

    std::vector<Oid> types;
    std::vector<const char*> pointers;
    std::vector<int> lengths;
    std::vector<int> formats;
    std::vector<std::array<char, 8>> binary;
};

class ServerConnection;

class ServerCursor final : public Cursor {
  public:
    ServerCursor(ServerConnection& connection, NumberedSql sql)
        : m_connection(connection),
          m_sql(std::move(sql.text)),
          m_names(std::move(sql.names)),
          m_values(m_names.size()) {}

    std::vector<std::string> ParameterNames() const override { return m_names; }

    void Bind(int index, const DbValue& value) override {
        if (index < 1 || index > static_cast<int>(m_values.size())) {
            throw DatabaseError("cannot bind a parameter: there is no parameter " +
                                std::to_string(index));
        }
        m_values[static_cast<std::size_t>(index - 1)] = value;
    }

    bool Step() override;

    void Reset(bool clearBindings) override {
        m_result.reset();
        if (clearBindings) std::fill(m_values.begin(), m_values.end(), DbValue{});
    }

    int ColumnCount() const override;
    std::string ColumnName(int column) const override {
        const char* name = ColumnCount() > column ? PQfname(m_result.get(), column) : nullptr;
        return name ? name : "";
    }

    DbValue Column(int column) const override {
        const char* text = Text(column);
        if (!text) return std::monostate{};
        const std::size_t length =
            static_cast<std::size_t>(PQgetlength(m_result.get(), m_row, column));
        switch (PQftype(m_result.get(), column)) {
            case kInt2:
            case kInt4:
            case kInt8:
            case kOid: {
                std::int64_t value = 0;
                if (std::from_chars(text, text + length, value).ec == std::errc()) return value;
                break;
            }
            case kFloat4:
            case kFloat8:
            case kNumeric: {
                // The server writes "Infinity", "-Infinity" and "NaN", which from_chars reads.
                double value = 0;
                if (std::from_chars(text, text + length, value).ec == std::errc()) return value;
                break;
            }
            case kBool:
                return std::int64_t{text[0] == 't' ? 1 : 0};
            default:
                break;
        }
        return std::string(text, length);
    }

    bool ColumnIsNull(int column) const override { return !Text(column); }

    double ColumnDouble(int column) const override {
        const DbValue value = Column(column);
        if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
        if (const auto* d = std::get_if<double>(&value)) return *d;
        if (const auto* s = std::get_if<std::string>(&value))
            return std::strtod(s->c_str(), nullptr);
        return 0;
    }

    std::int64_t ColumnInt(int column) const override {
        const DbValue value = Column(column);
        if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
        if (const auto* d = std::get_if<double>(&value)) {
            return std::abs(*d) < 9.2e18 ? static_cast<std::int64_t>(*d) : 0;
        }
        if (const auto* s = std::get_if<std::string>(&value))
            return std::strtoll(s->c_str(), nullptr, 10);
        return 0;
    }

    std::string ColumnText(int column) const override {
        const DbValue value = Column(column);
        if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
        const char* text = Text(column);
        return text
                   ? std::string(
                         text, static_cast<std::size_t>(PQgetlength(m_result.get(), m_row, column)))
                   : std::string();
    }

  private:
    // The text of column in the current row; null for Null or when there is no row.
    const char* Text(int column) const {
        if (!m_result || m_row < 0 || m_row >= PQntuples(m_result.get()) || column < 0 ||
            column >= PQnfields(m_result.get()) || PQgetisnull(m_result.get(), m_row, column)) {
            return nullptr;
        }
        return PQgetvalue(m_result.get(), m_row, column);
    }

    ServerConnection& m_connection;
    std::string m_sql;
    std::vector<std::string> m_names;
    std::vector<DbValue> m_values;
    // The run's rows (all of them: another statement may run while they are read), or the
    // statement's description when its columns were asked for before it ran.
    mutable Result m_result;
    int m_row = -1;
};

// Sends a cancel request while the flag is set; PQcancel is the one libpq call made for a
// connection from another thread.
class ServerCancelHook final : public CancelHook {
  public:
    ServerCancelHook(PGconn* connection, const std::atomic<bool>& flag)
        : m_cancel(PQgetCancel(connection)), m_flag(flag), m_watcher([this] { Watch(); }) {}
    ~ServerCancelHook() override {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_watcher.join();
        PQfreeCancel(m_cancel);
    }
    ServerCancelHook(const ServerCancelHook&) = delete;
    ServerCancelHook& operator=(const ServerCancelHook&) = delete;

  private:
    void Watch() {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            // Again while the flag stays set: a statement that started after the last request
            // is stopped too.
            if (m_cancel && m_flag.load()) {
                char error[256];
                PQcancel(m_cancel, error, sizeof error);
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; });
        }
    }

    PGcancel* m_cancel;
    const std::atomic<bool>& m_flag;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_watcher;
};

class ServerConnection final : public Connection {
  public:
    ServerConnection(const std::string& uri, Database::OpenMode mode, std::string& schema) {
        const std::string libpqUri = WithoutSchema(uri, schema);
        m_lockKey = LockKey(schema);
        m_readOnly =
            mode == Database::OpenMode::ReadOnlyFile || mode == Database::OpenMode::AsItStands;
        // A connection string's own settings come after these and so win over them.
        const char* keys[] = {"connect_timeout", "fallback_application_name", "dbname", nullptr};
        const char* values[] = {"10", "tamsel", libpqUri.c_str(), nullptr};
        m_conn = PQconnectdbParams(keys, values, 1);
        if (PQstatus(m_conn) != CONNECTION_OK) {
            const bool needsPassword = PQconnectionNeedsPassword(m_conn) == 1;
            const std::string reason = Trimmed(PQerrorMessage(m_conn));
            PQfinish(m_conn);
            if (needsPassword) {
                throw DatabaseError(
                    "The server of \"" + DisplayLocation(uri) +
                        "\" asks for a password, and none was given. Give it when Tamsel asks "
                        "for it, or keep it in ~/.pgpass or in the file PGPASSFILE names.",
                    DatabaseError::Fault::NeedsPassword);
            }
            throw DatabaseError("cannot connect to the database server: " + reason);
        }
        try {
            Open(mode, schema);
        } catch (...) {
            PQfinish(m_conn);
            throw;
        }
    }
    ~ServerConnection() override { PQfinish(m_conn); }
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    void Execute(std::string_view sql) override {
        const std::string text = TakeDeferred() + std::string(sql);
        Check(Result(PQexec(m_conn, text.c_str())), "the server refused the statement");
    }

    void Defer(std::string_view sql) override { m_deferred.emplace_back(sql); }

    bool Withdraw(std::string_view sql) override {
        if (m_deferred.empty() || m_deferred.back() != sql) return false;
        m_deferred.pop_back();
        return true;
    }

    void DropDeferred() override { m_deferred.clear(); }

    std::unique_ptr<Cursor> Prepare(std::string_view sql) override {
        return std::make_unique<ServerCursor>(*this, NumberParameters(sql));
    }

    bool InTransaction() const override {
        const PGTransactionStatusType status = PQtransactionStatus(m_conn);
        return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
    }

    void Begin() override {
        // Readers never wait: the server shows each statement the sets committed before it.
        const std::string begin =
            m_readOnly ? "BEGIN;"
                       : "BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(m_lockKey) + ");";
        try {
            Execute(begin);
        } catch (const DatabaseError&) {
            if (InTransaction()) PQclear(PQexec(m_conn, "ROLLBACK;"));
            throw;
        }
    }

    void Commit() override {
        // The server answers COMMIT on a failed unit with a rollback, not an error.
        if (PQtransactionStatus(m_conn) == PQTRANS_INERROR) {
            throw DatabaseError(
                "the server refused a statement of this unit of work, so none "
                "of it was stored");
        }
        Result result(PQexec(m_conn, (TakeDeferred() + "COMMIT;").c_str()));
        const std::string tag = PQcmdStatus(result.get());
        Check(std::move(result), "the server refused to store the unit of work");
        if (tag != "COMMIT") throw DatabaseError("the server rolled the unit of work back");
    }

    bool IsReadOnly() const override { return m_readOnly || m_roleRefusal.has_value(); }
    std::optional<std::string> FileChange() const override { return std::nullopt; }
    std::optional<std::string> WriteRefusal() const override {
        if (PQstatus(m_conn) != CONNECTION_OK) return kConnectionLost;
        if (m_readOnly) return ReadOnlyText(true);
        return m_roleRefusal;
    }

    std::unique_ptr<CancelHook> WatchCancel(const std::atomic<bool>& flag) override {
        return std::make_unique<ServerCancelHook>(m_conn, flag);
    }

    std::unique_ptr<RowSink> OpenRowSink(std::string_view table,
                                         const std::vector<std::string>& columns) override;

    // Starts a binary COPY of rows into table's columns; gives the columns' types, asked of the
    // server in the same round trip (never kept: a project replaced since may differ).
    std::vector<Oid> StartCopy(const std::string& table, const std::vector<std::string>& columns) {
        std::string list;
        for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + column;
        const std::string sql = TakeDeferred() + "SELECT " + list + " FROM " + table +
                                " WHERE false; COPY " + table + " (" + list +
                                ") FROM STDIN (FORMAT binary);";
        if (PQsendQuery(m_conn, sql.c_str()) != 1) {
            Check(Result(nullptr), "cannot start storing rows");
        }
        // Past the results of the deferred statements sent first.
        Result described(PQgetResult(m_conn));
        while (described && PQresultStatus(described.get()) == PGRES_COMMAND_OK) {
            described.reset(PQgetResult(m_conn));
        }
        if (PQresultStatus(described.get()) != PGRES_TUPLES_OK) {
            Drain();
            Check(std::move(described), "cannot store rows");
        }
        std::vector<Oid> types(columns.size());
        for (std::size_t k = 0; k < types.size(); ++k) {
            types[k] = PQftype(described.get(), static_cast<int>(k));
        }
        Result copy(PQgetResult(m_conn));
        if (PQresultStatus(copy.get()) != PGRES_COPY_IN) {
            Drain();
            Check(std::move(copy), "cannot store rows");
        }
        return types;
    }

    void SendCopy(std::string_view data) {
        if (PQputCopyData(m_conn, data.data(), static_cast<int>(data.size())) != 1) {
            Check(Result(nullptr), "cannot send the rows");
        }
    }

    // Ends the COPY: stores its rows, or with a reason abandons them (the unit then fails).
    void EndCopy(const char* abandon) {
        PQputCopyEnd(m_conn, abandon);
        Result result(PQgetResult(m_conn));
        Drain();
        if (!abandon) Check(std::move(result), "the database refused the rows");
    }

    // Runs sql with values, preparing it for their types on first use. The deferred
    // statements, the preparation and the run travel together: one round trip.
    Result Run(const std::string& sql, const std::vector<DbValue>& values) {
        const Parameters parameters(values);
        std::string key = parameters.Key(sql);
        const auto known = m_prepared.find(key);
        if (known != m_prepared.end() && m_deferred.empty()) {
            return Check(
                Result(PQexecPrepared(m_conn, known->second.c_str(),
                                      static_cast<int>(values.size()), parameters.pointers.data(),
                                      parameters.lengths.data(), parameters.formats.data(), 0)),
                "the database refused the statement");
        }
        if (known == m_prepared.end()) ForgetPreparedWhenMany();
        return RunInPipeline(sql, parameters, std::move(key));
    }

    // The columns sql would give for values, without running it.
    Result Describe(const std::string& sql, const std::vector<DbValue>& values) {
        if (!m_deferred.empty()) Execute("");
        const std::string& name = PreparedName(sql, Parameters(values));
        return Check(Result(PQdescribePrepared(m_conn, name.c_str())),
                     "cannot describe a statement");
    }

  private:
    // Reads the results of what was sent until there are none; a COPY still waiting for rows
    // is abandoned.
    void Drain() {
        while (Result result{PQgetResult(m_conn)}) {
            if (PQresultStatus(result.get()) == PGRES_COPY_IN) PQputCopyEnd(m_conn, "abandoned");
        }
    }

    void Open(Database::OpenMode mode, const std::string& schema) {
        // The store prints nothing; the server's notices ("already exists, skipping") are
        // not the user's concern.
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
        if (PQsetClientEncoding(m_conn, "UTF8") != 0) {
            throw DatabaseError("the server cannot talk UTF-8: " + Trimmed(PQerrorMessage(m_conn)));
        }
        // extra_float_digits > 0: doubles are written exactly. Generic plans: the store runs a
        // few statements many times each, all of them lookups by key, which the server would
        // otherwise plan again at each of a statement's first five runs (the setting came with
        // server version 12; older servers go without).
        Execute("SET search_path TO " + QuotedIdentifier(schema) + "; SET lock_timeout = " +
                std::to_string(kBusyTimeoutMs) + "; SET extra_float_digits = 3;" +
                (PQserverVersion(m_conn) >= 120000 ? " SET plan_cache_mode = force_generic_plan;"
                                                   : "") +
                (m_readOnly ? " SET default_transaction_read_only = on;" : ""));
        if (mode == Database::OpenMode::CreateFile) {
            Execute("CREATE SCHEMA IF NOT EXISTS " + QuotedIdentifier(schema) + ";");
            return;
        }
        // The schema, and whether the role may change every table in it (a reviewer's role
        // may only read): such a role is told so before any work, not when storing it fails.
        const char* name = schema.c_str();
        Result found(Check(
            Result(PQexecParams(
                m_conn,
                "SELECT current_user, (SELECT bool_and(has_table_privilege(c.oid, 'INSERT') AND "
                "has_table_privilege(c.oid, 'UPDATE') AND has_table_privilege(c.oid, 'DELETE')) "
                "FROM pg_catalog.pg_class AS c WHERE c.relnamespace = n.oid AND c.relkind IN "
                "('r', 'p')) IS NOT FALSE FROM pg_catalog.pg_namespace AS n WHERE n.nspname = $1;",
                1, nullptr, &name, nullptr, nullptr, 0)),
            "cannot look for the project's schema"));
        if (PQntuples(found.get()) == 0) {
            throw DatabaseError("there is no schema \"" + schema + "\" on the server");
        }
        if (!m_readOnly && std::string_view(PQgetvalue(found.get(), 0, 1)) != "t") {
            m_roleRefusal = "The role " + std::string(PQgetvalue(found.get(), 0, 0)) +
                            " may read this project on the server but not change it, so nothing "
                            "can be stored in it. Open it with a role that may, or ask the "
                            "server's administrator to grant this one INSERT, UPDATE and DELETE "
                            "on the project's tables.";
        }
    }

    // The deferred statements as text for a simple query, which then no longer holds them.
    std::string TakeDeferred() {
        std::string text;
        for (const std::string& statement : std::exchange(m_deferred, {})) text += statement + ' ';
        return text;
    }

    void ForgetPreparedWhenMany() {
        if (m_prepared.size() >= kMaxPrepared && !InTransaction()) {
            Execute("DEALLOCATE ALL;");
            m_prepared.clear();
        }
    }

    // Sends the deferred statements, the preparation of sql for parameters' types unless the
    // statement for key is known, and its run as one pipeline, and gives the run's result.
    // A statement that fails aborts those after it (the server skips them to the pipeline's
    // end); its error is thrown as Run would throw it.
    Result RunInPipeline(const std::string& sql, const Parameters& parameters, std::string key) {
        const auto known = m_prepared.find(key);
        const bool prepare = known == m_prepared.end();
        const std::string name = prepare ? "tamsel_" + std::to_string(m_nextName++) : known->second;
        const std::vector<std::string> deferred = std::exchange(m_deferred, {});
        const int count = static_cast<int>(parameters.types.size());
        bool sent = PQenterPipelineMode(m_conn) == 1;
        for (const std::string& statement : deferred) {
            sent = sent && PQsendQueryParams(m_conn, statement.c_str(), 0, nullptr, nullptr,
                                             nullptr, nullptr, 0) == 1;
        }
        sent = sent && (!prepare || PQsendPrepare(m_conn, name.c_str(), sql.c_str(), count,
                                                  parameters.types.data()) == 1);
        sent = sent &&
               PQsendQueryPrepared(m_conn, name.c_str(), count, parameters.pointers.data(),
                                   parameters.lengths.data(), parameters.formats.data(), 0) == 1;
        sent = sent && PQpipelineSync(m_conn) == 1;
        // Each query's result, each followed by a null; then the sync's.
        const std::size_t queries = deferred.size() + (prepare ? 2 : 1);
        std::vector<Result> results;
        while (sent && results.size() < queries) {
            Result result(PQgetResult(m_conn));
            if (!result) break;
            while (Result end{PQgetResult(m_conn)}) {
            }
            results.push_back(std::move(result));
        }
        const bool synced =
            results.size() == queries &&
            PQresultStatus(Result(PQgetResult(m_conn)).get()) == PGRES_PIPELINE_SYNC;
        if (PQexitPipelineMode(m_conn) != 1 || !synced) {
            // Whatever came back first tells why; a connection that broke says so.
            for (Result& result : results)
                Check(std::move(result), "the server refused the statement");
            Check(Result(nullptr), "cannot send the statement");
        }
        for (std::size_t k = 0; k + 1 < queries; ++k) {
            if (prepare && k + 2 == queries) {
                Check(std::move(results[k]), "cannot prepare a statement");
                m_prepared.emplace(std::move(key), name);
            } else {
                Check(std::move(results[k]), "the server refused the statement");
            }
        }
        return Check(std::move(results.back()), "the database refused the statement");
    }

    const std::string& PreparedName(const std::string& sql, const Parameters& parameters) {
        std::string key = parameters.Key(sql);
        if (auto known = m_prepared.find(key); known != m_prepared.end()) return known->second;
        ForgetPreparedWhenMany();
        std::string name = "tamsel_" + std::to_string(m_nextName++);
        Check(Result(PQprepare(m_conn, name.c_str(), sql.c_str(),
                               static_cast<int>(parameters.types.size()), parameters.types.data())),
              "cannot prepare a statement");
        return m_prepared.emplace(std::move(key), std::move(name)).first->second;
    }

    // result when the server did what was asked; otherwise throws its error.
    Result Check(Result result, const char* what) const {
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ||
            status == PGRES_EMPTY_QUERY) {
            return result;
        }
        const char* state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        DatabaseError::Fault fault = FaultOf(state ? state : "");
        if (PQstatus(m_conn) == CONNECTION_BAD) fault = DatabaseError::Fault::Lost;
        if (fault == DatabaseError::Fault::Lost) throw DatabaseError(kConnectionLost, fault);
        const std::string message =
            Trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(m_conn));
        throw DatabaseError(std::string(what) + ": " + message, fault, true);
    }

    PGconn* m_conn = nullptr;
    bool m_readOnly = false;
    // Why the role may not change the project, when it may not.
    std::optional<std::string> m_roleRefusal;
    std::int64_t m_lockKey = 0;
    // Statement names by parameter types and SQL: the store runs the same few statements.
    std::unordered_map<std::string, std::string> m_prepared;
    unsigned m_nextName = 0;
    // Statements that wait to be sent with the next (Defer).
    std::vector<std::string> m_deferred;
};

// Rows sent to the server as a binary COPY in pieces of kSendBytes; the COPY starts with the
// first row, so a sink that gets none sends nothing.
class ServerRowSink final : public RowSink {
  public:
    ServerRowSink(ServerConnection& connection, std::string_view table,
                  const std::vector<std::string>& columns)
        : m_connection(connection), m_table(table), m_columns(columns) {}
    ~ServerRowSink() override {
        if (!m_open) return;
        try {
            m_connection.EndCopy("abandoned");
        } catch (const DatabaseError&) {
            // The connection is gone, and its unit with it.
        }
    }
    ServerRowSink(const ServerRowSink&) = delete;
    ServerRowSink& operator=(const ServerRowSink&) = delete;

    void Add(std::span<const DbValue> row) override {
        if (!m_open) {
            m_types = m_connection.StartCopy(m_table, m_columns);
            m_open = true;
            constexpr std::string_view kSignature("PGCOPY\n\xff\r\n\0", 11);
            m_buffer = kSignature;
            AppendBigEndian(m_buffer, 0, 4);  // flags
            AppendBigEndian(m_buffer, 0, 4);  // header extension length
        }
        AppendBigEndian(m_buffer, row.size(), 2);
        for (std::size_t k = 0; k < row.size(); ++k) {
            AppendField(m_buffer, row[k], m_types[k], m_columns[k]);
        }
        if (m_buffer.size() >= kSendBytes) Send();
    }

    void Finish() override {
        if (!m_open) return;
        AppendBigEndian(m_buffer, 0xffff, 2);  // the trailer: a row of -1 fields
        Send();
        m_open = false;
        m_connection.EndCopy(nullptr);
    }

  private:
    static constexpr std::size_t kSendBytes = 1 << 16;

    void Send() {
        m_connection.SendCopy(m_buffer);
        m_buffer.clear();
    }

    ServerConnection& m_connection;
    std::string m_table;
    std::vector<std::string> m_columns;
    std::vector<Oid> m_types;
    std::string m_buffer;
    bool m_open = false;
};

std::unique_ptr<RowSink> ServerConnection::OpenRowSink(std::string_view table,
                                                       const std::vector<std::string>& columns) {
    return std::make_unique<ServerRowSink>(*this, table, columns);
}

bool ServerCursor::Step() {
    if (!m_result || PQresultStatus(m_result.get()) != PGRES_TUPLES_OK ||
        m_row >= PQntuples(m_result.get())) {
        // The first run, or again after the last row, as a file's statement runs again.
        m_result = m_connection.Run(m_sql, m_values);
        m_row = -1;
    }
    ++m_row;
    return m_row < PQntuples(m_result.get());
}

int ServerCursor::ColumnCount() const {
    if (!m_result) m_result = m_connection.Describe(m_sql, m_values);
    return PQnfields(m_result.get());
}

}  // namespace

std::unique_ptr<Connection> OpenServer(const std::string& uri, Database::OpenMode mode,
                                       std::string& schema) {
    return std::make_unique<ServerConnection>(uri, mode, schema);
}

}  // namespace tamsel::engine
