#include "value_checks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "tamsel/support/utf8.h"

namespace tamsel {
namespace {

// How the value of column reads in a message.
std::string Shown(const Statement& select, int column) {
    const DbValue value = select.Column(column);
    if (IsNull(value)) return "empty";
    if (const auto* text = std::get_if<std::string>(&value)) {
        return "the text \"" + text->substr(0, 40) + (text->size() > 40 ? "...\"" : "\"");
    }
    if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    const double d = std::get<double>(value);
    if (!std::isfinite(d)) return d > 0 ? "infinite" : "minus infinite";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, d).ptr);
}

}  // namespace

DatabaseError BadValue(const std::string& where, const std::string& problem) {
    return DatabaseError(where + ": " + problem + ". The file may be damaged or edited; " +
                             "\"tamsel-cli check\" lists every such value.",
                         DatabaseError::Fault::BadValue);
}

std::optional<std::string> NotUtf8Problem(const std::string& field, std::string_view text) {
    const std::optional<std::size_t> stray = FirstNonUtf8Byte(text);
    if (!stray) return std::nullopt;
    return field + " is not UTF-8 text: " + StrayByteText(text, *stray) +
           ". A server refuses such text, and the windows show it as \uFFFD";
}

std::string RowOf(const std::string& table, const std::string& row) {
    return "Table " + table + ", " + row;
}

double NumberAt(const Statement& select, int column, const std::string& where,
                const std::string& field) {
    const DbValue value = select.Column(column);
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
    const auto* d = std::get_if<double>(&value);
    if (!d || !std::isfinite(*d)) {
        throw BadValue(where, field + " is " + Shown(select, column) + ", not a finite number");
    }
    return *d;
}

double TimeAt(const Statement& select, int column, const std::string& where,
              const std::string& field) {
    const double time = NumberAt(select, column, where, field);
    if (time < 0) throw BadValue(where, field + " is " + Shown(select, column) + ", below 0");
    return time;
}

int WholeAt(const Statement& select, int column, const std::string& where, const std::string& field,
            int minimum) {
    const DbValue value = select.Column(column);
    const auto* i = std::get_if<std::int64_t>(&value);
    if (!i || *i < minimum || *i > std::numeric_limits<int>::max()) {
        throw BadValue(where, field + " is " + Shown(select, column) +
                                  ", not a whole number from " + std::to_string(minimum) + " to " +
                                  std::to_string(std::numeric_limits<int>::max()));
    }
    return static_cast<int>(*i);
}

FailureTimesCheck::Times FailureTimesCheck::Next(const Statement& row) {
    const std::int64_t dataSetId = row.ColumnInt(0);
    if (dataSetId != m_dataSetId) {
        m_dataSetId = dataSetId;
        m_index = 0;
        m_cumulative = 0.0;
    }
    const std::string dataSet = "data set " + std::to_string(dataSetId);
    const int index = WholeAt(row, 1, RowOf("FailureTimes", dataSet), "FailureIndex", 1);
    const std::string where = RowOf("FailureTimes", dataSet + ", failure " + std::to_string(index));
    // The next row is checked against this one whatever is wrong with this one, so that one
    // bad row is reported once.
    const int expected = m_index + 1;
    m_index = std::max(m_index, index);
    if (index != expected) {
        throw BadValue(where, index < expected
                                  ? "the failure is stored twice"
                                  : "failure " + std::to_string(expected) + " is missing");
    }
    Times times{TimeAt(row, 2, where, "InterfailureTime"), TimeAt(row, 3, where, "CumulativeTime")};
    if (times.cumulative < m_cumulative) {
        throw BadValue(where, "CumulativeTime is below that of the failure before");
    }
    m_cumulative = times.cumulative;
    return times;
}

int CheckDataNumber(const Statement& row, int key, int number, int count) {
    const std::string where = RowOf("DataSets", "data set " + row.ColumnText(key));
    const int dataNumber = WholeAt(row, number, where, "DataNumber");
    if (dataNumber != row.ColumnInt(count)) {
        throw BadValue(where, "DataNumber is " + std::to_string(dataNumber) + " but " +
                                  std::to_string(row.ColumnInt(count)) +
                                  " failure times are stored");
    }
    return dataNumber;
}

void CheckSetReferences(const Statement& row) {
    const std::string where = RowOf("EstimatesSets", "set " + row.ColumnText(0));
    if (row.ColumnIsNull(2)) {
        throw BadValue(where, "its model " + row.ColumnText(1) + " is missing from Models");
    }
    if (row.ColumnIsNull(4)) {
        throw BadValue(where, "its range " + row.ColumnText(3) + " is missing from Ranges");
    }
}

}  // namespace tamsel
