// Moving a whole project between locations: a file and a server schema, either way. The
// routines show nothing; they throw DatabaseError and leave the messages to the workbench.
#pragma once

#include <string>

#include "tamsel/store/database.h"

namespace tamsel {

// Whether something a new project would replace is at location: a file (of any kind) exists
// there, or the server schema holds tables. Throws DatabaseError when the server cannot be
// reached.
bool ProjectLocationTaken(const std::string& location);

// Removes the project's tables (the defined ones and Tamsel's own) from a server schema, in
// one transaction, so that a project can be made there again. A file location is left alone:
// making a file replaces it whole. Throws DatabaseError.
void ClearServerProject(const std::string& location);

// Copies every row of every table of source (an open project) to a new project at target,
// every key kept, and moves each key counter past the copied keys, so that rows added later
// get new keys. target must not be taken (see ProjectLocationTaken; ClearServerProject frees
// a server schema). All or nothing: a file is built beside target and put in place when
// complete; on a server the rows go in one transaction, and the tables made for them are
// removed again when it fails. Throws DatabaseError.
void CopyProjectRows(Database& source, const std::string& target);

}  // namespace tamsel
