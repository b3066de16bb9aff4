// Guarded elementary functions, gamma functions and list helpers on which the models, the
// plot measures and the next-failure evaluation rest.
//
// None of these raises a floating-point error on overflow. Invalid arguments show a message
// through the sink (ShowMessage, information icon) and give the stated value, and the
// caller carries on with it. A NaN argument is the "not numeric" case. Functions that may
// give no value return std::optional; numeric callers read an empty result as 0
// (value_or(0.0)).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>

namespace tamsel {

// x raised to y as SafeExp(y * ln|x|): 0 for x == 0 whatever y is (also y <= 0); a
// negative base gives |x|^y. Results beyond e^709 are 1e307, below e^-709 are 0. A NaN
// exponent product (NaN arguments, or an infinite y with |x| == 1) takes SafeExp's
// non-numeric path: message and 0.
double Power(double x, double y);

// e^v clamped: 1e307 for v > 709, 0 for v < -709. A NaN v shows "The argument of an
// exponential is not numeric." and "A value of 0 is returned" (two lines) and gives 0.
double SafeExp(double v);

// ln x for x >= 0, with ln(1e-30) (about -69.0776) for x == 0. A negative x is outside the
// contract (the result is NaN).
double SafeLog(double x);

// The gamma function by Cody's rational Chebyshev approximation on [1, 2), recurrence below
// 12 and Stirling's series above. Guards, each with its message: NaN gives no value; x == 0
// and x < -0.999999999999999 give 1e15; -0.999999999999999 <= x < 0 goes through the
// reflection formula. Where the result would overflow (x > 171.624, 0 < x < 2.23e-308, and
// negative x within about 5.6e-309 of 0) its magnitude is 1.79e308.
std::optional<double> Gamma(double x);

// ln Gamma(x) for x > 0 by Cody's rational approximations (split at 0.5, 1.5, 4 and 12) and
// Stirling's series. NaN and x < 0 show their messages and give no value; x == 0 and
// x > 2.55e305 give 1.79e308.
std::optional<double> GammaLn(double x);

// Passes that each loop of GammaP may make before it gives up. Shapes up to about 1e12
// converge in fewer passes at any x.
inline constexpr std::int64_t kGammaPMaxIterations = 10'000'000;

// The regularised lower incomplete gamma function P(a, x) = gamma(a, x) / Gamma(a), for
// x >= 0 and shape a >= 0 (note the argument order). x == 0 gives 0, else a == 0 gives 1;
// otherwise the series for x < a + 1 and the continued fraction for x >= a + 1, each run
// until a pass changes the result by less than 2e-15 of it. A loop that reaches
// kGammaPMaxIterations has not converged (a shape beyond about 1e12 with x near it), and the
// result is empty. A negative or NaN shape shows GammaLn's message.
std::optional<double> GammaP(double x, double a);

// The largest (smallest) of the values: the first one, replaced only by a strictly greater
// (smaller) later one, so ties keep the earliest and a NaN never replaces anything. Fewer
// than two values show "Max function needs at least two inputs" ("Min function needs at
// least two inputs") and give no value.
std::optional<double> Max(std::span<const double> values);
std::optional<double> Max(std::initializer_list<double> values);
std::optional<double> Min(std::span<const double> values);
std::optional<double> Min(std::initializer_list<double> values);

// a - b * trunc(a / b), computed exactly, so the result has the sign of a
// (Remainder(-7, 2) == -1). NaN in either argument shows "Remainder function called with
// invalid non-numeric arguments" and gives 0. b == 0 or an infinite a has no remainder: NaN.
double Remainder(double a, double b);

}  // namespace tamsel
