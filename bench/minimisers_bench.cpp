// Cost of the minimisers per solve on smooth test functions.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "tamsel/numeric/minimise_1d.h"
#include "tamsel/numeric/minimise_nd.h"

namespace tamsel {
namespace {

// What a test objective needs besides the point.
struct ObjectiveData {
    double r = 0.0;
    double c = 0.0;
    const std::vector<double>* series = nullptr;
};

// ---- One-dimensional minimiser -----------------------------------------------------------

// The settings shipped for double precision.
constexpr double kRel1D = 1e-8;
constexpr double kAbs1D = 1e-15;
constexpr std::int32_t kMaxIter1D = 300;

using Function1D = double (*)(double z, const ObjectiveData& data);

double Quadratic1D(double z, const ObjectiveData& d) { return (z - d.r) * (z - d.r); }
double Quartic1D(double z, const ObjectiveData& d) { return std::pow(z - d.r, 4); }
double XLogX1D(double z, const ObjectiveData&) { return z * std::log(z); }

// -sum ln(1 + y_i k) + c k over the series y (element 0 unused).
double Likelihood1D(double k, const ObjectiveData& d) {
    double sum = 0.0;
    for (std::size_t i = 1; i < d.series->size(); ++i) sum += std::log1p((*d.series)[i] * k);
    return -sum + d.c * k;
}

// The SYS1 interfailure times in thousands of seconds, element 0 unused.
const std::vector<double>& Sys1Series() {
    static const std::vector<double> series = [] {
        std::vector<double> values{0.0};
        std::ifstream in(std::string(TAMSEL_DATA_DIR) + "/sys1.txt");
        for (double value; in >> value;) values.push_back(value / 1000.0);
        return values;
    }();
    return series;
}

void Solve1D(benchmark::State& state, Function1D f, const ObjectiveData& data, double x, double lo,
             double hi) {
    std::int32_t count = 0;
    for (auto _ : state) {
        Minimise1DResult result =
            Minimise1D([&](double z) { return f(z, data); }, x, lo, hi, kRel1D, kAbs1D, kMaxIter1D);
        benchmark::DoNotOptimize(result);
        count = result.count;
    }
    state.counters["evaluations"] = count;
}

void BM_Minimise1D_Quadratic(benchmark::State& state) {
    ObjectiveData data;
    data.r = 3.0;
    Solve1D(state, &Quadratic1D, data, 1.0, 0.0, 10.0);
}
BENCHMARK(BM_Minimise1D_Quadratic);

void BM_Minimise1D_QuadraticFarFromStart(benchmark::State& state) {
    ObjectiveData data;
    data.r = 7000.0;
    Solve1D(state, &Quadratic1D, data, 10.0, 0.0, 1e4);
}
BENCHMARK(BM_Minimise1D_QuadraticFarFromStart);

void BM_Minimise1D_Quartic(benchmark::State& state) {
    ObjectiveData data;
    data.r = 2.5;
    Solve1D(state, &Quartic1D, data, 7.0, 0.0, 10.0);
}
BENCHMARK(BM_Minimise1D_Quartic);

void BM_Minimise1D_XLogX(benchmark::State& state) {
    Solve1D(state, &XLogX1D, ObjectiveData{}, 2.5, 0.0, 3.0);
}
BENCHMARK(BM_Minimise1D_XLogX);

// A likelihood over the whole of SYS1 (136 failures): each evaluation is linear in the
// number of failures, as for the models that use the minimiser.
void BM_Minimise1D_Likelihood(benchmark::State& state) {
    ObjectiveData data;
    data.c = 2.0;
    data.series = &Sys1Series();
    Solve1D(state, &Likelihood1D, data, 5.0, 0.0, 100.0);
}
BENCHMARK(BM_Minimise1D_Likelihood);

}  // namespace
}  // namespace tamsel

// ---- Multi-dimensional minimiser ---------------------------------------------------------

namespace tamsel {
namespace {

// The settings shipped for double precision.
constexpr double kAbsND = 1e-15;
constexpr double kEtaND = 0.4;
constexpr double kToleranceND = 1e-7;
constexpr std::int32_t kMaxIterND = 300;

using FunctionND = double (*)(std::span<const double> x, std::span<double> g,
                              const ObjectiveData& data);

double RosenbrockND(std::span<const double> x, std::span<double> g, const ObjectiveData&) {
    const double a = x[1] - x[0] * x[0];
    const double b = 1.0 - x[0];
    g[0] = -400.0 * x[0] * a - 2.0 * b;
    g[1] = 200.0 * a;
    return 100.0 * a * a + b * b;
}

// (x - 1)^2 + (x - 1)(y + 2) + 2 (y + 2)^2.
double QuadraticND(std::span<const double> x, std::span<double> g, const ObjectiveData&) {
    const double u = x[0] - 1.0;
    const double v = x[1] + 2.0;
    g[0] = 2.0 * u + v;
    g[1] = u + 4.0 * v;
    return u * u + u * v + 2.0 * v * v;
}

// x^2 + (y^2 - 1)^2, a saddle at the origin.
double SaddleND(std::span<const double> x, std::span<double> g, const ObjectiveData&) {
    const double q = x[1] * x[1] - 1.0;
    g[0] = 2.0 * x[0];
    g[1] = 4.0 * x[1] * q;
    return x[0] * x[0] + q * q;
}

// Negative log-likelihood of Pareto interfailure times with shape x^2 and scale y^2 over
// the series: the shape of the three-parameter models' objectives, linear in the failures.
double ParetoND(std::span<const double> x, std::span<double> g, const ObjectiveData& d) {
    const double alpha = x[0] * x[0];
    const double psi = x[1] * x[1];
    const std::vector<double>& t = *d.series;
    const double n = static_cast<double>(t.size() - 1);
    double sumLog = 0.0;
    double sumInverse = 0.0;
    for (std::size_t i = 1; i < t.size(); ++i) {
        sumLog += std::log(psi + t[i]);
        sumInverse += 1.0 / (psi + t[i]);
    }
    const double f = -(n * std::log(alpha) + n * alpha * std::log(psi) - (alpha + 1.0) * sumLog);
    g[0] = -(n / alpha + n * std::log(psi) - sumLog) * 2.0 * x[0];
    g[1] = -(n * alpha / psi - (alpha + 1.0) * sumInverse) * 2.0 * x[1];
    return f;
}

void SolveND(benchmark::State& state, FunctionND f, std::vector<double> start,
             std::vector<double> bounds, const ObjectiveData& data = {}) {
    MinimiseNDResult result;
    for (auto _ : state) {
        result = MinimiseND(
            [&](std::span<const double> x, std::span<double> g) { return f(x, g, data); }, start,
            bounds, kAbsND, kEtaND, kToleranceND, kMaxIterND);
        benchmark::DoNotOptimize(result);
    }
    state.counters["evaluations"] = result.evaluations;
    state.counters["iterations"] = result.iterations;
    state.counters["termination"] = static_cast<double>(result.termination);
}

void BM_MinimiseND_Rosenbrock(benchmark::State& state) {
    const std::vector<std::vector<double>> starts = {
        {-1.2, 1.0}, {0.0, 0.0}, {2.0, -1.0}, {-1.5, 2.5}};
    SolveND(state, &RosenbrockND, starts[state.range(0)], {5.0, 5.0});
}
BENCHMARK(BM_MinimiseND_Rosenbrock)->DenseRange(0, 3);

void BM_MinimiseND_Quadratic(benchmark::State& state) {
    SolveND(state, &QuadraticND, {4.0, 4.0}, {5.0, 5.0});
}
BENCHMARK(BM_MinimiseND_Quadratic);

// From the saddle itself (negative curvature only) and from beside it.
void BM_MinimiseND_Saddle(benchmark::State& state) {
    const std::vector<std::vector<double>> starts = {{0.0, 0.0}, {0.5, 0.1}};
    SolveND(state, &SaddleND, starts[state.range(0)], {5.0, 5.0});
}
BENCHMARK(BM_MinimiseND_Saddle)->DenseRange(0, 1);

// Over SYS1 (136 failures) from the models' usual start, inside their usual box.
void BM_MinimiseND_ParetoLikelihood(benchmark::State& state) {
    ObjectiveData data;
    data.series = &Sys1Series();
    SolveND(state, &ParetoND, {1.0, 1.0}, {1e7, 1e7}, data);
}
BENCHMARK(BM_MinimiseND_ParetoLikelihood);

}  // namespace
}  // namespace tamsel
