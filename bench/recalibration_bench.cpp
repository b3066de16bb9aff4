// Cost of the spline recalibration: one adaptive fit over a u-plot, and a whole run over
// the predictions of a set, whose fits grow with the index.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "tamsel/recalibration/cub_spl.h"
#include "tamsel/recalibration/spline_fit.h"

namespace tamsel {
namespace {

// The raw predictions of exponential times by a predictor whose rate is twice the true one:
// u and f with element 0 unused.
struct RawPredictions {
    std::vector<double> u{0.0};
    std::vector<double> f{0.0};
};

RawPredictions BiasedPredictions(int m) {
    std::mt19937 random(1);
    std::exponential_distribution<double> time(1.0);
    RawPredictions raw;
    for (int k = 1; k <= m; ++k) {
        const double x = time(random);
        raw.u.push_back(-std::expm1(-2.0 * x));
        raw.f.push_back(2.0 * std::exp(-2.0 * x));
    }
    return raw;
}

// The stored method's settings: Iter 300, NI 4, SqMax 1.
const SplineSettings kStoredMethod{300, 4, 1.0, 15};

void BM_NewAdapOneCoordinate(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    UPlot plot;
    const RawPredictions raw = BiasedPredictions(points - 2);
    for (std::size_t k = 1; k < raw.u.size(); ++k) plot.Add(raw.u[k]);
    const std::vector<double> y = plot.Ordinates(points - 1);
    const std::vector<double> s = ChordLengths(plot.Abscissae(), y);
    const std::vector<double> weights(s.size(), 1.0);
    for (auto _ : state) {
        AdaptiveFit fit = NewAdap(s, y, weights, 4, 1.0, 300);
        benchmark::DoNotOptimize(fit.curve.coefficients.data());
    }
    state.SetComplexityN(points);
}
BENCHMARK(BM_NewAdapOneCoordinate)->RangeMultiplier(4)->Range(16, 4096)->Complexity();

void BM_CubSplWholeSet(benchmark::State& state) {
    const int m = static_cast<int>(state.range(0));
    const RawPredictions raw = BiasedPredictions(m);
    for (auto _ : state) {
        SplineRecalibration result = CubSpl(raw.u, raw.f, kStoredMethod, RunControl());
        benchmark::DoNotOptimize(result.recalCdf.data());
    }
    state.SetComplexityN(m);
}
// 117 and 378 predictions: the default range of SYS1 and of CSR1.
BENCHMARK(BM_CubSplWholeSet)->Arg(117)->Arg(378)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tamsel
