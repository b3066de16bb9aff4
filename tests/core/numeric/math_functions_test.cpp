#include "tamsel/numeric/math_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/numeric/log_sum.h"
#include "test_support.h"

namespace tamsel {
namespace {

using Texts = std::vector<std::string>;

// The message shown for fault, none for no fault.
Texts FaultTexts(MathFault fault) {
    if (fault == MathFault::None) return {};
    return {MathFaultText(fault)};
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kXInf = 1.79e308;

const std::string kGammaNonNumeric = "Gamma function called with invalid non-numeric argument!";
const std::string kGammaLnNegative = "GammaLn function called with invalid negative argument!";

double TgammaL(double x) { return static_cast<double>(std::tgamma(static_cast<long double>(x))); }

double GammaPBoost(double x, double a) {
    return static_cast<double>(
        boost::math::gamma_p(static_cast<long double>(a), static_cast<long double>(x)));
}

// One branch of an algorithm: n + 1 points from lo to hi, evenly in the logarithm of the
// magnitude when geometric (lo and hi then of one sign).
struct Branch {
    const char* name;
    double lo, hi;
    bool geometric;

    std::vector<double> Points(int n = 2000) const {
        std::vector<double> points;
        const double sign = lo < 0.0 ? -1.0 : 1.0;
        for (int i = 0; i <= n; ++i) {
            const double t = static_cast<double>(i) / n;
            points.push_back(
                geometric ? sign * std::exp(std::log(sign * lo) * (1 - t) + std::log(sign * hi) * t)
                          : lo + t * (hi - lo));
        }
        return points;
    }
};

TEST(Power, ClampsAndDropsTheSign) {
    struct Case {
        double x, y, expected, relTol;
    };
    const Case cases[] = {
        {0.0, -1.0, 0.0, 0.0},
        {0.0, 0.0, 0.0, 0.0},
        {-0.0, 2.0, 0.0, 0.0},
        {-8.0, 1.0 / 3.0, 2.0, 1e-15},
        {-2.0, 3.0, 8.0, 1e-15},
        {10.0, -2.0, 0.01, 1e-15},
        {2.0, 1022.0, 4.49423283715578976e307, 1e-13},  // exponent 708.40
        {2.0, 1023.0, 1e307, 0.0},                      // exponent 709.09 is clamped
        {2.0, 1024.0, 1e307, 0.0},
        {2.0, -1100.0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_CLOSE(Power(c.x, c.y), c.expected, c.relTol) << c.x << " ^ " << c.y;
    }
    EXPECT_EQ(Power(kNaN, 2.0), 0.0);
    EXPECT_EQ(Power(1.0, kInf), 0.0);  // inf * ln 1 is NaN
}

TEST(SafeExp, ClampsBeyond709AndTakesNaNAsZero) {
    const double vs[] = {709.0, 709.5, kInf, -709.0, -709.5, -kInf, 0.0, kNaN};
    const double expected[] = {std::exp(709.0), 1e307, 1e307, std::exp(-709.0), 0.0, 0.0, 1.0, 0.0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(SafeExp(vs[i]), expected[i]) << vs[i];
}

TEST(Log1pRatio, KeepsItsDigitsWhereTheRatioIsTinyOrOverflows) {
    struct Case {
        double x, y, expected;
    };
    const Case cases[] = {
        {3.0, 1.0, std::log(4.0)},
        {1e-20, 3.0, 1e-20 / 3.0},                    // log(1 + 3.3e-21) would be 0
        {1e300, 1e-300, 600.0 * std::numbers::ln10},  // the ratio overflows
        {0.0, 1e-300, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_CLOSE(Log1pRatio(c.x, c.y), c.expected, 1e-15) << c.x << " / " << c.y;
    }
}

// Values, guards, faults and their messages. The reflection keeps its accuracy up to the guard at
// -0.999999999999999, where sin(pi x) nearly vanishes.
TEST(Gamma, ValuesAndGuards) {
    struct Case {
        Guarded (*f)(double);
        double x;
        std::optional<double> expected;
        Texts messages;
    };
    const std::string zero = "Gamma function called with argument=0 is infinite!";
    const std::string negative = "Gamma function called with invalid negative argument!";
    const Case cases[] = {
        {&Gamma, 171.0, 7.257415615307998967e306, {}},
        {&Gamma, 1e-300, 1e300, {}},
        {&Gamma, -0.999999999999999, TgammaL(-0.999999999999999), {}},
        {&Gamma, 172.0, kXInf, {}},
        {&Gamma, kInf, kXInf, {}},
        {&Gamma, 1e-310, kXInf, {}},
        {&Gamma, -1e-320, -kXInf, {}},
        {&Gamma, 0.0, 1e15, {zero}},
        {&Gamma, -0.0, 1e15, {zero}},
        {&Gamma, -1.5, 1e15, {negative}},
        {&Gamma, std::nextafter(-0.999999999999999, -1.0), 1e15, {negative}},
        {&Gamma, -kInf, 1e15, {negative}},
        {&Gamma, kNaN, std::nullopt, {kGammaNonNumeric}},
        {&GammaLn, 1.0, 0.0, {}},
        {&GammaLn, 2.0, 0.0, {}},
        {&GammaLn, -0.0, kXInf, {}},
        {&GammaLn, 3e305, kXInf, {}},
        {&GammaLn, kInf, kXInf, {}},
        {&GammaLn, -1e-300, std::nullopt, {kGammaLnNegative}},
        {&GammaLn, kNaN, std::nullopt, {kGammaNonNumeric}},
    };
    for (const Case& c : cases) {
        const Guarded result = c.f(c.x);
        ASSERT_EQ(result.value.has_value(), c.expected.has_value()) << c.x;
        if (result.value) {
            EXPECT_CLOSE(*result.value, *c.expected, 1e-15) << c.x;
        }
        EXPECT_EQ(FaultTexts(result.fault), c.messages) << c.x;
    }
}

// Against the extended-precision library values the worst relative error measured is 1.9e-16
// for Gamma and 1.1e-16 for GammaLn: the final rounding to double. The tolerance, about two
// units in the last place, notices a slip in the 16th digit of a coefficient that carries
// weight.
constexpr double kGammaTolerance = 4e-16;

TEST(GammaAndGammaLn, AgreeWithExtendedPrecisionOnEveryBranch) {
    struct Function {
        const char* name;
        double (*value)(double);
        double (*reference)(double);
        std::vector<Branch> branches;
    };
    const Function functions[] = {
        {"Gamma",
         [](double x) { return Gamma(x).value.value(); },
         &TgammaL,
         {{"below eps", 1e-300, 2.2e-16, true},
          {"(eps, 1)", 2.3e-16, 0.999999, true},
          {"[1, 2)", 1.0, 1.999999, false},
          {"(2, 12)", 2.000001, 11.999999, false},
          {"[12, 171.624]", 12.0, 171.624, false},
          {"reflection", -1e-300, -0.5, true},
          {"reflection near -1", -0.5, -0.999999999, false}}},
        {"GammaLn",
         [](double x) { return GammaLn(x).value.value(); },
         [](double x) { return static_cast<double>(std::lgamma(static_cast<long double>(x))); },
         {{"below eps", 1e-300, 2.2e-16, true},
          {"(eps, 0.5]", 2.3e-16, 0.5, true},
          {"(0.5, 0.6796875)", 0.5000001, 0.6796874, false},
          {"[0.6796875, 1.5]", 0.6796875, 1.5, false},
          {"(1.5, 4]", 1.5000001, 4.0, false},
          {"(4, 12]", 4.0000001, 12.0, false},
          {"Stirling series", 12.0000001, 2.25e76, true},
          {"Stirling without correction", 2.3e76, 2.55e305, true}}},
    };
    for (const Function& f : functions) {
        for (const Branch& branch : f.branches) {
            for (double x : branch.Points()) {
                EXPECT_CLOSE(f.value(x), f.reference(x), kGammaTolerance)
                    << f.name << " " << branch.name << " " << x;
            }
        }
    }
}

// Closed forms and guards. A tiny shape still gives a probability, since ln Gamma takes the
// shape itself.
TEST(GammaP, EdgeValues) {
    struct Case {
        double x, a, expected;
    };
    const Case cases[] = {
        {0.0, 3.0, 0.0},
        {2.0, 0.0, 1.0},
        {0.0, 0.0, 0.0},
        {1.0, 1.0, 1.0 - std::exp(-1.0)},  // series
        {5.0, 1.0, 1.0 - std::exp(-5.0)},  // continued fraction
        {2.0, 1.0, 1.0 - std::exp(-2.0)},  // x == a + 1 takes the continued fraction
        {0.5, 1e-300, GammaPBoost(0.5, 1e-300)},
        {0.5, 1e-310, GammaPBoost(0.5, 1e-310)},
    };
    for (const Case& c : cases) {
        const Guarded result = GammaP(c.x, c.a);
        EXPECT_CLOSE(result.value.value(), c.expected, 1e-15) << c.x << ", " << c.a;
        EXPECT_EQ(result.fault, MathFault::None);
    }
    // A huge shape stops at the iteration cap; P(a, a) is about 1/2 + 1 / (3 sqrt(2 pi a)).
    EXPECT_CLOSE(GammaP(1e10, 1e10).value.value(),
                 0.5 + 1.0 / (3.0 * std::sqrt(2.0 * std::numbers::pi * 1e10)), 1e-6);
    EXPECT_FALSE(GammaP(1e15, 1e15).value.has_value());
    const Guarded invalid = GammaP(0.0, -1.0);
    EXPECT_EQ(invalid.value, 0.0);
    EXPECT_EQ(FaultTexts(invalid.fault), Texts{kGammaLnNegative});
}

// Each shape is checked on x from (a + 1) 1e-4 to (a + 1) 100, covering the series
// (x < a + 1) and the continued fraction. The series stops when a term falls below 2e-15 of
// the sum; for large shapes the terms shrink slowly and the neglected tail grows, hence the
// looser tolerance there (measured worst: 2.2e-15 at a = 100, 7.7e-15 at 1000, 2.9e-14 at
// 1e4).
TEST(GammaP, AgreesWithBoostAcrossBothBranches) {
    struct Shape {
        double a, relTol;
    };
    const Shape shapes[] = {
        {1e-3, 1e-15}, {0.1, 1e-15}, {0.5, 1e-15},   {1.0, 1e-15},    {2.5, 1e-15},
        {10.0, 2e-15}, {30, 3e-15},  {100.0, 5e-15}, {1000.0, 2e-14}, {1e4, 1e-13},
    };
    for (const Shape& shape : shapes) {
        const Branch range{"", (shape.a + 1) * 1e-4, (shape.a + 1) * 100, true};
        int seriesPoints = 0;
        for (double x : range.Points(1000)) {
            const double expected = GammaPBoost(x, shape.a);
            if (expected < 1e-290) continue;
            if (x < shape.a + 1) ++seriesPoints;
            EXPECT_CLOSE(GammaP(x, shape.a).value.value(), expected, shape.relTol)
                << "a = " << shape.a << ", x = " << x;
        }
        EXPECT_GT(seriesPoints, 0) << shape.a;
    }
}

// Against e^x x^-a Gamma(a, x) from Boost in extended precision, where Q(a, x) runs down to
// e^-5000 (far below the doubles) and 1 - P would have lost every digit.
TEST(ScaledUpperGamma, AgreesWithBoostBeyondTheReachOfOneMinusP) {
    for (double a : {0.05, 0.5, 1.0, 3.7, 50.0, 500.0}) {
        for (double point : Branch{"", a + 1, 5000.0, true}.Points(200)) {
            const double x = std::max(point, a + 1);  // the logarithms may round below a + 1
            const long double la = a;
            const long double lx = x;
            const long double expected =
                boost::math::tgamma(la, lx) * std::exp(lx) * std::pow(lx, -la);
            EXPECT_CLOSE(ScaledUpperGamma(x, a).value(), static_cast<double>(expected), 1e-14)
                << x << ", " << a;
        }
    }
    EXPECT_FALSE(ScaledUpperGamma(1.9, 1.0).has_value());  // x < a + 1: the series' side
    EXPECT_FALSE(ScaledUpperGamma(2.0, 0.0).has_value());
    EXPECT_FALSE(ScaledUpperGamma(2.0, kNaN).has_value());
}

template <typename Accumulator>
double Sum(const std::vector<double>& values) {
    Accumulator sum;
    std::ranges::for_each(values, [&sum](double v) { sum.Add(v); });
    return sum.Value();
}

// The same sum in four lanes, the values taken in groups as the objectives take them; fill
// stands in for the values missing from the last group (1 for a product, 0 for log1p terms).
template <typename LaneSum, int fill>
struct InLanes {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    double Value() const {
        LaneSum sum;
        ForEachGroup(0, static_cast<std::int32_t>(values.size()) - 1,
                     [&](std::int32_t j, const auto& group) {
                         sum.Add(group.Keep(group.Load(&values[j]), fill));
                     });
        return sum.Value();
    }
};

// n values spread evenly in log10 over [low, high] in a scrambled order, of sign sign.
std::vector<double> Spread(int n, double low, double high, double sign = 1.0) {
    std::vector<double> values;
    for (int k = 0; k < n; ++k) {
        values.push_back(sign * std::pow(10.0, low + (high - low) * std::fmod(k * 0.618034, 1.0)));
    }
    return values;
}

// Against the logarithms summed one by one in extended precision: each product rounds once,
// so n roundings of a unit in the last place at most, and a few roundings of the sizes of the
// logarithms where they cancel (the extremes).
TEST(LogSum, AgreesWithTheExtendedTermByTermSum) {
    std::vector<double> extremes = Spread(300, -3, 3);
    for (double extreme : {1e-300, 1e300, 0x1p-501, 0x1p501, 5e-324, 1.7e308}) {
        extremes.insert(extremes.begin() + 150, extreme);
    }
    std::vector<double> nearOne;
    for (int k = 1; k <= 5000; ++k) nearOne.push_back(1.0 + k * 1e-12);
    for (const std::vector<double>& factors :
         {Spread(5000, -2, 7), Spread(5000, 12, 15), Spread(5000, -15, -12), extremes, nearOne,
          std::vector<double>{123.456}}) {
        long double reference = 0.0L;
        long double size = 0.0L;
        for (double factor : factors) {
            reference += std::log(static_cast<long double>(factor));
            size += std::fabs(std::log(static_cast<long double>(factor)));
        }
        const double bound = factors.size() * std::numeric_limits<double>::epsilon() +
                             4e-16 * static_cast<double>(size);
        for (double sum : {Sum<LogSum>(factors), Sum<InLanes<LaneLogSum, 1>>(factors)}) {
            EXPECT_TRUE(test::IsClose(sum, static_cast<double>(reference), 0.0, bound))
                << factors.size() << " factors from " << factors[0];
        }
    }
    for (const auto sum : {&Sum<LogSum>, &Sum<InLanes<LaneLogSum, 1>>}) {
        EXPECT_EQ(sum({}), 0.0);
        EXPECT_EQ(sum({2.0, 0.0, 3.0}), -kInf);
        EXPECT_TRUE(std::isnan(sum({2.0, -1.0, 3.0})));
        EXPECT_TRUE(std::isnan(sum({2.0, std::nan(""), 3.0})));
        EXPECT_EQ(sum({2.0, kInf}), kInf);
    }
}

// Against log1p term by term in extended precision, to a few roundings of the terms' sizes
// (with lengths that leave every tail of the lanes' groups).
TEST(Log1pSum, AgreesWithTheExtendedTermByTermSum) {
    std::vector<double> bothSigns = Spread(2000, -12, -0.001, -1.0);
    std::ranges::copy(Spread(2000, -12, 0), std::back_inserter(bothSigns));
    std::vector<double> withHuge = Spread(300, -3, 3);
    withHuge.insert(withHuge.begin() + 100, {1e200, 0x1p500, 1e300, 0.0});
    std::vector<double> nearMinusOne;  // their product underflows
    for (int k = 1; k <= 3000; ++k) nearMinusOne.push_back(-1.0 + 1e-12 * k);
    for (const std::vector<double>& terms :
         {Spread(5000, -20, -16), Spread(5001, -12, -5), Spread(4999, -6, 4), Spread(5000, 12, 15),
          nearMinusOne, bothSigns, withHuge}) {
        long double reference = 0.0L;
        long double size = 0.0L;
        for (double q : terms) {
            reference += std::log1p(static_cast<long double>(q));
            size += std::fabs(std::log1p(static_cast<long double>(q)));
        }
        const double bound = 4e-16 * std::sqrt(static_cast<double>(terms.size())) * size;
        for (double sum : {Sum<Log1pSum>(terms), Sum<InLanes<LaneLog1pSum, 0>>(terms)}) {
            EXPECT_TRUE(test::IsClose(sum, static_cast<double>(reference), 0.0, bound))
                << terms.size() << " terms from " << terms[0];
        }
    }
    for (const auto sum : {&Sum<Log1pSum>, &Sum<InLanes<LaneLog1pSum, 0>>}) {
        EXPECT_EQ(sum({}), 0.0);
        EXPECT_EQ(sum({0.5, -1.0, 3.0}), -kInf);
        EXPECT_TRUE(std::isnan(sum({0.5, -2.0, 3.0})));
        EXPECT_TRUE(std::isnan(sum({0.5, std::nan(""), 3.0})));
        EXPECT_EQ(sum({2.0, kInf}), kInf);
    }
}

}  // namespace
}  // namespace tamsel
