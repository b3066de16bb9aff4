#include "check_command.h"

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_common.h"

namespace tamsel::cli {

void AddCheckCommand(CLI::App& app, CommandContext& context) {
    auto db = std::make_shared<std::string>();
    CLI::App* check = app.add_subcommand(
        "check", "Check the whole project: pages, relations and every stored value");
    AddProjectOption(*check, *db);
    check->footer(
        "Prints one line for each problem found, and exits 1 when there is any. Opening a "
        "project file checks only its header, tables and reference rows; this reads it all.");
    check->callback([&context, db] {
        context.exitCode = WithProjectDatabase(*db, [&](Database& project) {
            const std::optional<std::vector<std::string>> problems = CheckProject(project);
            if (!problems) return kExitFailure;
            for (const std::string& problem : *problems) std::cout << problem << '\n';
            if (!problems->empty()) return kExitFailure;
            std::cout << "No problems found.\n";
            return kExitSuccess;
        });
    });
}

}  // namespace tamsel::cli
