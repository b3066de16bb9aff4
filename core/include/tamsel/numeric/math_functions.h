// Guarded elementary functions and gamma functions on which the models, the plot measures
// and the next-failure evaluation rest.
//
// None of these raises a floating-point error on overflow or talks to the user. Invalid
// arguments give the stated value together with the fault, and the caller carries on with
// the value; where the program tells the user, it shows MathFaultText(fault). A NaN argument
// is the "not numeric" case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tamsel {

// An argument a function could not take as it stands, or a computation that had to fall
// back on another route.
enum class MathFault : std::uint8_t {
    None,
    GammaNotNumeric,  // Gamma or GammaLn of NaN
    GammaZero,        // Gamma(0)
    GammaNegative,    // Gamma of x < -0.999999999999999
    GammaLnNegative,  // GammaLn of x < 0
    PercentileLevel,  // a percentile asked for at a level outside [0, 1]
    MttfGamma,        // Duane's mean could not be computed by gamma functions
};

// The message the program shows for fault (lines joined by CR LF); step is the failure index
// that MttfGamma names. Empty for None.
std::string MathFaultText(MathFault fault, std::int32_t step = 0);

// Whether p is a probability level, in [0, 1].
inline bool IsProbability(double p) { return p >= 0.0 && p <= 1.0; }

// A value, or none, with the fault that was met on the way (None when there was none).
struct Guarded {
    std::optional<double> value;
    MathFault fault = MathFault::None;
};

// x raised to y as SafeExp(y * ln|x|): 0 for x == 0 whatever y is (also y <= 0); a
// negative base gives |x|^y. Results beyond e^709 are 1e307, below e^-709 are 0. A NaN
// exponent product (NaN arguments, or an infinite y with |x| == 1) gives 0, as SafeExp does.
double Power(double x, double y);

// e^v clamped: 1e307 for v > 709, 0 for v < -709. A NaN v gives 0.
double SafeExp(double v);

// ln x for x >= 0, with ln(1e-30) (about -69.0776) for x == 0. A negative x is outside the
// contract (the result is NaN).
double SafeLog(double x);

// ln(1 + x / y) for x >= 0 and y > 0, keeping its digits where x / y is tiny (log1p) and
// where x / y overflows (the difference of the logarithms).
double Log1pRatio(double x, double y);

// The gamma function by Cody's rational Chebyshev approximation on [1, 2), recurrence below
// 12 and Stirling's series above. Guards, each with its fault: NaN gives no value; x == 0
// and x < -0.999999999999999 give 1e15; -0.999999999999999 <= x < 0 goes through the
// reflection formula. Where the result would overflow (x > 171.624, 0 < x < 2.23e-308, and
// negative x within about 5.6e-309 of 0) its magnitude is 1.79e308.
Guarded Gamma(double x);

// ln Gamma(x) for x > 0 by Cody's rational approximations (split at 0.5, 1.5, 4 and 12) and
// Stirling's series. NaN and x < 0 give no value and their faults; x == 0 and
// x > 2.55e305 give 1.79e308.
Guarded GammaLn(double x);

// Passes that each loop of GammaP may make before it gives up. Shapes up to about 1e12
// converge in fewer passes at any x.
inline constexpr std::int64_t kGammaPMaxIterations = 10'000'000;

// The regularised lower incomplete gamma function P(a, x) = gamma(a, x) / Gamma(a), for
// x >= 0 and shape a >= 0 (note the argument order). x == 0 gives 0, else a == 0 gives 1;
// otherwise the series for x < a + 1 and the continued fraction for x >= a + 1, each run
// until a pass changes the result by less than 2e-15 of it. A loop that reaches
// kGammaPMaxIterations has not converged (a shape beyond about 1e12 with x near it), and the
// value is empty. A negative or NaN shape gives GammaLn's fault, with
// the value computed as though ln Gamma(a) were 0.
Guarded GammaP(double x, double a);

// e^x x^-a Gamma(a, x), the upper incomplete gamma function scaled so that it neither
// overflows nor underflows, by GammaP's continued fraction, for a > 0 and x >= a + 1: there
// Q(a, x) = 1 - P(a, x) is small, and this gives it without the cancellation of 1 - P. Empty
// outside that domain or where the fraction has not converged within kGammaPMaxIterations
// passes.
std::optional<double> ScaledUpperGamma(double x, double a);

}  // namespace tamsel
