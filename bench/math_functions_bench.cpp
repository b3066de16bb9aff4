// Cost of the guarded and gamma functions, which the models call at every fit.
#include <benchmark/benchmark.h>

#include "tamsel/numeric/math_functions.h"

namespace {

void BM_Power(benchmark::State& state) {
    double x = 1.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(tamsel::Power(x, 2.7));
    }
}
BENCHMARK(BM_Power);

// The argument picks the branch: reduction to [1, 2), recurrence, Stirling, reflection.
void BM_Gamma(benchmark::State& state) {
    const double xs[] = {0.3, 1.5, 7.5, 50.5, -0.5};
    double x = xs[state.range(0)];
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(tamsel::Gamma(x));
    }
}
BENCHMARK(BM_Gamma)->DenseRange(0, 4);

void BM_GammaLn(benchmark::State& state) {
    const double xs[] = {0.3, 0.6, 1.2, 3.0, 7.5, 500.0};
    double x = xs[state.range(0)];
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(tamsel::GammaLn(x));
    }
}
BENCHMARK(BM_GammaLn)->DenseRange(0, 5);

// P(a, x) at x = a (the series, slowest near there) and x = 2 a + 1 (continued fraction).
void BM_GammaP(benchmark::State& state) {
    const double a = static_cast<double>(state.range(0)) / 10.0;
    double x = state.range(1) == 0 ? a : 2.0 * a + 1.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(tamsel::GammaP(x, a));
    }
}
BENCHMARK(BM_GammaP)->ArgsProduct({{5, 20, 100, 10000}, {0, 1}});

}  // namespace
