#include "tamsel/workbench/project_copy.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "tamsel/store/copy.h"
#include "tamsel/store/schema.h"
#include "tamsel/support/messages.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

// Whether a new project may go to location; says why not when it may not.
bool MayReplace(const std::string& location, bool replace) {
    if (replace || !LocationHoldsData(location)) return true;
    ShowMessage(IsServerLocation(location)
                    ? "The schema of " + DisplayLocation(location) +
                          " already holds tables. Use --force to replace them."
                    : "The file " + location + " already exists. Use --force to replace it.");
    return false;
}

bool SameProject(const std::string& source, const std::string& target) {
    std::error_code error;
    if (!IsServerLocation(source) && !IsServerLocation(target)) {
        return std::filesystem::equivalent(source, target, error);
    }
    return DisplayLocation(source) == DisplayLocation(target);
}

}  // namespace

bool NewProject(const std::string& location, bool replace) {
    return MayReplace(location, replace) && CreateProject(location);
}

bool CopyProject(const std::string& source, const std::string& target, bool replace) {
    if (SameProject(source, target)) {
        ShowMessage("The project " + DisplayLocation(source) +
                    " cannot be copied onto itself. Name another target.");
        return false;
    }
    const std::unique_ptr<Database> from = OpenProject(source);
    if (!from) return false;
    try {
        if (!MayReplace(target, replace)) return false;
        CopyProjectRows(*from, target);
        return true;
    } catch (const DatabaseError& error) {
        ShowMessage(FailureText(error, "An error occurred while copying the project to " +
                                           DisplayLocation(target) + ": " + error.what() +
                                           ". Nothing was copied."));
        return false;
    }
}

}  // namespace tamsel
