// The commands on models and their results: apply, sets, estimates.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "data_commands.h"
#include "tamsel/workbench/append.h"
#include "tamsel/workbench/apply_model.h"

namespace tamsel::cli {

// Every model, in number order.
std::vector<const ModelInfo*> AllModels();

// Applies each model in turn to the dataset over rangeId with the reference inference
// method (kDefaultInferenceMethodId), with a progress bar on stderr when it is a terminal and
// Ctrl-C as cancel. A model already applied with these settings is refused with the model dialog's
// message and the others still run; a cancel stops the command. Stored sets are reported on stdout.
// Each model's indices are fitted on threads worker threads. kExitSuccess when every model was
// stored, else kExitFailure.
int ApplyModels(Database& db, int dataSetId, std::span<const ModelInfo* const> models, int rangeId,
                int threads = kHardwareThreads);

// Runs extend (append or apply --extend) with a progress bar per set on stderr when it is a
// terminal and Ctrl-C as cancel, and reports what was stored on stdout. kExitSuccess when it
// was stored, else kExitFailure.
int RunExtension(const std::function<ExtendResult(const RunControl&, const SetStarted&)>& extend);

// Adds apply, sets and estimates to app; the one that runs leaves its exit code in context.
void AddModelCommands(CLI::App& app, CommandContext& context);

}  // namespace tamsel::cli
