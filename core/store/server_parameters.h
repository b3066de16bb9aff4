// The store's SQL keeps SQLite's parameter spellings (?, ?NNN, :name, @name, $name); the
// server takes $1, $2, ... only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamsel::engine {

struct NumberedSql {
    std::string text;                // with $k for every parameter
    std::vector<std::string> names;  // of $k + 1 in lower case without its prefix; "" unnamed
};

// sql with its parameters numbered as SQLite numbers them: ? one above the highest so far,
// ?NNN as NNN, a name by its first appearance (matched without regard to case). Literals,
// quoted names, comments and "::" casts are left as they stand. Throws DatabaseError for a
// number out of range.
NumberedSql NumberParameters(std::string_view sql);

}  // namespace tamsel::engine
