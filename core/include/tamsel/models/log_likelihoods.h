// Each model's full log-likelihood of failures 1..n in its own parameters, constants
// included, as docs/numerics.md lists them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "tamsel/records/records.h"

namespace tamsel {

using ModelParameters = std::array<double, 3>;  // Param1, Param2, Param3
using LogLikelihood = std::function<double(const ModelParameters&)>;

// ln L of the model coded code (JM, Du, MO, GO, Li, LNHPP, LV, KL) at failure n, from the
// interfailure times x and cumulative times t (failure-indexed, element 0 unused, at least n
// failures; the result refers to them, so they must outlive it). Outside the parameters'
// domain it is -infinity or not a number. Nothing for any other code.
std::optional<LogLikelihood> FullLogLikelihood(std::string_view code, const FailureSeries& x,
                                               const FailureSeries& t, std::int32_t n);

}  // namespace tamsel
