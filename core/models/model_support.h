// Helpers shared by the model modules.
#pragma once

#include "tamsel/support/messages.h"

namespace tamsel {

// True when p is a probability level in [0, 1]. Otherwise shows the percentile message
// with the given icon; the percentile routine then returns 0.
bool PercentileLevelValid(double p, MessageIcon icon = MessageIcon::None);

// Makes sure that the objectives of the models are registered with the
// numeric library; every fit that minimises calls it first.
void RegisterModelObjectives();

}  // namespace tamsel
