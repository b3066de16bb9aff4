// The check command: every problem in a project file.
#pragma once

#include "data_commands.h"

namespace tamsel::cli {

// Adds check to app; when it runs it leaves its exit code in context.
void AddCheckCommand(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
