// The objective functions that the minimisers call, selected by a numeric code.
//
// The numeric library knows no model: each model registers its objective under its code
// (RegisterObjective1D / RegisterObjectiveND) before it first minimises, and the minimisers
// reach it through Objective1D / ObjectiveND. Registration is thread-safe and idempotent.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tamsel {

// Everything an objective needs besides the point. What n, r and c mean is the model's
// business (for example n failures, a statistic r, a time c); series, when the model needs
// it, is a per-failure array indexed by failure index (element 0 unused).
struct ObjectiveData {
    std::int32_t n = 0;
    double r = 0.0;
    double c = 0.0;
    const std::vector<double>* series = nullptr;
};

// f(x) of a one-variable objective.
using Objective1DFunction = double (*)(double x, const ObjectiveData& data);
// f(X) of a multi-variable objective; fills the gradient G (same size as X). X and G are
// 0-based: X[0] is the first variable.
using ObjectiveNDFunction = double (*)(std::span<const double> x, std::span<double> g,
                                       const ObjectiveData& data);

// Codes 1..8 are the model numbers. Registering a code again replaces its function.
void RegisterObjective1D(int code, Objective1DFunction function);
void RegisterObjectiveND(int code, ObjectiveNDFunction function);

// The registered objective of code at x; 0 for an unregistered code (the Duane slot,
// code 2, is never registered and so gives 0).
double Objective1D(int code, double x, const ObjectiveData& data);

// The code used for Rosenbrock's test function 100 (X2 - X1^2)^2 + (1 - X1)^2, whose
// gradient is left as it was.
inline constexpr int kRosenbrockCode = -666;

// The registered objective of code at x, filling g; Rosenbrock's function for
// kRosenbrockCode; 0 (g untouched) for an unregistered code.
double ObjectiveND(int code, std::span<const double> x, std::span<double> g,
                   const ObjectiveData& data);

}  // namespace tamsel
