// What the Littlewood, Littlewood NHPP, Littlewood-Verrall and Keiller-Littlewood models have
// in common: objectives that are negative profile log-likelihoods with exact gradients, fits
// that are likelihood maxima, and the limit where two of them become the Musa-Okumoto model.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/mo_model.h"
#include "tamsel/models/sentinels.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::OnLine;
using test::Point3;
using test::Series;

using ObjectiveAt = std::function<double(std::span<const double> p, std::span<double> g,
                                         std::int32_t n, const Series& data)>;

// The maximum of logLik over u in [lo, hi].
double MaximumOver(const std::function<double(double)>& logLik, double lo, double hi) {
    return logLik(test::GoldenSectionArgMax(logLik, lo, hi));
}

// The Littlewood NHPP alpha with m(T) = n, by bisection on ln alpha.
double AlphaByBisection(double mu, double beta, double end, std::int32_t n) {
    double lo = -80.0;
    double hi = 80.0;
    for (int k = 0; k < 200; ++k) {
        double mid = 0.5 * (lo + hi);
        double m = -mu * std::expm1(-std::exp(mid) * std::log1p(end / beta));
        (m < n ? lo : hi) = mid;
    }
    return std::exp(0.5 * (lo + hi));
}

struct Model {
    const char* name;
    ObjectiveAt objective;
    // The log-likelihood of failures 1..n of sys1 maximised over what the objective profiles
    // out, at the objective's point (p1, p2).
    std::function<double(const Series& data, std::int32_t n, double p1, double p2)> profile;
    // Where random points (p1, p2) = exp(lo + span e^-E) are drawn, E standard exponential.
    std::array<double, 4> draw;  // lo1, span1, lo2, span2
    std::uint64_t seed;
};

const std::vector<Model>& Models() {
    static const std::vector<Model> models{
        {"Li",
         [](std::span<const double> p, std::span<double> g, std::int32_t n, const Series& d) {
             return ObjectiveLi(p, g, n, d.t);
         },
         [](const Series& d, std::int32_t n, double p1, double p2) {
             return MaximumOver(
                 [&](double u) {
                     return test::LiLogLikelihood(d.t, n, p1 * p1, std::exp(u), p2 * p2);
                 },
                 -60.0, 60.0);
         },
         {-2.0, 8.0, 0.0, 10.0},
         51},
        {"LNHPP",
         [](std::span<const double> p, std::span<double> g, std::int32_t n, const Series& d) {
             return ObjectiveLNHPP(p, g, n, 1e-15, d.t[n], d.t);
         },
         [](const Series& d, std::int32_t n, double p1, double p2) {
             double mu = n + p1 * p1 + 1e-15;
             double beta = p2 * p2 + 1e-15;
             return test::LnhppLogLikelihood(d.t, n, mu, AlphaByBisection(mu, beta, d.t[n], n),
                                             beta);
         },
         {-2.0, 10.0, 0.0, 12.0},
         61},
        {"LV",
         [](std::span<const double> p, std::span<double> g, std::int32_t n, const Series& d) {
             return ObjectiveLV(p, g, n, 1e-15, d.x);
         },
         [](const Series& d, std::int32_t n, double p1, double p2) {
             double first = p1 * p1 + 1e-15;
             double last = p2 * p2 + 1e-15;
             return MaximumOver(
                 [&](double u) {
                     return test::ParetoLogLikelihood(
                         d.x, n, [&](std::int32_t) { return std::exp(u); },
                         [&](std::int32_t j) { return OnLine(j, n, first, last); });
                 },
                 -40.0, 40.0);
         },
         {-1.0, 9.0, -1.0, 9.0},
         71},
        {"KL",
         [](std::span<const double> p, std::span<double> g, std::int32_t n, const Series& d) {
             return ObjectiveKL(p, g, n, 1e-15, d.x);
         },
         [](const Series& d, std::int32_t n, double p1, double p2) {
             double ratio = p1 * p1 + 1e-15;
             double beta = p2 * p2 + 1e-15;
             // The maximum over the level 1 / s(1).
             return MaximumOver(
                 [&](double u) {
                     double first = std::exp(u);
                     return test::ParetoLogLikelihood(
                         d.x, n,
                         [&](std::int32_t j) { return 1.0 / OnLine(j, n, first, ratio * first); },
                         [&](std::int32_t) { return beta; });
                 },
                 -40.0, 40.0);
         },
         {-2.0, 4.0, -1.0, 9.0},
         81},
    };
    return models;
}

TEST(LittlewoodFamily, ObjectiveIsTheNegativeProfileLogLikelihood) {
    Series sys1 = test::FromDataFile("sys1.txt");
    for (const Model& model : Models()) {
        test::Simulator random(model.seed);
        auto draw = [&](double lo, double span) {
            return std::exp(lo + span * std::exp(-random.Exponential(1.0)));
        };
        for (int k = 0; k < 40; ++k) {
            std::int32_t n = 10 + 3 * k;
            double p1 = draw(model.draw[0], model.draw[1]);
            double p2 = draw(model.draw[2], model.draw[3]);
            std::array<double, 2> g{};
            EXPECT_CLOSE(model.objective(std::array{p1, p2}, g, n, sys1),
                         -model.profile(sys1, n, p1, p2), 1e-11)
                << model.name << " n " << n << " p " << p1 << ", " << p2;
        }
    }
}

// From close to 0 to the box's edge at 1e7 in each variable.
TEST(LittlewoodFamily, GradientMatchesCentralDifferences) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const double points[] = {1e-2, 0.3, 1.0, 10.0, 300.0, 1e4, 9.9e6};
    for (const Model& model : Models()) {
        for (std::int32_t n : {20, 60, 136}) {
            for (double p1 : points) {
                for (double p2 : points) {
                    std::array<double, 2> p{p1, p2};
                    std::array<double, 2> g{};
                    const double f = model.objective(p, g, n, sys1);
                    auto numeric = test::CentralDifference(
                        [&](std::span<const double> q) {
                            std::array<double, 2> ignored{};
                            return model.objective(q, ignored, n, sys1);
                        },
                        p, 1e-5);
                    for (std::size_t k = 0; k < 2; ++k) {
                        // Rounding in f limits the difference quotient to about 1e-14 |f| / h.
                        const double noise = 1e-13 * std::fabs(f) / (1e-5 * p[k]);
                        EXPECT_TRUE(test::IsClose(g[k], numeric[k], 1e-5, noise))
                            << model.name << " n " << n << " p " << p1 << ", " << p2
                            << " component " << k;
                    }
                }
            }
        }
    }
}

// No time elapses before the fourth failure: every objective meets an infinity or a 0 / 0.
TEST(LittlewoodFamily, ArithmeticFaultInAnObjectiveGivesALargeFiniteValue) {
    Series zero = test::FromInterfailure({0.0, 0.0, 0.0, 0.0});
    for (const Model& model : Models()) {
        std::array<double, 2> p{3.0, 0.0};
        std::array<double, 2> g{1.0, 1.0};
        EXPECT_EQ(model.objective(p, g, 4, zero), 1e100) << model.name;
        EXPECT_EQ(g[0], 0.0) << model.name;
        EXPECT_EQ(g[1], 0.0) << model.name;
    }
}

// Where the likelihood rises towards N or mu -> infinity (most indices of sys1, all of the
// later ones) the Littlewood and Littlewood NHPP models become the Musa-Okumoto model, and
// their records predict exactly what it predicts.
TEST(LittlewoodFamily, LimitFitsAgreeWithMusaOkumoto) {
    Series sys1 = test::FromDataFile("sys1.txt");
    EstimatesArray mo;
    ASSERT_EQ(EstimateMO(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), mo, {}).status,
              EstimationStatus::Completed);
    for (auto [name, estimate] : {std::pair{"Li", &EstimateLi}, {"LNHPP", &EstimateLNHPP}}) {
        SCOPED_TRACE(name);
        EstimatesArray fit;
        ASSERT_EQ(estimate(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), fit, {}).status,
                  EstimationStatus::Completed);
        int limits = 0;
        for (std::int32_t i = 20; i <= 136; ++i) {
            if (fit[i].param1 != kInfiniteFaults) continue;
            ++limits;
            const std::pair<double, double> predictions[] = {
                {fit[i].lowQ, mo[i].lowQ}, {fit[i].median, mo[i].median}, {fit[i].uppQ, mo[i].uppQ},
                {fit[i].mttf, mo[i].mttf}, {fit[i].cdf, mo[i].cdf},       {fit[i].pdf, mo[i].pdf}};
            for (const auto& [limit, exact] : predictions) EXPECT_CLOSE(limit, exact, 1e-9) << i;
        }
        EXPECT_EQ(fit[136].param1, kInfiniteFaults);
        EXPECT_GT(limits, 50);
    }
}

using HessianObjective =
    std::function<double(std::span<const double> p, std::span<double> g, std::span<double> h,
                         std::int32_t n, const Series& data)>;

// The Hessians the minimiser steers by, against differences of the gradients (themselves
// checked above), from close to 0 to the box's edge.
TEST(LittlewoodFamily, HessianMatchesCentralDifferencesOfTheGradient) {
    const Series sys1 = test::FromDataFile("sys1.txt");
    const std::pair<const char*, HessianObjective> models[] = {
        {"Li", [](auto p, auto g, auto h, auto n,
                  const Series& d) { return ObjectiveLi(p, g, n, d.t, h); }},
        {"LNHPP", [](auto p, auto g, auto h, auto n,
                     const Series& d) { return ObjectiveLNHPP(p, g, n, 1e-15, d.t[n], d.t, h); }},
        {"LV", [](auto p, auto g, auto h, auto n,
                  const Series& d) { return ObjectiveLV(p, g, n, 1e-15, d.x, h); }},
        {"KL", [](auto p, auto g, auto h, auto n,
                  const Series& d) { return ObjectiveKL(p, g, n, 1e-15, d.x, h); }},
    };
    const double points[] = {1e-2, 0.3, 1.0, 10.0, 300.0, 1e4, 9.9e6};
    for (const auto& [name, objective] : models) {
        for (std::int32_t n : {20, 136}) {
            for (double p1 : points) {
                for (double p2 : points) {
                    const std::array<double, 2> p{p1, p2};
                    std::array<double, 2> g{};
                    std::array<double, 4> h{};
                    objective(p, g, h, n, sys1);
                    for (std::size_t k = 0; k < 2; ++k) {
                        const auto numeric = test::CentralDifference(
                            [&](std::span<const double> q) {
                                std::array<double, 2> gq{};
                                std::array<double, 4> ignored{};
                                objective(q, gq, ignored, n, sys1);
                                return gq[k];
                            },
                            p, 1e-5);
                        for (std::size_t l = 0; l < 2; ++l) {
                            // The gradient sums n terms of about 2 n / p[k]; their rounding
                            // limits the quotient, most on the flat ridge far out.
                            const double noise = 1e-15 * n * (2.0 * n / p[k]) / (1e-5 * p[l]);
                            EXPECT_TRUE(test::IsClose(h[2 * k + l], numeric[l], 1e-5, noise))
                                << name << " n " << n << " p " << p1 << ", " << p2 << " element "
                                << k << l;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tamsel
