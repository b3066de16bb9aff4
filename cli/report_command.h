// The report command: the evidence report of a dataset as one HTML or PDF file.
#pragma once

#include "data_commands.h"

namespace tamsel::cli {

inline constexpr const char* kReportSummary =
    "Write the evidence report of a dataset as HTML or PDF";

// Adds report to app; when it runs it leaves its exit code in context.
void AddReportCommand(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
