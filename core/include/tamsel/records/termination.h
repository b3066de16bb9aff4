// How a minimiser ended, and how the fit at one failure index ended: a fit that ran out of
// iterations, or whose supremum is a limit, is not the same result as one that converged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// How the fit at one failure index ended.
enum class FitOutcome : std::uint8_t {
    Converged,   // an interior maximum of the likelihood, found to the settings' tolerance
    Limit,       // the likelihood's supremum is a limit model's (which names it)
    Boundary,    // the maximum lies on the edge of the parameter space (which names the parameter)
    Iterations,  // the evaluation budget ran out before the search converged
    Singular,    // the likelihood is unbounded; the row predicts from an earlier fit
};

struct FitTermination {
    FitOutcome outcome = FitOutcome::Converged;
    // For Limit the limit ("homogeneous", "MO", "JM", "GO", "exponential"); for Boundary the
    // parameter; empty otherwise. Always a literal.
    std::string_view which;
    std::int32_t evaluations = 0;  // likelihood evaluations the fit made
    bool operator==(const FitTermination&) const = default;
};

// The outcome as text: "converged", "limit:homogeneous", "boundary:N", "iterations",
// "singular".
inline std::string OutcomeText(const FitTermination& end) {
    switch (end.outcome) {
        case FitOutcome::Converged:
            return "converged";
        case FitOutcome::Limit:
            return "limit:" + std::string(end.which);
        case FitOutcome::Boundary:
            return "boundary:" + std::string(end.which);
        case FitOutcome::Iterations:
            return "iterations";
        case FitOutcome::Singular:
            return "singular";
    }
    return {};
}

}  // namespace tamsel
