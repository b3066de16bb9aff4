// Helpers shared by the store's sources.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "tamsel/store/database.h"
#include "tamsel/support/messages.h"

namespace tamsel {

// The value of a Long field. Spelled out because an int converts to the engine's integer
// and real alternatives alike.
inline DbValue Long(std::int64_t value) { return value; }

// A selection that has no row where the caller needs one.
inline DatabaseError NoRow() { return DatabaseError("no matching row"); }

// Runs body; when the engine (or a name check) fails, shows message (or the lock, read-only or
// damaged-file message where that is the cause) and returns the empty result of body's type.
template <typename Body>
auto ShowOnFailure(const std::string& message, Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const DatabaseError& error) {
        ShowMessage(FailureText(error, message));
        return {};
    }
}

// The value of column as a 32-bit integer; Null, text and out-of-range values are refused.
inline int IntColumn(const Statement& select, int column) {
    DbValue value = select.Column(column);
    const auto* i = std::get_if<std::int64_t>(&value);
    if (!i || *i < std::numeric_limits<int>::min() || *i > std::numeric_limits<int>::max()) {
        throw DatabaseError("not a 32-bit integer");
    }
    return static_cast<int>(*i);
}

// The value of column as a finite number; Null, text (which the engine would read as 0) and
// infinities are refused.
inline double DoubleColumn(const Statement& select, int column) {
    const DbValue value = select.Column(column);
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
    const auto* d = std::get_if<double>(&value);
    if (!d || !std::isfinite(*d)) throw DatabaseError("not a finite number");
    return *d;
}

// The text of the stored insert statement called name. Throws DatabaseError for an unknown
// name.
std::string_view StoredQuerySql(std::string_view name);

// The stored insert statement called name, handing back the new row's key: read it with
// NewKey. Throws DatabaseError.
Statement PrepareStoredInsertReturningKey(Database& db, std::string_view name);

// Runs insert, a statement that hands back one key, and returns that key. Throws
// DatabaseError.
std::int64_t NewKey(Statement& insert);

// field of the first row of table where criteriaField = value, as text: "" for Null,
// integers in plain decimal, doubles in their shortest exact form. No row, or a failure:
// "An error occurred while reading the database." and nullopt.
std::optional<std::string> SelectValue(Database& db, const std::string& field,
                                       const std::string& criteriaField, const DbValue& value,
                                       const std::string& table);

// The key of the dataset named exactly dataName, 0 when there is none. Throws DatabaseError.
int DataSetKey(Database& db, const std::string& dataName);

}  // namespace tamsel
