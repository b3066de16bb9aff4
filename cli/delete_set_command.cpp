#include "delete_set_command.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "evaluation_commands.h"
#include "tamsel/workbench/delete_set.h"

namespace tamsel::cli {
namespace {

struct DeleteSetOptions {
    std::string db;
    PredictionSetRef set;
    AnswerPolicy answer = AnswerPolicy::Ask;
};

}  // namespace

void AddDeleteSetCommand(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<DeleteSetOptions>();
    CLI::App* command = app.add_subcommand(
        "delete-set",
        "Delete an estimates set with its recalibrated sets, or one recalibrated set");
    AddProjectOption(*command, options->db);
    AddSetRefOption(
        *command, "SET", [options](PredictionSetRef set) { options->set = set; },
        "SETID, or pPSETID for a recalibrated set")
        ->required();
    AddAnswerOptions(*command, options->answer);
    command->footer(
        "Names what will be deleted and asks first; without a terminal to ask, only --yes "
        "deletes.");
    command->callback([&context, options] {
        context.sink.SetPolicy(options->answer);
        context.exitCode = WithProjectDatabase(options->db, [&](Database& db) {
            return DeleteSetAfterAsking(db, options->set) ? kExitSuccess : kExitFailure;
        });
    });
}

}  // namespace tamsel::cli
