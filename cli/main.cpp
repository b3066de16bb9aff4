#include <unistd.h>
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

#include "check_command.h"
#include "cli_common.h"
#include "data_commands.h"
#include "delete_set_command.h"
#include "evaluation_commands.h"
#include "forecast_command.h"
#include "model_commands.h"
#ifdef TAMSEL_CLI_PLOT
#include "plot_commands.h"
#endif
#include "recalibration_commands.h"
#ifdef TAMSEL_CLI_PLOT
#include "report_command.h"
#endif
#include "tamsel/version.h"

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
