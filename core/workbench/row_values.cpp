#include "row_values.h"

#include <algorithm>
#include <cstdint>
#include <variant>

namespace tamsel {

double Number(const DbValue& value) {
    if (const auto* d = std::get_if<double>(&value)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
    throw BadRow();
}

int Index(const DbValue& value) {
    const auto* i = std::get_if<std::int64_t>(&value);
    if (!i || *i < INT32_MIN || *i > INT32_MAX) throw BadRow();
    return static_cast<int>(*i);
}

std::size_t Column(const RowSet& rows, const std::string& name) {
    auto found = std::find(rows.headings.begin(), rows.headings.end(), name);
    if (found == rows.headings.end()) throw BadRow();
    return static_cast<std::size_t>(found - rows.headings.begin());
}

}  // namespace tamsel
