// The cost a term of the likelihoods' logarithm sums: one logarithm a term against the running
// products of LogSum and Log1pSum, which a vectorised logarithm would have to beat.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "tamsel/numeric/log_sum.h"

namespace tamsel::bench {
namespace {

// Terms like those of the Littlewood fits: t_j / Beta over a wide range.
std::vector<double> Terms() {
    std::vector<double> terms;
    for (int k = 0; k < 1000; ++k)
        terms.push_back(std::pow(10.0, -6.0 + 8.0 * std::fmod(k * 0.618034, 1.0)));
    return terms;
}

void PerTerm(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * 1000); }

void BM_Log1pEachTerm(benchmark::State& state) {
    const std::vector<double> terms = Terms();
    for (auto _ : state) {
        double sum = 0.0;
        for (double q : terms) sum += std::log1p(q);
        benchmark::DoNotOptimize(sum);
    }
    PerTerm(state);
}

void BM_Log1pSum(benchmark::State& state) {
    const std::vector<double> terms = Terms();
    for (auto _ : state) {
        Log1pSum sum;
        for (double q : terms) sum.Add(q);
        benchmark::DoNotOptimize(sum.Value());
    }
    PerTerm(state);
}

void BM_LogEachTerm(benchmark::State& state) {
    const std::vector<double> terms = Terms();
    for (auto _ : state) {
        double sum = 0.0;
        for (double q : terms) sum += std::log(1.0 + q);
        benchmark::DoNotOptimize(sum);
    }
    PerTerm(state);
}

void BM_LogSum(benchmark::State& state) {
    const std::vector<double> terms = Terms();
    for (auto _ : state) {
        LogSum sum;
        for (double q : terms) sum.Add(1.0 + q);
        benchmark::DoNotOptimize(sum.Value());
    }
    PerTerm(state);
}

BENCHMARK(BM_Log1pEachTerm);
BENCHMARK(BM_Log1pSum);
BENCHMARK(BM_LogEachTerm);
BENCHMARK(BM_LogSum);

}  // namespace
}  // namespace tamsel::bench
