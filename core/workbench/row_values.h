// Reading numbers from the rows of a selection: a Null or text where a number belongs throws
// BadRow, which the reader turns into its own message.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "tamsel/store/queries.h"

namespace tamsel {

struct BadRow : std::runtime_error {
    BadRow() : std::runtime_error("a value that is not a number") {}
};

double Number(const DbValue& value);
// A whole number that fits an int.
int Index(const DbValue& value);
// The position of the column headed name.
std::size_t Column(const RowSet& rows, const std::string& name);

}  // namespace tamsel
