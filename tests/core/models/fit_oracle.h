// An independent global search of each model's likelihood: the full log-likelihood written
// from the model's definition, its closed-form parameter profiled out, a grid on a log scale
// over the rest, Nelder-Mead from the best grid points, and the suprema of the model's limits
// found the same way. It shares no code with the models' fits.
#pragma once

#include <cstdint>
#include <string_view>

#include "model_test_support.h"

namespace tamsel::test {

// The highest log-likelihood of failures 1..i of series under the model with this code
// ("JM", "Du", "MO", "GO", "Li", "LNHPP", "LV", "KL") that the search finds, limits included.
double OracleSupremum(std::string_view code, const Series& series, std::int32_t i);

// Whether the likelihood of the model at window 1..i is unbounded: LV and KL with a zero
// interfailure time at either end of the window, or inside it where the climb towards the
// singularity passes the supremum within the searches' floor, Duane with all failures at
// one time, and Duane, MO, Li and LNHPP with a first failure at time 0.
bool OracleSingular(std::string_view code, const Series& series, std::int32_t i);

}  // namespace tamsel::test
