// The forecast command: what a raw or recalibrated set says at a failure index about the
// next failure, a mission and a reliability target.
#pragma once

#include "data_commands.h"
#include "tamsel/workbench/forecast.h"

namespace tamsel::cli {

// The options --mission, --target-intensity and --target-mttf (one target at most) into query.
void AddForecastQueryOptions(CLI::App& command, ForecastQuery& query);

// Adds forecast to app; when it runs it leaves its exit code in context.
void AddForecastCommand(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
