// The Littlewood, Littlewood NHPP, Littlewood-Verrall and Keiller-Littlewood models: records
// against the textbook formulas (to 50 digits where the rewrites that keep digits matter), and
// objectives that are negative profile log-likelihoods with exact gradients.
#include <gtest/gtest.h>

#include <array>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::OnLine;
using test::Series;
using Real = boost::multiprecision::cpp_bin_float_50;

// The textbook values of a Littlewood or Littlewood NHPP record, to 50 digits. Its mean and
// quartiles are the predictive distribution's, checked on their own.
struct Textbook {
    Real param1;
    Real alpha;
    Real cdf;
    Real pdf;
};

Textbook LiTextbook(const Series& d, std::int32_t i, double remaining, double beta) {
    Real sum = 0;
    for (std::int32_t j = 1; j <= i; ++j) sum += log(1 + Real(d.t[j]) / beta);
    Real alpha = i / (sum + Real(remaining) * log(1 + Real(d.t[i]) / beta));
    Real a = remaining * alpha;
    Real b = Real(beta) + d.t[i];
    Real next = d.x[i + 1];
    Real survival = pow(b / (b + next), a);
    return {Real(remaining) + i, alpha, 1 - survival, a * survival / (b + next)};
}

Textbook LnhppTextbook(const Series& d, std::int32_t i, double remaining, double beta) {
    Real end = d.t[i];
    Real mu = Real(remaining) + i;
    Real alpha = log(1 + i / Real(remaining)) / log(1 + end / beta);
    Real rEnd = pow(1 + end / beta, -alpha);
    Real next = d.x[i + 1];
    Real rNext = pow(1 + (end + next) / beta, -alpha);
    Real survival = exp(-mu * (rEnd - rNext));
    return {mu, alpha, 1 - survival, alpha * mu * rNext * survival / (beta + end + next)};
}

// Down to a trillion remaining faults, where the rewrites that keep digits matter.
TEST(LittlewoodRecord, MatchesTheTextbookFormulasToFiftyDigits) {
    Series sys1 = test::FromDataFile("sys1.txt");
    using RecordAt = EstimateRecord (*)(const FailureSeries&, const FailureSeries&, std::int32_t,
                                        std::int32_t, double, double);
    struct Case {
        const char* model;
        RecordAt record;
        Textbook (*textbook)(const Series&, std::int32_t, double, double);
        std::int32_t i;
        double remaining;
        double beta;
    };
    for (const Case& c : {Case{"Li", &RecordLi, &LiTextbook, 40, 25.0, 3000.0},
                          Case{"Li", &RecordLi, &LiTextbook, 100, 1e12, 500.0},
                          Case{"Li", &RecordLi, &LiTextbook, 100, 1e12, 1e13},
                          Case{"LNHPP", &RecordLNHPP, &LnhppTextbook, 40, 30.0, 2000.0},
                          Case{"LNHPP", &RecordLNHPP, &LnhppTextbook, 100, 1e12, 500.0},
                          Case{"LNHPP", &RecordLNHPP, &LnhppTextbook, 100, 1e12, 1e9}}) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.remaining) + " " +
                     std::to_string(c.beta));
        EstimateRecord record = c.record(sys1.x, sys1.t, c.i, 136, c.remaining, c.beta);
        Textbook expected = c.textbook(sys1, c.i, c.remaining, c.beta);
        EXPECT_CLOSE(record.param1, static_cast<double>(expected.param1), 1e-15);
        EXPECT_CLOSE(record.param2, static_cast<double>(expected.alpha), 1e-13);
        EXPECT_EQ(record.param3, c.beta);
        EXPECT_EQ(record.logLhd, 0.0);
        EXPECT_CLOSE(record.cdf, static_cast<double>(expected.cdf), 1e-12);
        EXPECT_CLOSE(record.pdf, static_cast<double>(expected.pdf), 1e-12);
    }
}

// Pareto predictions with shape s and scale b: Littlewood-Verrall from the ends (first, last)
// of the line of scales, Keiller-Littlewood from the ratio of the ends of the line of inverse
// shapes and the scale.
TEST(ParetoRecord, FieldsFollowTheFittedValues) {
    Series sys1 = test::FromDataFile("sys1.txt");
    struct Expected {
        double param1, param2, param3;
    };
    auto lv = [&](std::int32_t i, double first, double last) {
        double sum = 0.0;
        for (std::int32_t j = 1; j <= i; ++j)
            sum += std::log1p(sys1.x[j] / OnLine(j, i, first, last));
        double slope = (last - first) / (i - 1);
        return Expected{i / sum, first - slope, slope};
    };
    auto kl = [&](std::int32_t i, double ratio, double beta) {
        double sum = 0.0;
        for (std::int32_t j = 1; j <= i; ++j) {
            sum += std::log1p(sys1.x[j] / beta) / OnLine(j, i, 1.0, ratio);
        }
        double first = sum / i;  // 1 / s(1)
        double slope = (ratio * first - first) / (i - 1);
        return Expected{first - slope, slope, beta};
    };
    struct Case {
        const char* what;
        bool lv;
        std::int32_t i;
        EstimateRecord record;
        Expected expected;
    };
    for (const Case& c : {
             Case{"LV", true, 40, RecordLV(sys1.x, 40, 136, 120.0, 900.0), lv(40, 120.0, 900.0)},
             Case{"LV equal ends", true, 60, RecordLV(sys1.x, 60, 136, 750.0, 750.0),
                  lv(60, 750.0, 750.0)},
             Case{"KL", false, 40, RecordKL(sys1.x, 40, 136, 3.0, 800.0), kl(40, 3.0, 800.0)},
             Case{"KL unit ratio", false, 60, RecordKL(sys1.x, 60, 136, 1.0, 2000.0),
                  kl(60, 1.0, 2000.0)},
             Case{"KL tiny ratio", false, 40, RecordKL(sys1.x, 40, 136, 1e-12, 500.0),
                  kl(40, 1e-12, 500.0)},
         }) {
        SCOPED_TRACE(c.what);
        const EstimateRecord& r = c.record;
        EXPECT_CLOSE(r.param1, c.expected.param1, 1e-13);
        EXPECT_CLOSE(r.param2, c.expected.param2, 1e-13);
        EXPECT_CLOSE(r.param3, c.expected.param3, 1e-13);
        EXPECT_EQ(r.logLhd, 0.0);
        // The prediction is that of the stored parameters: LV's scale and KL's inverse shape
        // are their lines at i, summed exactly (Alpha1 + Alpha2 i cancels for a tiny ratio).
        const long double line = c.lv ? static_cast<long double>(r.param3) * c.i + r.param2
                                      : static_cast<long double>(r.param2) * c.i + r.param1;
        const double s = c.lv ? r.param1 : static_cast<double>(1.0L / line);
        const double b = c.lv ? static_cast<double>(line) : r.param3;
        const double next = sys1.x[c.i + 1];
        const double survival = std::exp(-s * std::log1p(next / b));
        EXPECT_CLOSE(r.cdf, 1.0 - survival, 1e-12);
        EXPECT_CLOSE(r.pdf, s * survival / (next + b), 1e-12);
    }
}

// Running weights w1 += 1 / (n - 1) end a hair away from 1 and can make psi(n) negative for a
// huge first end and a tiny last end; the fit's psi(n) is the last end itself.
TEST(LvObjective, TinyLastEndAfterHugeFirstEndStaysFinite) {
    Series sys1 = test::FromDataFile("sys1.txt");
    for (std::int32_t n : {21, 49, 62, 68}) {
        std::array<double, 2> p{1e7, 0.0};
        std::array<double, 2> g{};
        EXPECT_LT(ObjectiveLV(p, g, n, 1e-15, sys1.x), 1e100) << n;
        EXPECT_TRUE(std::isfinite(g[0])) << n;
    }
}

// Each objective at p, its gradient in g.
struct Model {
    const char* name;
    std::function<double(std::span<const double> p, std::span<double> g, std::int32_t n,
                         const Series& d)>
        objective;
};

const Model kModels[] = {
    {"Li", [](auto p, auto g, auto n, const Series& d) { return ObjectiveLi(p, g, n, d.t); }},
    {"LNHPP", [](auto p, auto g, auto n,
                 const Series& d) { return ObjectiveLNHPP(p, g, n, 1e-15, d.t[n], d.t); }},
    {"LV",
     [](auto p, auto g, auto n, const Series& d) { return ObjectiveLV(p, g, n, 1e-15, d.x); }},
    {"KL",
     [](auto p, auto g, auto n, const Series& d) { return ObjectiveKL(p, g, n, 1e-15, d.x); }},
};

// From close to 0 to the box's edge at 1e7 in each variable.
TEST(LittlewoodFamily, GradientMatchesCentralDifferences) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const double points[] = {1e-2, 0.3, 1.0, 10.0, 300.0, 1e4, 9.9e6};
    for (const Model& model : kModels) {
        for (std::int32_t n : {20, 136}) {
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

}  // namespace
}  // namespace tamsel
