// The commands that judge and use a dataset's predictions: evaluate, trend and next.
#pragma once

#include <functional>
#include <string>

#include "data_commands.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel::cli {

// Adds an option (a positional one when name has no leading dash) that names a set as SETID
// or pPSETID and hands it to store; any other text is bad usage.
CLI::Option* AddSetRefOption(CLI::App& command, const std::string& name,
                             std::function<void(PredictionSetRef)> store,
                             const std::string& description);

// Adds evaluate, trend and next to app; the one that runs leaves its exit code in context.
void AddEvaluationCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
