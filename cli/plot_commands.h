// The plot command: draws a chart of the Plot menu's kinds headless into an image file.
#pragma once

#include "data_commands.h"

namespace tamsel::cli {

// Adds plot to app; when it runs it leaves its exit code in context.
void AddPlotCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
