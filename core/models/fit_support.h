// What every model's fit shares: the homogeneous process that several models reach in a
// limit, the choice between an interior maximum and a limit's supremum, the time scale each
// window is fitted in, and how a search's termination reads as a fit's outcome.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"
#include "tamsel/records/termination.h"

namespace tamsel {

// The maximised log-likelihood of i failures of a homogeneous Poisson process observed up
// to T, the supremum of every model's homogeneous limit: i ln(i / T) - i.
inline double HppLogLhd(std::int32_t i, double time) { return i * std::log(i / time) - i; }

// The time unit each window is fitted in: its mean interfailure time T / i, so that starts,
// boxes and tolerances are the same for data in any unit.
inline double WindowScale(std::int32_t i, double time) { return time > 0.0 ? time / i : 1.0; }

// A limit's supremum replaces an interior candidate that is not above it by more than
// rounding: the search then only crept along a ridge towards the limit.
inline bool LimitWins(double limitLogLhd, double interiorLogLhd) {
    return limitLogLhd >= interiorLogLhd - 1e-12 * std::fmax(1.0, std::fabs(interiorLogLhd));
}

// The outcome of a search that ended with end after evaluations evaluations.
inline FitTermination SearchEnd(Termination end, std::int32_t evaluations) {
    const bool budget =
        end == Termination::IterationBudget || end == Termination::BudgetBeforeBracket;
    return {budget ? FitOutcome::Iterations : FitOutcome::Converged, {}, evaluations};
}

inline FitTermination LimitEnd(std::string_view which, std::int32_t evaluations) {
    return {FitOutcome::Limit, which, evaluations};
}

// result as the record of a limit whose own fit ended as limitEnd: a limit of the limit
// keeps its name (the homogeneous process), any other outcome is named which.
inline IndexResult AsLimit(IndexResult result, std::string_view which, std::int32_t evaluations) {
    // A limit whose likelihood is unbounded leaves the model's unbounded too.
    if (result.termination.outcome == FitOutcome::Singular) {
        result.termination.evaluations += evaluations;
        return result;
    }
    const bool nested = result.termination.outcome == FitOutcome::Limit;
    result.termination = LimitEnd(nested ? result.termination.which : which,
                                  evaluations + result.termination.evaluations);
    return result;
}

}  // namespace tamsel
