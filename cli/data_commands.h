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

// The key of the dataset named name (blanks around it dropped), or 0 after a message.
int DataSetIdOf(Database& db, const std::string& name);

// Drops the row key and the set key, the first two columns of a SelectRecords result.
void DropKeyColumns(RowSet& rows);

// Adds the commands to app; the one that runs leaves its exit code in context.
void AddDataCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
