#include "tamsel/numeric/math_functions.h"

#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace tamsel {
namespace {

// The gamma functions carry their intermediate values in extended precision (64-bit
// significand on x86-64) and round once at the end: Stirling's exponent and the prefactor of
// the incomplete gamma function cancel large terms, which in double would cost up to
// 1e-13 of relative accuracy.
using Extended = long double;

constexpr double kExpLimit = 709.0;
constexpr double kExpOverflow = 1e307;
constexpr double kLogOfZeroArgument = 1e-30;

constexpr double kGammaGuardResult = 1e15;
constexpr double kReflectionLimit = -0.999999999999999;
constexpr Extended kGammaPTolerance = 2e-15L;

// Machine constants of Cody's routines for IEEE double.
constexpr double kXInf = 1.79e308;
constexpr double kEps = 2.22e-16;
constexpr double kXMinIn = 2.23e-308;
constexpr double kGammaXBig = 171.624;
constexpr double kGammaLnXBig = 2.55e305;
constexpr Extended kFrtBig = 2.25e76L;

constexpr Extended kPi = 3.1415926535897932384626434L;
constexpr Extended kLnSqrtTwoPi = 0.9189385332046727417803297L;

using Table = std::array<Extended, 8>;

// Gamma on [1, 2): 1 + z P(z) / Q(z), z = x - 1.
constexpr Table kGammaP = {-1.71618513886549492533811e+0L, 2.47656508055759199108314e+1L,
                           -3.79804256470945635097577e+2L, 6.29331155312818442661052e+2L,
                           8.66966202790413211295064e+2L,  -3.14512729688483675254357e+4L,
                           -3.61444134186911729807069e+4L, 6.64561438202405440627855e+4L};
constexpr Table kGammaQ = {-3.08402300119738975254353e+1L, 3.15350626979604161529144e+2L,
                           -1.01515636749021914166146e+3L, -3.10777167157231109440444e+3L,
                           2.25381184209801510330112e+4L,  4.75584627752788110767815e+3L,
                           -1.34659959864969306392456e+5L, -1.15132259675553483497211e+5L};

// Stirling's correction for x >= 12, shared by Gamma and GammaLn.
constexpr std::array<Extended, 7> kStirlingC = {
    -1.910444077728e-03L,     8.4171387781295e-04L,          -5.952379913043012e-04L,
    7.93650793500350248e-04L, -2.777777777777681622553e-03L, 8.333333333333333331554247e-02L,
    5.7083835261e-03L};

// ln Gamma on [0.5, 1.5], [1.5, 4] and [4, 12].
constexpr Extended kD1 = -5.772156649015328605195174e-1L;
constexpr Table kP1 = {4.945235359296727046734888e0L, 2.018112620856775083915565e2L,
                       2.290838373831346393026739e3L, 1.131967205903380828685045e4L,
                       2.855724635671635335736389e4L, 3.848496228443793359990269e4L,
                       2.637748787624195437963534e4L, 7.225813979700288197698961e3L};
constexpr Table kQ1 = {6.748212550303777196073036e1L, 1.113332393857199323513008e3L,
                       7.738757056935398733233834e3L, 2.763987074403340708898585e4L,
                       5.499310206226157329794414e4L, 6.161122180066002127833352e4L,
                       3.635127591501940507276287e4L, 8.785536302431013170870835e3L};
constexpr Extended kD2 = 4.227843350984671393993777e-1L;
constexpr Table kP2 = {4.974607845568932035012064e0L, 5.424138599891070494101986e2L,
                       1.550693864978364947665077e4L, 1.847932904445632425417223e5L,
                       1.088204769468828767498470e6L, 3.338152967987029735917223e6L,
                       5.106661678927352456275255e6L, 3.074109054850539556250927e6L};
constexpr Table kQ2 = {1.830328399370592604055942e2L, 7.765049321445005871323047e3L,
                       1.331903827966074194402448e5L, 1.136705821321969608938755e6L,
                       5.267964117437946917577538e6L, 1.346701454311101692290052e7L,
                       1.782736530353274213975932e7L, 9.533095591844353613395747e6L};
constexpr Extended kD4 = 1.791759469228055000094023e0L;
constexpr Table kP4 = {1.474502166059939948905062e4L,  2.426813369486704502836312e6L,
                       1.214755574045093227939592e8L,  2.663432449630976949898078e9L,
                       2.940378956634553899906876e10L, 1.702665737765398868392998e11L,
                       4.926125793377430887588120e11L, 5.606251856223951465078242e11L};
constexpr Table kQ4 = {2.690530175870899333379843e3L,  6.393885654300092398984238e5L,
                       4.135599930241388052042842e7L,  1.120872109616147941376570e9L,
                       1.488613728678813811542398e10L, 1.016803586272438228077304e11L,
                       3.417476345507377132798597e11L, 4.463158187419713286462081e11L};

// ln Gamma(y) by Stirling's series, y >= 12. Past kFrtBig the correction is below rounding.
Extended LnGammaStirling(Extended y) {
    Extended series = 0.0L;
    if (y <= kFrtBig) {
        const Extended ysq = y * y;
        series = kStirlingC[6];
        for (int i = 0; i < 6; ++i) series = series / ysq + kStirlingC[i];
    }
    const Extended lnY = std::log(y);
    return series / y + kLnSqrtTwoPi - 0.5L * lnY + y * (lnY - 1.0L);
}

// Gamma(y) for y > 0; kXInf where it would overflow.
Extended GammaPositive(Extended y) {
    if (y < kEps) return y >= kXMinIn ? 1.0L / y : kXInf;
    if (y >= 12.0L) return y <= kGammaXBig ? std::exp(LnGammaStirling(y)) : kXInf;

    // Reduce to [1, 2), approximate there, and undo the reduction by recurrence.
    const Extended original = y;
    int upward = 0;
    Extended z;
    if (y < 1.0L) {
        z = y;
        y += 1.0L;
    } else {
        upward = static_cast<int>(y) - 1;
        y -= upward;
        z = y - 1.0L;
    }
    Extended num = 0.0L;
    Extended den = 1.0L;
    for (int i = 0; i < 8; ++i) {
        num = (num + kGammaP[i]) * z;
        den = den * z + kGammaQ[i];
    }
    Extended result = num / den + 1.0L;
    if (original < y) return result / original;
    for (int i = 0; i < upward; ++i) {
        result *= y;
        y += 1.0L;
    }
    return result;
}

// xm (D + xm P(xm) / Q(xm)) with ALGAMA's nested evaluation starting from den0.
Extended AlgamaRatio(Extended xm, const Table& p, const Table& q, Extended den0) {
    Extended num = 0.0L;
    Extended den = den0;
    for (int i = 0; i < 8; ++i) {
        num = num * xm + p[i];
        den = den * xm + q[i];
    }
    return num / den;
}

// ln Gamma(y) for 0 < y <= kGammaLnXBig.
Extended LnGammaPositive(Extended y) {
    if (y <= kEps) return -std::log(y);
    if (y <= 1.5L) {
        // Below 0.6796875, ln Gamma(y) = ln Gamma(1 + y) - ln y. ln Gamma near 1 comes from
        // the expansion about 1, except between 0.5 and 0.6796875, where the expansion
        // about 2 taken at 1 + y is the more accurate.
        const bool nearZero = y < 0.6796875L;
        const Extended corr = nearZero ? -std::log(y) : 0.0L;
        const Extended xm1 = nearZero ? y : (y - 0.5L) - 0.5L;
        if (y <= 0.5L || !nearZero) return corr + xm1 * (kD1 + xm1 * AlgamaRatio(xm1, kP1, kQ1, 1));
        const Extended xm2 = (y - 0.5L) - 0.5L;
        return corr + xm2 * (kD2 + xm2 * AlgamaRatio(xm2, kP2, kQ2, 1));
    }
    if (y <= 4.0L) {
        const Extended xm2 = y - 2.0L;
        return xm2 * (kD2 + xm2 * AlgamaRatio(xm2, kP2, kQ2, 1));
    }
    if (y <= 12.0L) {
        const Extended xm4 = y - 4.0L;
        return kD4 + xm4 * AlgamaRatio(xm4, kP4, kQ4, -1);
    }
    return LnGammaStirling(y);
}

// GammaLn in extended precision with its guards: the fault when x has no value.
MathFault GammaLnFault(double x) {
    if (std::isnan(x)) return MathFault::GammaNotNumeric;
    if (x < 0.0) return MathFault::GammaLnNegative;
    return MathFault::None;
}

Extended GammaLnExtended(double x) {
    if (x == 0.0 || x > kGammaLnXBig) return kXInf;
    return LnGammaPositive(x);
}

// sin(pi y) for 0 < y < 1, reflected about one half so that the argument near 1 keeps its
// relative accuracy (1 - y is exact there).
Extended SinPi(double y) { return std::sin(kPi * (y > 0.5 ? 1.0 - y : y)); }

// The sum over n of x^n / (a (a+1) ... (a+n)), which is P(a, x) Gamma(a) e^x x^-a; used for
// x < a + 1. Empty past the cap.
std::optional<Extended> GammaPSeries(Extended x, Extended a) {
    Extended ap = a;
    Extended sum = 1.0L / a;
    Extended del = sum;
    for (std::int64_t pass = 0; del >= sum * kGammaPTolerance; ++pass) {
        if (pass == kGammaPMaxIterations) return std::nullopt;
        ap += 1.0L;
        del *= x / ap;
        sum += del;
    }
    return sum;
}

// The continued fraction of Gamma(a, x) e^x x^-a by Legendre's form, rescaled by the latest
// numerator at each pass; empty past the cap.
std::optional<Extended> GammaQContinuedFraction(Extended x, Extended a) {
    Extended a0 = 1.0L;
    Extended a1 = x;
    Extended b0 = 0.0L;
    Extended b1 = 1.0L;
    Extended fac = 1.0L;
    Extended n = 1.0L;
    Extended g = 1.0L;
    Extended gOld = 0.0L;
    for (std::int64_t pass = 0; std::fabs(gOld - g) >= std::fabs(g) * kGammaPTolerance; ++pass) {
        if (pass == kGammaPMaxIterations) return std::nullopt;
        gOld = g;
        const Extended ana = n - a;
        a0 = (a1 + a0 * ana) * fac;
        b0 = (b1 + b0 * ana) * fac;
        const Extended anf = n * fac;
        a1 = x * a0 + anf * a1;
        b1 = x * b0 + anf * b1;
        fac = 1.0L / a1;
        g = b1 * fac;
        n += 1.0L;
    }
    return g;
}

}  // namespace

std::string MathFaultText(MathFault fault, std::int32_t step) {
    switch (fault) {
        case MathFault::None:
            return {};
        case MathFault::GammaNotNumeric:
            return "Gamma function called with invalid non-numeric argument!";
        case MathFault::GammaZero:
            return "Gamma function called with argument=0 is infinite!";
        case MathFault::GammaNegative:
            return "Gamma function called with invalid negative argument!";
        case MathFault::GammaLnNegative:
            return "GammaLn function called with invalid negative argument!";
        case MathFault::PercentileLevel:
            return "The percentile must be a number between 0 and 1.\r\n"
                   "A value of 0 for this percentile is returned";
        case MathFault::MttfGamma:
            return "An error has occurred during the computation of gamma functions for the "
                   "mttf at step" +
                   std::to_string(step) + ". Using Crow estimate instead.";
    }
    return {};
}

double Power(double x, double y) {
    if (x == 0.0) return 0.0;
    return SafeExp(y * std::log(std::fabs(x)));
}

double SafeExp(double v) {
    if (std::isnan(v)) return 0.0;
    if (std::fabs(v) > kExpLimit) return v > 0.0 ? kExpOverflow : 0.0;
    return std::exp(v);
}

double SafeLog(double x) { return std::log(x == 0.0 ? kLogOfZeroArgument : x); }

double Log1pRatio(double x, double y) {
    const double ratio = x / y;
    return std::isinf(ratio) ? std::log(x) - std::log(y) : std::log1p(ratio);
}

Guarded Gamma(double x) {
    if (std::isnan(x)) return {std::nullopt, MathFault::GammaNotNumeric};
    if (x == 0.0) return {kGammaGuardResult, MathFault::GammaZero};
    if (x < kReflectionLimit) return {kGammaGuardResult, MathFault::GammaNegative};
    if (x > 0.0) return {static_cast<double>(GammaPositive(x))};

    // Reflection: Gamma(-y) = -pi / (sin(pi y) Gamma(1 + y)). Here 0 < y < 1, so the integer
    // part of y is 0 and the sign change for an odd integer part never arises.
    const double y = -x;
    const Extended result = -kPi / SinPi(y) / GammaPositive(1.0L + y);
    if (-result > std::numeric_limits<double>::max()) return {-kXInf};
    return {static_cast<double>(result)};
}

Guarded GammaLn(double x) {
    if (const MathFault fault = GammaLnFault(x); fault != MathFault::None) {
        return {std::nullopt, fault};
    }
    return {static_cast<double>(GammaLnExtended(x))};
}

Guarded GammaP(double x, double a) {
    // An invalid shape is reported whatever x is; its ln Gamma counts as 0.
    const MathFault fault = GammaLnFault(a);
    const Extended gln = fault == MathFault::None ? GammaLnExtended(a) : 0.0L;
    if (x == 0.0) return {0.0, fault};
    if (a == 0.0) return {1.0, fault};

    const Extended ex = x;
    const Extended ea = a;
    const Extended prefactor = std::exp(-ex + ea * std::log(ex) - gln);
    if (x < a + 1.0) {
        const std::optional<Extended> sum = GammaPSeries(ex, ea);
        if (!sum) return {std::nullopt, fault};
        return {static_cast<double>(*sum * prefactor), fault};
    }
    const std::optional<Extended> fraction = GammaQContinuedFraction(ex, ea);
    if (!fraction) return {std::nullopt, fault};
    return {static_cast<double>(1.0L - prefactor * *fraction), fault};
}

std::optional<double> ScaledUpperGamma(double x, double a) {
    if (!(a > 0.0) || !(x >= a + 1.0)) return std::nullopt;
    const std::optional<Extended> fraction = GammaQContinuedFraction(x, a);
    if (!fraction) return std::nullopt;
    return static_cast<double>(*fraction);
}

}  // namespace tamsel
