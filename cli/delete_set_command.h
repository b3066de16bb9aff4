// The delete-set command: one estimates set (with its recalibrated sets) or one recalibrated
// predictions set, after asking.
#pragma once

#include "data_commands.h"

namespace tamsel::cli {

// Adds delete-set to app; when it runs it leaves its exit code in context.
void AddDeleteSetCommand(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
