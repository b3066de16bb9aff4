// Every model's predictive distribution at extreme stored parameters, where the textbook forms
// cancel, against 50-digit references from tests/core/models/prediction_reference.py --case
// (the defining formulas evaluated in mpmath at the same doubles).
#include <gtest/gtest.h>

#include <string>

#include "model_test_support.h"
#include "tamsel/models/model_table.h"
#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

// The stored results are to be within 1e-9 of these references. Most cases agree to 1e-13;
// Duane's density, a sum of logarithms near 700 in size, to about 1.5e-11.
constexpr double kAccuracy = 1e-10;

const Predictive& PredictiveOf(const char* code) { return *FindModel(code)->predictive; }

TEST(PredictionAccuracy, MatchesExtendedPrecisionAtExtremeParameters) {
    struct Case {
        const char* what;
        const char* model;
        StoredFit fit;  // index, Param1..3, median (read by JM only), T
        double s;
        double cdf, pdf, lowQ, median, uppQ, mean;
    };
    const Case cases[] = {
        {"MO near its homogeneous limit", "MO", 30, 8e15, 1.2e14, 0, 0, 1e5, 20,
         2.591817793155037878e-1, 1.1112273310128511986e-2, 1.9178804830358486545e+1,
         4.6209812037907443404e+1, 9.2419624075815153727e+1, 6.6666666667500555556e+1},
        {"MO with Beta0 beyond 1e15", "MO", 50, 1e20, 1e17, 0, 0, 1e4, 0.001,
         9.9999950000016656663e-7, 9.9999900000049989983e-4, 2.8768207245178095662e+2,
         6.9314718055994538113e+2, 1.3862943611198907671e+3, 1.00000000000000011e+3},
        {"JM far in the tail", "JM", 100, 150.5, 1e-3, 0, 1.372568674376129297e+1, 5000, 12000, 1.0,
         3.3176864935181248814e-265, 5.6966747020154637911, 1.372568674376129297e+1,
         2.745137348752258594e+1, 1.9801980198019801568e+1},
        {"Du with s tiny beside T", "Du", 96, 0.5, 0.096, 0, 0, 1e6, 1e-3, 4.7999998836000020013e-8,
         4.7999997672000058041e-5, 6.0023566499079957298e+3, 1.4492698750154915152e+4,
         2.9089662477288606651e+4, 2.105034722222222178e+4},
        {"Du with a density whose factors underflow", "Du", 257, 44.717640416073863,
         3.037885823023345e-290, 0, 0, 3374715.4177816496, 57096.52344026931, 1.0,
         1.3192428561339995581e-127, 8.4430707031854918702e+1, 2.032725282775125978e+2,
         4.0601121915835613335e+2, 2.9253817387849511047e+2},
        {"Du with i below 1 / Beta", "Du", 4, 0.1, 2, 0, 0, 1024, 3, 1.169648335670771317e-3,
         3.8914219773004114295e-4, 1.026811749425233766e+3, 4.0382289782572903075e+3,
         1.9048473010865343425e+4, 1.9190874999999985157e+5},
        {"GO near its homogeneous limit", "GO", 40, 1e9, 1e-12, 0, 0, 1000, 0.001,
         9.9999949900016714701e-7, 9.9999899900050098022e-4, 2.8768207278084349332e+2,
         6.9314718149331901182e+2, 1.3862943634670910392e+3, kInfiniteMttf},
        {"Li with N - i huge", "Li", 30, 1000000000030, 3e-10, 500, 0, 2000, 5,
         4.5085941677318814591e-1, 6.5765339308600221609e-2, 2.3985004292569213053,
         5.7829046054321041138, 1.1579186005134419363e+1, 8.3612040133779264772},
        {"Li with its shape 1e-14 above 1", "Li", 177, 5668790.4314179327, 1.7640998316406252e-07,
         285611071.18572831, 0, 643.23135426662816, 2502.7969044432762, 8.7628582668494360364e-6,
         3.5011955878671786158e-9, 9.5203904805692419565e+7, 2.8561171441707616975e+8,
         8.5683514325122210081e+8, 1.764641181245179806e+22},
        {"LNHPP with N - i huge", "LNHPP", 30, 1e14, 2.73e-13, 1000, 0, 2000, 50,
         3.6316834949946867872e-1, 5.7001652651341679368e-3, 3.1780569183441429764e+1,
         7.714523457236622889e+1, 1.562742648838081498e+2, 1.1391538864069983863e+2},
        {"LV with psi(i) far below psi(1)", "LV", 50, 2.5, 1e9, -19999999.99, 0, 0, 0.3,
         6.9118377479395055167e-1, 9.6505060490382898678e-1, 6.0977582718102786845e-2,
         1.5975398157216097594e-1, 3.7055062403409455475e-1, 3.3333338797092437744e-1},
        {"LV near the exponential limit", "LV", 50, 1e15, 1e17, 0, 0, 0, 200,
         8.6466471676338703744e-1, 1.3533528323661269189e-3, 2.8768207245178096882e+1,
         6.9314718055994554964e+1, 1.3862943611198915797e+2, 1.000000000000001e+2},
        // s / psi overflows; quantiles beyond 1e30 are finite, the upper one beyond the doubles.
        {"LV with data far beyond its scale", "LV", 91, 0.0014456400856721699,
         1.0000000000000452e-15, -3.4622228618033296e-31, 0, 0, 2.323e293, 6.4172733171591194558e-1,
         2.2295881656143173481e-297, 2.6577271484985261414e+71, 1.7100798789015289246e+193,
         kInfiniteQuartile, kInfiniteMttf},
        {"KL with 1 / s(i) far below 1 / s(1)", "KL", 40, 1, -0.02499999997, 100, 0, 0, 1e-7,
         5.6540177809966340868e-1, 3.6216517134260599929e+6, 3.4521849959566767409e-8,
         8.3177664736196845288e-8, 1.6635532954157892969e-7, 1.2000000452172940744e-7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Predictive& predictive = PredictiveOf(c.model);
        const PredictivePoint point = predictive.at(c.fit, c.s);
        EXPECT_CLOSE(point.cdf, c.cdf, kAccuracy);
        EXPECT_CLOSE(point.pdf, c.pdf, kAccuracy);
        EXPECT_CLOSE(predictive.quantile(c.fit, 0.25), c.lowQ, kAccuracy);
        EXPECT_CLOSE(predictive.quantile(c.fit, 0.5), c.median, kAccuracy);
        EXPECT_CLOSE(predictive.quantile(c.fit, 0.75), c.uppQ, kAccuracy);
        EXPECT_CLOSE(predictive.mean(c.fit), c.mean, kAccuracy);
    }
}

TEST(PredictionAccuracy, LimitsGiveTheirStandIns) {
    struct Case {
        const char* what;
        const char* model;
        StoredFit fit;
        double cdf, pdf, median, mean;
    };
    const Case cases[] = {
        {"Li with no fault left never fails", "Li", 32, 32, 23.8, 3812.9, 0, 2000, 0.0, kVanishing,
         kInfiniteQuartile, kInfiniteMttf},
        {"LV with psi(i) = 0 fails at once", "LV", 36, 1.34, 180, -5, 0, 0, 1.0, kVanishing,
         kVanishing, kVanishing},
        {"KL with 1 / s(i) <= 0 fails at once", "KL", 40, 1, -0.03, 100, 0, 0, 1.0, kVanishing,
         kVanishing, kVanishing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Predictive& predictive = PredictiveOf(c.model);
        const PredictivePoint point = predictive.at(c.fit, 1.0);
        EXPECT_EQ(point.cdf, c.cdf);
        EXPECT_EQ(point.pdf, c.pdf);
        EXPECT_EQ(predictive.quantile(c.fit, 0.5), c.median);
        EXPECT_EQ(predictive.mean(c.fit), c.mean);
    }
    // Alpha T^Beta = 20 with Beta = 0.001: the median, 6.7e315, is beyond the doubles.
    EXPECT_EQ(PredictiveOf("Du").quantile({20, 0.001, 10, 0, 0, 0x1p1000}, 0.5), kInfiniteQuartile);
}

}  // namespace
}  // namespace tamsel
