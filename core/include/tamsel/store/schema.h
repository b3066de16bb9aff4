// The project: its tables, relations and reference rows, the insert statements every writer
// goes through, and the check that tells a project from any other file or schema. A project
// lives in a file or in a schema on a server (see IsServerLocation).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "tamsel/store/database.h"

namespace tamsel {

// Makes an empty project file at fileName: the fourteen tables with their fields, indexes
// and cascading relations, and Tamsel's own tables, with no rows. An existing file there (and any
// journal of it) is removed first. All or nothing: on failure the new file is removed again and the
// engine's DatabaseError is rethrown. The file is closed on return.
void CreateNewDatabase(const std::string& fileName);

// Stores the reference rows (data types, range types, inference method names, minimisation
// parameters, models, the default range, inference methods, recalibration methods) with
// their fixed keys in the file made by CreateNewDatabase, in one transaction. Throws
// DatabaseError, leaving the file as it was, when any row is refused or gets another key.
void CreateQueriesAndReferenceRows(const std::string& fileName);
// The same in db, in the caller's unit. Throws DatabaseError.
void StoreReferenceRows(Database& db);

// The New Database command: a complete project at location, replacing what is there. A file
// is built beside the old one and put in place only when complete; on a server the schema
// (made when missing) has its tables replaced in one transaction. Either way a failure leaves
// what was there untouched. On failure shows "An error occurred in creating a new database"
// and returns false.
bool CreateTamselDatabase(const std::string& location);

// Whether CreateTamselDatabase(location) would replace something: a file at the path, or
// tables in the server's schema. False when that cannot be told (creating then says why).
bool LocationHoldsData(const std::string& location);

// Reference-row writers, one per table. Each stores all of its rows or none and returns
// false when a row is refused or is not given its fixed key. They show nothing.
bool InsertDefaultDataTypes(Database& db);
bool InsertDefaultRangeTypes(Database& db);
bool InsertDefaultInferenceMethodNames(Database& db);
bool InsertDefaultMinimisationParameters(Database& db);
bool InsertDefaultModels(Database& db);
bool InsertDefaultRanges(Database& db);
bool InsertDefaultInferenceMethods(Database& db);
bool InsertDefaultRecalibrationMethods(Database& db);

// One of the fourteen insert statements, kept by the program under its name. Parameters
// are named (":DName") and matched without regard to case; one left unbound stores Null.
struct StoredQuery {
    std::string_view name;
    std::string_view sql;
};

// The fourteen insert statements in their fixed order.
std::span<const StoredQuery> StoredQueries();

// Prepares the insert statement called name. Throws DatabaseError for an unknown name.
Statement PrepareStoredQuery(Database& db, std::string_view name);

// True when db holds the fourteen tables with their fields in order (names compared without
// regard to case). Reads only. Throws DatabaseError when a lock or an unwritable folder keeps
// it from reading the schema.
bool IsTamselDatabase(Database& db);

// Opens an existing project for work. Anything else (a missing, empty, damaged or foreign
// file) is refused with "An error occurred in selecting a database" and nullptr; the refused
// file is not written to. On a server that line is followed by the reason: the server or
// schema cannot be reached, the schema holds no project, or its tables are another program's.
std::unique_ptr<Database> OpenTamselDatabase(const std::string& fileName);

}  // namespace tamsel
