#include "batch_insert.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <string>
#include <utility>

#include "engine.h"

namespace tamsel {
namespace {

bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The parenthesised list of sql that starts at or after from, parentheses included.
std::string_view ListAt(std::string_view sql, std::size_t from) {
    const std::size_t start = sql.find('(', from);
    const std::size_t end = sql.find(')', start);
    if (start == std::string_view::npos || end == std::string_view::npos) {
        throw DatabaseError("the insert statement has no column or VALUES list");
    }
    return sql.substr(start, end + 1 - start);
}

std::string_view ValuesList(std::string_view sql) {
    const std::size_t values = sql.find("VALUES");
    if (values == std::string_view::npos) throw DatabaseError("the insert has no VALUES list");
    return ListAt(sql, values);
}

// The items of a parenthesised list.
std::vector<std::string_view> Items(std::string_view list) {
    std::vector<std::string_view> items;
    list = list.substr(1, list.size() - 2);
    for (std::size_t comma; (comma = list.find(',')) != std::string_view::npos;) {
        items.push_back(Trimmed(list.substr(0, comma)));
        list.remove_prefix(comma + 1);
    }
    items.push_back(Trimmed(list));
    return items;
}

// The insert's table, and for each parameter of single in its order the column it fills.
std::pair<std::string, std::vector<std::string>> Target(std::string_view sql,
                                                        const Statement& single) {
    constexpr std::string_view kInto = "INSERT INTO ";
    if (sql.substr(0, kInto.size()) != kInto) throw DatabaseError("not an insert statement");
    const std::size_t tableEnd = sql.find_first_of(" (", kInto.size());
    std::string table(sql.substr(kInto.size(), tableEnd - kInto.size()));
    const std::vector<std::string_view> columns = Items(ListAt(sql, tableEnd));
    const std::vector<std::string_view> values = Items(ValuesList(sql));
    std::vector<std::string> byParameter(static_cast<std::size_t>(single.ParameterCount()));
    if (columns.size() != values.size() || values.size() != byParameter.size()) {
        throw DatabaseError("the insert needs one parameter for each column");
    }
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::string_view name = values[k].substr(values[k].empty() ? 0 : 1);
        if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameCharacter)) {
            throw DatabaseError("the insert's VALUES list holds more than named parameters");
        }
        byParameter[static_cast<std::size_t>(single.ParameterIndex(name) - 1)] = columns[k];
    }
    return {std::move(table), std::move(byParameter)};
}

// The insert with its VALUES list repeated rows times, each ":Name" of row k turned into the
// numbered parameter ?(k * columns + the name's position in single). One numbered one above
// the highest so far is written as a plain ?, which SQLite numbers so itself: its parse of
// numbered parameters grows with the square of their count.
std::string BatchSql(std::string_view sql, const Statement& single, int columns, int rows) {
    const std::string_view list = ValuesList(sql);
    const std::size_t start = static_cast<std::size_t>(list.data() - sql.data());
    // The list as the text before each name and the name's position, looked up once.
    std::vector<std::pair<std::string_view, int>> pieces;
    std::size_t from = 0;
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (list[k] != ':') continue;
        std::size_t stop = k + 1;
        while (stop < list.size() && IsNameCharacter(list[stop])) ++stop;
        pieces.emplace_back(list.substr(from, k - from),
                            single.ParameterIndex(list.substr(k + 1, stop - k - 1)));
        from = stop;
        k = stop - 1;
    }
    const std::string_view end = list.substr(from);
    std::string text(sql.substr(0, start));
    text.reserve(text.size() + static_cast<std::size_t>(rows) * (list.size() + 2));
    int highest = 0;
    for (int row = 0; row < rows; ++row) {
        if (row > 0) text += ", ";
        for (const auto& [before, position] : pieces) {
            text += before;
            const int number = row * columns + position;
            text += number == highest + 1 ? std::string("?") : '?' + std::to_string(number);
            highest = std::max(highest, number);
        }
        text += end;
    }
    return text + ";";
}

}  // namespace

BatchInsert::BatchInsert(Database& db, std::string_view sql)
    : m_db(db), m_sql(sql), m_single(db.Prepare(sql)), m_columns(m_single.ParameterCount()) {
    const auto [table, columns] = Target(m_sql, m_single);
    m_sink = m_db.m_connection->OpenRowSink(table, columns);
    if (!m_sink)
        m_batch.emplace(m_db.Prepare(BatchSql(m_sql, m_single, m_columns, kRowsPerStatement)));
    m_pending.resize(static_cast<std::size_t>(m_columns) * (m_sink ? 1 : kRowsPerStatement));
}

BatchInsert::~BatchInsert() = default;

int BatchInsert::Column(std::string_view name) const { return m_single.ParameterIndex(name) - 1; }

void BatchInsert::Set(int column, const DbValue& value) {
    m_pending[static_cast<std::size_t>(m_rows * m_columns + column)] = value;
}

void BatchInsert::EndRow() {
    ++m_rows;
    if (m_sink) {
        m_sink->Add(m_pending);
        Clear();
    } else if (m_rows == kRowsPerStatement) {
        Insert(*m_batch);
    }
}

void BatchInsert::Finish() {
    if (m_sink) {
        m_sink->Finish();
        return;
    }
    // The last rows, fewer than a batch, go in one statement of their own.
    if (m_rows == 0) return;
    Statement tail = m_db.Prepare(BatchSql(m_sql, m_single, m_columns, m_rows));
    Insert(tail);
}

void BatchInsert::Insert(Statement& insert) {
    const std::size_t values = static_cast<std::size_t>(m_rows * m_columns);
    for (std::size_t k = 0; k < values; ++k) insert.Bind(static_cast<int>(k) + 1, m_pending[k]);
    insert.Run();
    Clear();
}

void BatchInsert::Clear() {
    std::fill_n(m_pending.begin(), m_rows * m_columns, DbValue{});
    m_rows = 0;
}

}  // namespace tamsel
