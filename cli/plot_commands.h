// The plot command: draws a chart of the Plot menu's kinds headless into an image file.
#pragma once

#include <functional>

#include "data_commands.h"

namespace tamsel::cli {

inline constexpr const char* kPlotSummary = "Draw a plot of a dataset into an image file";

// Runs work inside a headless QApplication, which the chart widgets need; Qt's own notes
// stay off stderr, which carries the command's messages.
int WithChartApplication(const std::function<int()>& work);

// Adds plot to app; when it runs it leaves its exit code in context.
void AddPlotCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
