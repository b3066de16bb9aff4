// Moving a whole project between locations: a file and a server schema, either way. The
// routines show nothing; they throw DatabaseError and leave the messages to the workbench.
#pragma once

#include <string>

#include "tamsel/store/database.h"

namespace tamsel {

// Copies every row of every table of source (an open project) to a new project at target,
// every key kept, and moves each key counter past the copied keys, so that rows added later
// get new keys. What was at target is replaced. All or nothing: a file is built beside target
// and put in place when complete; a server schema has its tables replaced and filled in one
// transaction. Throws DatabaseError.
void CopyProjectRows(Database& source, const std::string& target);

}  // namespace tamsel
