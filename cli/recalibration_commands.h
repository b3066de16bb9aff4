// The commands on recalibration: recalibrate, predictions.
#pragma once

#include "data_commands.h"

namespace tamsel::cli {

// Adds recalibrate and predictions to app; the one that runs leaves its exit code in
// context.
void AddRecalibrationCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
