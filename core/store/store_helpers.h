// Helpers shared by the store's sources.
#pragma once

#include <cstdint>
#include <string>

#include "tamsel/store/database.h"

namespace tamsel {

// The value of a Long field. Spelled out because an int converts to the engine's integer
// and real alternatives alike.
inline DbValue Long(std::int64_t value) { return value; }

// The key of the dataset named exactly dataName, 0 when there is none. Throws DatabaseError.
int DataSetKey(Database& db, const std::string& dataName);

}  // namespace tamsel
