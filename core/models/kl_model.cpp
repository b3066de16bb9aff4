#include "tamsel/models/kl_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "littlewood_support.h"
#include "process_support.h"
#include "tamsel/numeric/harmonic.h"
#include "tamsel/numeric/lanes.h"
#include "tamsel/numeric/log_sum.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/numeric/vector_log.h"
#include "window_fit.h"

namespace tamsel {
namespace {

constexpr double kStart = 1.0;

// s(j) / s(1) = 1 / (w0 + A w1) on the window 1..n, with the weights from exact integer
// ratios so that the last one is exactly A.
double RelativeShape(std::int32_t j, std::int32_t n, double ratio) {
    return (n - 1) / ((n - j) + ratio * (j - 1));
}

// The next interfailure time is Pareto with shape s(n), 1 / s(n) = Alpha1 + Alpha2 n summed
// in extended precision (the terms nearly cancel when A is far below 1), and scale Beta. A
// sum <= 0 stands for an infinite shape.
Pareto ParetoKL(const StoredFit& fit) {
    const long double inverse = static_cast<long double>(fit.param2) * fit.index + fit.param1;
    const long double shape =
        inverse > 0.0L ? 1.0L / inverse : std::numeric_limits<long double>::infinity();
    return MakePareto(shape, fit.param3);
}

// The objective's value n (1 - ln level) - sum ln k_j + sum ln(Beta + x_j) from D = sum k_j l_j
// and the two logarithm sums, at the best level n / D.
double ValueKL(std::int32_t n, double shapeLog, double logShape, double logShifted) {
    return n * (1.0 - std::log(n / shapeLog)) - logShape + logShifted;
}

}  // namespace

double ObjectiveKL(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                   const FailureSeries& x, std::span<double> h) {
    const double ratio = p[0] * p[0] + eps;
    const double beta = p[1] * p[1] + eps;
    // With k_j the relative shape, w1 the weight of A in 1 / k_j, l_j = ln(1 + x_j / Beta) and
    // s_j = x_j / ((Beta + x_j) Beta) = -dl_j / dBeta:
    struct Sums {
        double shapeLog;        // D = sum k_j l_j
        double shapeLast;       // sum k_j w1
        double shapeLastSq;     // sum (k_j w1)^2
        double shapeSqLog;      // sum k_j^2 w1 l_j
        double shapeCubeLog;    // sum k_j^3 w1^2 l_j
        double invShifted;      // sum 1 / (Beta + x_j)
        double invShiftedSq;    // sum 1 / (Beta + x_j)^2
        double shapeShare;      // sum k_j s_j
        double shapeShareLast;  // sum k_j^2 w1 s_j
        double shapeShareByX;   // sum k_j s_j / (Beta + x_j)
        double logShifted;      // sum ln(Beta + x_j)
        double logShape;        // sum ln k_j
    };
    const double invBeta = 1.0 / beta;
    // The logarithms, a quarter of the cost of all eight models on long data, all at once.
    thread_local std::vector<double> logRatios;
    logRatios.resize(static_cast<std::size_t>(n) + 1);
    ScaledLog1p(std::span(x).subspan(1, n), invBeta, std::span(logRatios).subspan(1, n));
    const Sums s = OnLanes([&] {
        // The ten plain sums in the order of Sums, then the two logarithm sums.
        std::array<Lanes, 10> sums{};
        LaneLogSum logShifted;
        LaneLogSum logShape;
        const double step = 1.0 / (n - 1);
        ForEachGroup(1, n, [&](std::int32_t j, const auto& group) {
            const Lanes index = LaneIndices(j);
            const Lanes lastWeight = (index - 1.0) * step;
            // The relative shape, as RelativeShape gives it.
            const Lanes shape =
                (n - 1.0) / ((static_cast<double>(n) - index) + ratio * (index - 1.0));
            const Lanes xj = group.Load(&x[j]);
            const Lanes shifted = beta + xj;
            const Lanes invShifted = 1.0 / shifted;
            const Lanes logRatio = group.Load(&logRatios[j]);
            const Lanes shapeLast = shape * lastWeight;
            const Lanes shapeShare = shape * xj * invShifted * invBeta;
            const std::array<Lanes, 10> terms{shape * logRatio,
                                              shapeLast,
                                              shapeLast * shapeLast,
                                              shape * shapeLast * logRatio,
                                              shape * shapeLast * shapeLast * logRatio,
                                              invShifted,
                                              invShifted * invShifted,
                                              shapeShare,
                                              shapeLast * shapeShare,
                                              shapeShare * invShifted};
            for (std::size_t k = 0; k < sums.size(); ++k) sums[k] += group.Keep(terms[k]);
            logShifted.Add(group.Keep(shifted, 1.0));
            logShape.Add(group.Keep(shape, 1.0));
        });
        return Sums{Total(sums[0]), Total(sums[1]), Total(sums[2]),     Total(sums[3]),
                    Total(sums[4]), Total(sums[5]), Total(sums[6]),     Total(sums[7]),
                    Total(sums[8]), Total(sums[9]), logShifted.Value(), logShape.Value()};
    });
    const double level = n / s.shapeLog;  // s(j) = level k_j
    Curvature d;
    d.first = {-s.shapeSqLog, -s.shapeShare};
    d.second = {2.0 * s.shapeCubeLog, s.shapeShareLast, s.shapeShare / beta + s.shapeShareByX};
    Curvature r;  // of sum ln(Beta + x_j) - sum ln k_j
    r.first = {s.shapeLast, s.invShifted};
    r.second = {-s.shapeLastSq, 0.0, -s.invShiftedSq};
    return FinishObjective(ValueKL(n, s.shapeLog, s.logShape, s.logShifted), p,
                           ProfileCurvature(n, level, d, r), g, h);
}

void GridKL(std::span<const double> points, std::int32_t n, double eps, const FailureSeries& x,
            std::span<double> values) {
    const std::size_t size = points.size();
    const auto length = static_cast<std::size_t>(n) + 1;
    // Both variables run over the same values v_k = points[k]^2 + eps. For each: the relative
    // shapes k_j and sum ln k_j at A = v_k, and l_j and sum ln(Beta + x_j) at Beta = v_k, each
    // as ObjectiveKL takes it; only D = sum k_j l_j needs both.
    std::vector<double> shapes(size * length);
    std::vector<double> logRatios(size * length);
    std::vector<double> logShape(size);
    std::vector<double> logShifted(size);
    for (std::size_t k = 0; k < size; ++k) {
        const double v = points[k] * points[k] + eps;
        double* shape = &shapes[k * length];
        for (std::int32_t j = 1; j <= n; ++j) shape[j] = RelativeShape(j, n, v);
        ScaledLog1p(std::span(x).subspan(1, n), 1.0 / v,
                    std::span(logRatios).subspan(k * length + 1, n));
        std::tie(logShape[k], logShifted[k]) = OnLanes([&] {
            LaneLogSum shapeSum;
            LaneLogSum shiftedSum;
            ForEachGroup(1, n, [&](std::int32_t j, const auto& group) {
                shapeSum.Add(group.Keep(group.Load(&shape[j]), 1.0));
                shiftedSum.Add(group.Keep(v + group.Load(&x[j]), 1.0));
            });
            return std::pair{shapeSum.Value(), shiftedSum.Value()};
        });
    }
    for (std::size_t k0 = 0; k0 < size; ++k0) {
        const double* shape = &shapes[k0 * length];
        for (std::size_t k1 = 0; k1 < size; ++k1) {
            const double* logRatio = &logRatios[k1 * length];
            const double shapeLog = OnLanes([&] {
                Lanes sum{};
                ForEachGroup(1, n, [&](std::int32_t j, const auto& group) {
                    sum += group.Keep(group.Load(&shape[j]) * group.Load(&logRatio[j]));
                });
                return Total(sum);
            });
            values[k0 * size + k1] = GuardValue(ValueKL(n, shapeLog, logShape[k0], logShifted[k1]));
        }
    }
}

EstimateRecord RecordKL(const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd, double ratio,
                        double beta) {
    double sumShapeLog = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) {
        sumShapeLog += RelativeShape(j, i, ratio) * std::log1p(x[j] / beta);
    }
    const double firstInverse = sumShapeLog / i;  // 1 / s(1) at its profile value
    const double slope = (ratio * firstInverse - firstInverse) / (i - 1);
    EstimateRecord record;
    record.param1 = firstInverse - slope;
    record.param2 = slope;
    record.param3 = beta;
    SetParetoPrediction(record, &ParetoKL, 0.0, x, i, rangeEnd);
    return record;
}

namespace {

// The exponential limit: 1 / s(j) runs from 1 / s(1) to A / s(1) with A = m(n) / m(1), and
// Beta = kInfiniteShape m(1), so that Beta / s(j) = m(j).
std::array<double, 2> LimitEndsKL(const ExponentialLimit& limit) {
    return {limit.last / limit.first, kInfiniteShape * limit.first};
}

// Further starts for A and Beta, Beta in units of the mean interfailure time.
constexpr std::array<std::array<double, 2>, 4> kStarts{{{1, 1}, {0.3, 3}, {3, 0.3}, {1, 10}}};

const LineModel kLineKL{
    {&ObjectiveKL, &GridKL, {false, true}, {kStart, kStart}, kStarts, {"Alpha2", "Beta"}},
    &RecordKL,
    &LimitEndsKL,
    &kPredictiveKL,
    {false, true}};

}  // namespace

IndexFit PrepareKL(const FailureSeries& x, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    return PrepareLineFit(x, rangeEnd, settings, kLineKL);
}

EstimationResult EstimateKL(const FailureSeries& x, const FailureSeries& /*t*/,
                            std::int32_t rangeStart, std::int32_t rangeEnd,
                            const MinimisationSettings& settings, EstimatesArray& estimates,
                            const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareKL(x, rangeEnd, settings), estimates,
                          control);
}

double MttfKL(double s, double beta) { return ParetoMean(MakePareto(s, beta)); }

double PercentileKL(double p, double beta, double s) {
    if (!IsProbability(p)) return 0.0;
    return ParetoQuantile(p, MakePareto(s, beta));
}

const Predictive kPredictiveKL = ParetoPredictive<&ParetoKL>();

namespace {

// The hazard s(n) / Beta of the next interfailure time at 0.
double IntensityKL(const StoredFit& fit) { return ParetoIntensity(ParetoKL(fit)); }

// Each fix moves 1 / s up by Alpha2; the k fixes that bring s(n + k) / Beta to the target take
// the expected time sum_{j<k} Beta / (s(n + j) - 1), infinite once some s(n + j) <= 1.
TargetReach ReachKL(const StoredFit& fit, double target) {
    if (IntensityKL(fit) <= target) return ReachedNow();
    if (fit.param2 <= 0.0) return NeverReached();
    const double inverseShape = fit.param1 + fit.param2 * fit.index;
    const double k = FixesToLevel(inverseShape, fit.param2, 1.0 / (fit.param3 * target));
    if (inverseShape + fit.param2 * (k - 1.0) >= 1.0) {
        return ReachedAfter(std::numeric_limits<double>::infinity(), k);
    }
    // Beta c / (1 - c) = Beta (1 / (1 - c) - 1) for c = 1 / s(n + j), and
    // 1 / (1 - c) = (1 / Alpha2) / (d - j) with d = (1 - c(n)) / Alpha2.
    const double d = (1.0 - inverseShape) / fit.param2;
    const double sum = ReciprocalSum(d, k) / fit.param2 - k;
    return ReachedAfter(fit.param3 * sum, k);
}

double ReliabilityKL(const StoredFit& fit, double t) { return ParetoReliability(ParetoKL(fit), t); }

}  // namespace

const FailureProcess kProcessKL{&IntensityKL, nullptr, nullptr, &ReachKL, &ReliabilityKL};

}  // namespace tamsel
