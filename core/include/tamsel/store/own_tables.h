// The tables Tamsel keeps beside the defined ones. Each cascades from a defined table, so
// deleting a dataset takes its rows along; the defined tables never change shape.
#pragma once

#include <string>

#include "tamsel/store/database.h"

namespace tamsel {

// Creates the own tables that db lacks, all in one transaction; a database made by an
// earlier version gains them when opened. Throws DatabaseError, leaving db as it was.
void EnsureOwnTables(Database& db);

// Stores how the cumulative times of a dataset read from date-times are measured: the origin
// (ISO 8601, UTC), the time zone of date-times written without one, and the unit. False,
// with nothing stored, when the row is refused.
bool InsertDataSetTimeBase(Database& db, int dataSetId, const std::string& origin,
                           const std::string& timeZone, const std::string& unit);

}  // namespace tamsel
