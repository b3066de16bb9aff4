#include "batch_insert.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "store_helpers.h"
#include "tamsel/store/schema.h"

namespace tamsel {
namespace {

bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The stored query with its VALUES list repeated rows times, each ":Name" of row k turned
// into the numbered parameter ?(k * columns + the name's position in single). One numbered
// one above the highest so far is written as a plain ?, which SQLite numbers so itself: its
// parse of numbered parameters grows with the square of their count.
std::string BatchSql(std::string_view sql, const Statement& single, int columns, int rows) {
    constexpr std::string_view kValues = "VALUES ";
    const std::size_t start = sql.find(kValues);
    const std::size_t end = sql.rfind(')');
    if (start == std::string_view::npos || end == std::string_view::npos || end < start) {
        throw DatabaseError("the stored query has no VALUES list");
    }
    const std::string_view list =
        sql.substr(start + kValues.size(), end + 1 - start - kValues.size());
    std::string text(sql.substr(0, start + kValues.size()));
    int highest = 0;
    for (int row = 0; row < rows; ++row) {
        if (row > 0) text += ", ";
        for (std::size_t k = 0; k < list.size(); ++k) {
            if (list[k] != ':') {
                text += list[k];
                continue;
            }
            std::size_t stop = k + 1;
            while (stop < list.size() && IsNameCharacter(list[stop])) ++stop;
            const int position = single.ParameterIndex(list.substr(k + 1, stop - k - 1));
            const int number = row * columns + position;
            text += number == highest + 1 ? std::string("?") : '?' + std::to_string(number);
            highest = std::max(highest, number);
            k = stop - 1;
        }
    }
    return text + ";";
}

}  // namespace

BatchInsert::BatchInsert(Database& db, std::string_view queryName)
    : m_db(db),
      m_sql(StoredQuerySql(queryName)),
      m_single(PrepareStoredQuery(db, queryName)),
      m_batch(db.Prepare(BatchSql(m_sql, m_single, m_single.ParameterCount(), kRowsPerStatement))),
      m_columns(m_single.ParameterCount()),
      m_pending(static_cast<std::size_t>(m_columns) * kRowsPerStatement) {}

int BatchInsert::Column(std::string_view name) const { return m_single.ParameterIndex(name) - 1; }

void BatchInsert::Set(int column, const DbValue& value) {
    m_pending[static_cast<std::size_t>(m_rows * m_columns + column)] = value;
}

void BatchInsert::EndRow() {
    ++m_rows;
    if (m_rows == kRowsPerStatement) Insert(m_batch);
}

void BatchInsert::Finish() {
    // The last rows, fewer than a batch, go in one statement of their own: on a server each
    // statement costs a round trip.
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
    m_rows = 0;
    std::fill(m_pending.begin(), m_pending.end(), DbValue{});
}

}  // namespace tamsel
