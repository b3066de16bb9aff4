// The cost a term of the likelihoods' logarithm sums: one logarithm a term against the running
// products of LogSum and Log1pSum, and KL's weighted sum with its logarithms taken one by one
// or all at once through each path of ScaledLog1p.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tamsel/numeric/log_sum.h"
#include "tamsel/numeric/vector_log.h"

namespace tamsel::bench {
namespace {

// Terms like those of the Littlewood fits: t_j / Beta over a wide range.
std::vector<double> Terms() {
    std::vector<double> terms;
    for (int k = 0; k < 1000; ++k)
        terms.push_back(std::pow(10.0, -6.0 + 8.0 * std::fmod(k * 0.618034, 1.0)));
    return terms;
}

// ln(1 + q) of each term, added.
struct EachLog1p {
    double sum = 0.0;
    void Add(double q) { sum += std::log1p(q); }
    double Value() const { return sum; }
};

// ln of each factor 1 + q, added.
struct EachLog {
    double sum = 0.0;
    void Add(double q) { sum += std::log(1.0 + q); }
    double Value() const { return sum; }
};

// The factors 1 + q into LogSum's product.
struct FactorsLogSum {
    LogSum sum;
    void Add(double q) { sum.Add(1.0 + q); }
    double Value() const { return sum.Value(); }
};

template <class Sum>
void BM_Sum(benchmark::State& state) {
    const std::vector<double> terms = Terms();
    for (auto _ : state) {
        Sum sum;
        for (double q : terms) sum.Add(q);
        benchmark::DoNotOptimize(sum.Value());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(terms.size()));
}

// sum w_j ln(1 + q_j), as KL weights each logarithm by its failure's shape. Argument: -1 for a
// log1p a term, else the VectorPath of ScaledLog1p.
void BM_WeightedLog1pSum(benchmark::State& state) {
    const std::vector<double> terms = Terms();
    std::vector<double> weights;
    for (std::size_t j = 0; j < terms.size(); ++j) weights.push_back(1.0 / (1.0 + 0.001 * j));
    std::vector<double> logs(terms.size());
    const auto path = static_cast<int>(state.range(0));
    if (path > static_cast<int>(WidestPath())) state.SkipWithError("path not on this CPU");
    for (auto _ : state) {
        if (path >= 0) ScaledLog1p(terms, 1.0, logs, static_cast<VectorPath>(path));
        double sum = 0.0;
        for (std::size_t j = 0; j < terms.size(); ++j) {
            sum += weights[j] * (path >= 0 ? logs[j] : std::log1p(terms[j]));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(terms.size()));
}

BENCHMARK(BM_WeightedLog1pSum)->DenseRange(-1, 2);
BENCHMARK_TEMPLATE(BM_Sum, EachLog1p);
BENCHMARK_TEMPLATE(BM_Sum, Log1pSum);
BENCHMARK_TEMPLATE(BM_Sum, EachLog);
BENCHMARK_TEMPLATE(BM_Sum, FactorsLogSum);

}  // namespace
}  // namespace tamsel::bench
