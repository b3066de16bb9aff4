// Making a project at a location the user names on the command line, a file or a server
// schema, and copying a whole project from one location to another. Each routine shows its
// own messages and returns false when refused or failed.
#pragma once

#include <string>

namespace tamsel {

// A new project at location. Where something is already there it is refused, unless replace
// is set, with "The file <location> already exists. Use --force to replace it." or "The schema
// of <location> already holds tables. Use --force to replace them."
bool NewProject(const std::string& location, bool replace);

// Copies the project at source, every table and key, to target (file to server, server to
// file, or file to file), refused as NewProject refuses and when both name the same project.
// All or nothing: a failed copy leaves no project at target.
bool CopyProject(const std::string& source, const std::string& target, bool replace);

}  // namespace tamsel
