// The commands on project files and datasets: new, import, datasets, delete, failures, demo.
#pragma once

#include <string>

#include "cli_common.h"

namespace tamsel::cli {

// What the commands share while one command line runs.
struct CommandContext {
    CliMessageSink& sink;
    int exitCode = kExitSuccess;
};

// Adds the commands to app; the one that runs leaves its exit code in context.
void AddDataCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
