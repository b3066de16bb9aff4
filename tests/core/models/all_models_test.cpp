// What the eight models share: their predictive distributions seen through the stored records
// (the fit at i does not depend on x(i+1), so refitting with another next time s gives the
// distribution function and density at s), published estimates, and refused percentiles.
#include <gtest/gtest.h>

#include <boost/math/quadrature/exp_sinh.hpp>
#include <cmath>
#include <functional>
#include <span>
#include <string>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/du_model.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/mo_model.h"
#include "tamsel/models/model_table.h"
#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

using test::FitMaker;
using test::RecordWithNext;
using test::ReferenceSettings;
using test::Series;

// The model's fit at each index for the reference settings.
FitMaker MakerOf(const ModelInfo& model) {
    return [&model](const FailureSeries& x, const FailureSeries& t, std::int32_t end) {
        return model.prepare(x, t, end, ReferenceSettings());
    };
}

// Calls check with every model, at indices of sys1, the full NTDS and CSR2.
void ForEachModelAndPoint(
    const std::function<void(const ModelInfo&, const Series&, std::int32_t)>& check) {
    struct Point {
        const char* file;
        std::int32_t i;
    };
    const Point points[] = {{"sys1.txt", 40},      {"sys1.txt", 90},      {"sys1.txt", 135},
                            {"ntds_full.txt", 22}, {"ntds_full.txt", 30}, {"csr2.txt", 100}};
    for (const ModelInfo& model : ModelTable()) {
        for (const Point& point : points) {
            SCOPED_TRACE(std::string(model.code) + " " + point.file + " at " +
                         std::to_string(point.i));
            check(model, test::FromDataFile(point.file), point.i);
        }
    }
}

TEST(PredictiveDistribution, PercentilesInvertTheDistributionFunction) {
    int checked = 0;
    ForEachModelAndPoint([&](const ModelInfo& model, const Series& series, std::int32_t i) {
        EstimateRecord record = MakerOf(model)(series.x, series.t, i)(i);
        for (auto [p, quartile] : {std::pair{0.25, record.lowQ}, std::pair{0.5, record.median},
                                   std::pair{0.75, record.uppQ}}) {
            if (quartile >= 1e29) continue;  // a distribution that never reaches p
            EXPECT_CLOSE(RecordWithNext(MakerOf(model), series, i, quartile).cdf, p, 1e-9);
            ++checked;
        }
    });
    EXPECT_GT(checked, 50);
}

TEST(PredictiveDistribution, DensityIsTheSlopeOfTheDistributionFunction) {
    ForEachModelAndPoint([](const ModelInfo& model, const Series& series, std::int32_t i) {
        double s = series.x[i + 1];
        EstimateRecord record = RecordWithNext(MakerOf(model), series, i, s);
        if (record.pdf == kVanishing) return;  // all faults found: no next failure
        // Central differences with h = 1e-4 s are accurate to about 1e-8 here.
        double h = 1e-4 * s;
        double slope = (RecordWithNext(MakerOf(model), series, i, s + h).cdf -
                        RecordWithNext(MakerOf(model), series, i, s - h).cdf) /
                       (2.0 * h);
        EXPECT_CLOSE(record.pdf, slope, 1e-6);
    });
}

TEST(PredictiveDistribution, MeanIsTheIntegralOfTheSurvivalFunction) {
    int integrated = 0;
    ForEachModelAndPoint([&](const ModelInfo& model, const Series& series, std::int32_t i) {
        EstimateRecord record = MakerOf(model)(series.x, series.t, i)(i);
        // Infinite or unreported means are the models' own tests' business, and so are the
        // Littlewood family's: LNHPP's mean is a first-order approximation, and the Pareto
        // tails of the others can be too heavy for 1 - Cdf to keep its digits.
        if (record.mttf == kInfiniteMttf || record.mttf == kNoMttf || model.number > 4) {
            return;
        }
        auto survival = [&](double s) {
            return 1.0 - RecordWithNext(MakerOf(model), series, i, s).cdf;
        };
        boost::math::quadrature::exp_sinh<double> integrator;
        EXPECT_CLOSE(record.mttf, integrator.integrate(survival, 1e-10), 1e-7);
        ++integrated;
    });
    EXPECT_GT(integrated, 10);
}

TEST(ModelFits, ReproduceThePublishedEstimates) {
    struct Case {
        const char* model;
        const char* file;
        std::int32_t i;
        double param1;  // N or Mu
        double param2;  // Lambda or Phi
    };
    // The minimisers stop when y = 1 / (N - i + R) or z = 1 / Phi is bracketed to a relative
    // 1e-8, which puts the parameters within about 1e-8 of the maximum.
    for (const Case& c : {Case{"JM", "ntds.txt", 26, 31.21587, 6.849373e-3},
                          Case{"JM", "sys1.txt", 136, 141.90289, 3.4966516e-5},
                          Case{"GO", "ntds.txt", 26, 33.99350, 5.790161e-3},
                          Case{"GO", "sys1.txt", 136, 142.88091, 3.4203784e-5}}) {
        SCOPED_TRACE(std::string(c.model) + " " + c.file);
        Series series = test::FromDataFile(c.file);
        const bool jm = std::string(c.model) == "JM";
        EstimateRecord record =
            (jm ? PrepareJM : PrepareGO)(series.x, series.t, c.i, ReferenceSettings())(c.i);
        EXPECT_CLOSE(record.param1, c.param1, 1e-6);
        EXPECT_CLOSE(record.param2, c.param2, 1e-6);
        EXPECT_EQ(record.param3, 0.0);
        EXPECT_EQ(record.logLhd, 0.0);
        EXPECT_EQ(record.pdf, 0.0);
        EXPECT_EQ(record.cdf, 0.0);
        double rate = (record.param1 - c.i) * record.param2;
        if (jm) {
            EXPECT_CLOSE(record.mttf, 1.0 / rate, 1e-14);
        } else {
            EXPECT_EQ(record.mttf, kInfiniteMttf);
        }
    }
}

// Samples drawn from each model with known parameters. Failure-truncated samples of the
// Poisson-process models take the k-th failure at m^-1(E_k), E_k the arrival times of a
// unit-rate Poisson process.
TEST(ModelFits, RecoverPlantedParameters) {
    using LogLikelihood = std::function<double(const Series&, std::span<const double> p)>;
    struct Case {
        const char* model;
        std::vector<std::uint64_t> seeds;
        std::function<Series(test::Simulator&)> sample;
        std::int32_t rangeBack;  // the fit runs over the last rangeBack + 1 failures
        LogLikelihood logLik;    // of the parameters in the order they are stored
        std::vector<double> planted;
        double sigmas;  // how far, in standard errors, the fit may lie from planted
    };
    const Case cases[] = {
        {"JM",
         {1, 2, 3, 4, 5},
         [](test::Simulator& random) {
             std::vector<double> times;
             for (int j = 1; j <= 360; ++j) times.push_back(random.Exponential((401 - j) * 1e-3));
             return test::FromInterfailure(times);
         },
         0,
         [](const Series& d, std::span<const double> p) {
             double sum = 0.0;
             for (std::int32_t j = 1; j <= d.Count(); ++j) {
                 const double rate = (p[0] - j + 1) * p[1];
                 sum += std::log(rate) - rate * d.x[j];
             }
             return sum;
         },
         {400.0, 1e-3},
         4.0},
        {"GO",
         {11, 12, 13, 14, 15},
         [](test::Simulator& random) {
             std::vector<double> times;
             double arrival = 0.0;
             for (int k = 1; k <= 240; ++k) {
                 arrival += random.Exponential(1.0);
                 times.push_back(-std::log1p(-arrival / 300.0) / 1e-3);
             }
             return test::FromCumulative(times);
         },
         0,
         [](const Series& d, std::span<const double> p) {
             const std::int32_t n = d.Count();
             double sum = 0.0;
             for (std::int32_t j = 1; j <= n; ++j) sum += d.t[j];
             return n * std::log(p[0] * p[1]) - p[1] * sum + p[0] * std::expm1(-p[1] * d.t[n]);
         },
         {300.0, 1e-3},
         4.0},
        // Beyond failure 709 e^i overflows, beyond about 1490 theta0 underflows to 0.
        {"MO",
         {7},
         [](test::Simulator& random) {
             std::vector<double> times;
             double arrival = 0.0;
             for (int k = 1; k <= 2000; ++k) {
                 arrival += random.Exponential(1.0);
                 times.push_back(50.0 * std::expm1(arrival / 200.0));
             }
             return test::FromCumulative(times);
         },
         600,
         [](const Series& d, std::span<const double> p) {
             const std::int32_t n = d.Count();
             double sum = n * std::log(p[1]) - p[1] * std::log1p(d.t[n] / p[0]);
             for (std::int32_t j = 1; j <= n; ++j) sum -= std::log(p[0] + d.t[j]);
             return sum;
         },
         {50.0, 200.0},
         4.0},
        // Up to the time where m(t) = 950.
        {"LNHPP",
         {2024},
         [](test::Simulator& random) {
             std::vector<double> times;
             for (double arrival = random.Exponential(1.0); arrival < 950.0;
                  arrival += random.Exponential(1.0)) {
                 times.push_back(100.0 * std::expm1(-std::log1p(-arrival / 1000.0) / 2.0));
             }
             return test::FromCumulative(times);
         },
         0,
         [](const Series& d, std::span<const double> p) {
             return test::LnhppLogLikelihood(d.t, d.Count(), p[0], p[1], p[2]);
         },
         {1000.0, 2.0, 100.0},
         3.0},
        {"LV",
         {2024},
         [](test::Simulator& random) {
             std::vector<double> times;
             for (int j = 1; j <= 300; ++j) {
                 times.push_back((20.0 + 5.0 * j) * std::expm1(random.Exponential(1.0) / 4.0));
             }
             return test::FromInterfailure(times);
         },
         0,
         [](const Series& d, std::span<const double> p) {
             return test::ParetoLogLikelihood(
                 d.x, d.Count(), [&](std::int32_t) { return p[0]; },
                 [&](std::int32_t j) { return p[1] + p[2] * j; });
         },
         {4.0, 20.0, 5.0},
         3.0},
    };
    for (const Case& c : cases) {
        for (std::uint64_t seed : c.seeds) {
            SCOPED_TRACE(std::string(c.model) + " seed " + std::to_string(seed));
            test::Simulator random(seed);
            const Series data = c.sample(random);
            const std::int32_t n = data.Count();
            EstimatesArray estimates;
            ASSERT_EQ(FindModel(c.model)
                          ->estimate(data.x, data.t, n - c.rangeBack, n, ReferenceSettings(),
                                     estimates, RunControl())
                          .status,
                      EstimationStatus::Completed);
            const EstimateRecord& fit = estimates[n];
            std::vector<double> fitted{fit.param1, fit.param2, fit.param3};
            fitted.resize(c.planted.size());
            std::vector<double> se = test::StandardErrors(
                [&](std::span<const double> p) { return -c.logLik(data, p); }, fitted);
            for (std::size_t k = 0; k < fitted.size(); ++k) {
                EXPECT_LT(std::fabs(fitted[k] - c.planted[k]), c.sigmas * se[k])
                    << "parameter " << k + 1 << ": " << fitted[k] << " se " << se[k];
            }
        }
    }
}

TEST(Percentiles, OutsideTheUnitIntervalShowMessageAndGiveZero) {
    struct Case {
        const char* model;
        std::function<double(double p)> at;
        MessageIcon icon;
    };
    const Case cases[] = {
        {"JM", [](double p) { return PercentileJM(p, 2.0); }, MessageIcon::Information},
        {"Du", [](double p) { return PercentileDu(p, 250.0, 1.0, 0.1); }, MessageIcon::None},
        {"MO", [](double p) { return PercentileMO(p, 40.0, 200.0, 3.5); }, MessageIcon::None},
        {"GO", [](double p) { return PercentileGO(p, 0.01, 100.0, 50.0); }, MessageIcon::None},
        {"HPP", [](double p) { return PercentileHpp(p, 1.0); }, MessageIcon::None},
        {"Li", [](double p) { return PercentileLi(p, 3.0, 400.0); }, MessageIcon::None},
        {"LNHPP", [](double p) { return PercentileLNHPP(p, 300.0, 2.0, 100.0, 1600.0); },
         MessageIcon::None},
        {"LV", [](double p) { return PercentileLV(p, 400.0, 3.0); }, MessageIcon::None},
        {"KL", [](double p) { return PercentileKL(p, 400.0, 3.0); }, MessageIcon::None},
    };
    for (const Case& c : cases) {
        for (double p : {1.2, -0.1}) {
            SCOPED_TRACE(std::string(c.model) + " " + std::to_string(p));
            test::RecordingSink sink;
            EXPECT_EQ(c.at(p), 0.0);
            ASSERT_EQ(sink.Count(), 1u);
            EXPECT_EQ(sink.Texts()[0],
                      "The percentile must be a number between 0 and 1.\r\n"
                      "A value of 0 for this percentile is returned");
            EXPECT_EQ(sink.Entries()[0].icon, c.icon);
        }
    }
}

}  // namespace
}  // namespace tamsel
