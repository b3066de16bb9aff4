// The whole-file check of `tamsel-cli check`: the engine's own checks of every page and
// relation, and the checks of every value the program reads.
#pragma once

#include <string>
#include <vector>

#include "tamsel/store/database.h"

namespace tamsel {

// Every problem found in db, one sentence each naming where it is; empty when there is none.
// Reads the whole file. Throws DatabaseError when the engine cannot read on (a lock).
std::vector<std::string> FindProblems(Database& db);

}  // namespace tamsel
