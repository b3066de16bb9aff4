// How a minimiser ended, and how the fit at one failure index ended: a fit that ran out of
// iterations is not the same result as one that converged, and callers may want to say so.
#pragma once

#include <cstdint>

namespace tamsel {

// The ways Minimise1D and MinimiseND end. Each returns its best point in every case.
enum class Termination : std::uint8_t {
    // 1-D: the bracket holds the best point and reaches no further than 2 tol from it.
    // N-D: the squared gradient norm is below tolerance^2 at a point of positive curvature,
    // or, at a point the search cannot leave, the gradient projected on the box is.
    Converged,
    // 1-D: a trial value equalled the best value exactly once the minimum was bracketed; the
    // bracket is closed at the best point on the side away from that trial.
    TiedTrial,
    // 1-D: a trial value equalled the best value exactly before any bracket was found.
    TiedBeforeBracket,
    // The evaluation budget ran out (1-D: with the minimum bracketed).
    IterationBudget,
    // 1-D: the evaluation budget ran out before any bracket was found.
    BudgetBeforeBracket,
    // N-D: the gradient at the best point is not finite; there is no direction to follow.
    NonFiniteGradient,
    // N-D: nothing lower lies along the projected steepest descent although the projected
    // gradient is not small.
    NoLowerPoint,
};

// How the fit at one failure index was obtained.
enum class FitMethod : std::uint8_t {
    ClosedForm,  // a formula, no search (Duane)
    LimitCase,   // the data showed a limit, and the record is the limit's (JM, GO)
    Minimised,   // the minimiser's optimum; its termination says how the search ended
};

struct FitTermination {
    FitMethod method = FitMethod::ClosedForm;
    Termination minimiser = Termination::Converged;  // meaningful for Minimised only
    bool operator==(const FitTermination&) const = default;
};

}  // namespace tamsel
