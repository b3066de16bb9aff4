#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <utility>

#include "check_command.h"
#include "cli_common.h"
#include "data_commands.h"
#include "delete_set_command.h"
#include "evaluation_commands.h"
#include "forecast_command.h"
#include "model_commands.h"
#include "plot_commands.h"
#include "recalibration_commands.h"
#include "report_command.h"
#include "tamsel/version.h"

namespace {

#ifdef TAMSEL_CLI_CHARTS
// Becomes the drawing commands' program, which lies beside this one, with the same arguments;
// returns only when it cannot be run.
int BecomeChartsProgram(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path program = self.parent_path() / TAMSEL_CLI_CHARTS;
    if (!error) execv(program.c_str(), argv);
    const int reason = error ? error.value() : errno;
    std::cerr << "tamsel-cli: the program that draws plots and reports, " << program.string()
              << ", cannot be run: " << std::strerror(reason)
              << ". Install it beside tamsel-cli.\n";
    return tamsel::cli::kExitFailure;
}

// plot and report, whose arguments, help included, are their program's to read.
void AddChartCommands(CLI::App& app, tamsel::cli::CommandContext& context, char** argv) {
    for (const auto& [name, summary] : {std::pair{"plot", tamsel::cli::kPlotSummary},
                                        std::pair{"report", tamsel::cli::kReportSummary}}) {
        CLI::App* command = app.add_subcommand(name, summary);
        command->prefix_command();
        command->set_help_flag();
        command->callback([&context, argv] { context.exitCode = BecomeChartsProgram(argv); });
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
    using namespace tamsel::cli;
    InstallInterruptHandler();
    CliMessageSink sink(std::cerr, std::cin, isatty(STDIN_FILENO) == 1);
    tamsel::ScopedMessageSink installed(&sink);

    CLI::App app{"Tamsel: software reliability growth modelling", "tamsel-cli"};
    app.set_version_flag("--version", std::string("Tamsel ") + TAMSEL_VERSION);
    app.require_subcommand(1);
    app.footer(
        "DB names a project file, or a project on a PostgreSQL server by its URI: "
        "postgresql://USER@HOST/DATABASE?schema=NAME.\n"
        "Exit status: 0 on success, 1 when an operation is refused or fails (the reason "
        "on stderr), 2 on bad usage.");
    CommandContext context{sink};
    AddDataCommands(app, context);
    AddModelCommands(app, context);
    AddEvaluationCommands(app, context);
    AddForecastCommand(app, context);
    AddDeleteSetCommand(app, context);
    AddCheckCommand(app, context);
    AddRecalibrationCommands(app, context);
#ifdef TAMSEL_CLI_PLOT
    AddPlotCommands(app, context);
    AddReportCommand(app, context);
#endif
#ifdef TAMSEL_CLI_CHARTS
    AddChartCommands(app, context, argv);
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitSuccess : kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "tamsel-cli: " << error.what() << '\n';
        return kExitFailure;
    }
    return context.exitCode;
}
