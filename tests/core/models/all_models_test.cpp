// What the eight models share: their predictive distributions seen through the stored records
// (the fit at i does not depend on x(i+1), so refitting with another next time s gives the
// distribution function and density at s), published estimates, and refused percentiles.
#include <gtest/gtest.h>

#include <boost/math/quadrature/exp_sinh.hpp>
#include <cmath>
#include <functional>
#include <string>

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
