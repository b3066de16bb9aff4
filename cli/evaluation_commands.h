// The commands that judge and use a dataset's predictions: evaluate and next.
#pragma once

#include "data_commands.h"

namespace tamsel::cli {

// Adds evaluate and next to app; the one that runs leaves its exit code in context.
void AddEvaluationCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
