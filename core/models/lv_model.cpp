#include "tamsel/models/lv_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "littlewood_support.h"
#include "process_support.h"
#include "tamsel/numeric/lanes.h"
#include "tamsel/numeric/log_sum.h"
#include "tamsel/numeric/math_functions.h"
#include "window_fit.h"

namespace tamsel {
namespace {

constexpr double kStart = 10.0;

// psi(j) on the line through (1, first) and (n, last), its weights taken as integers times
// 1 / (n - 1): running sums of 1 / (n - 1) can leave a weight of -1e-17 at j = n, which makes
// psi(n) negative when the first end is huge and the last tiny. The reciprocal is the same
// for every j, so the loops divide once.
struct LinePoint {
    double firstWeight;
    double lastWeight;
    double psi;
};

LinePoint PointAt(std::int32_t j, std::int32_t n, double first, double last) {
    const double step = 1.0 / (n - 1);
    const double firstWeight = (n - j) * step;
    const double lastWeight = (j - 1) * step;
    return {firstWeight, lastWeight, first * firstWeight + last * lastWeight};
}

// The Alpha that maximises the likelihood for that line.
double ProfileAlpha(const FailureSeries& x, std::int32_t n, double first, double last) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) sum += std::log1p(x[j] / PointAt(j, n, first, last).psi);
    return n / sum;
}

// The next interfailure time is Pareto with shape Alpha and scale psi(n) = Beta1 + Beta2 n,
// summed in extended precision: the two terms nearly cancel when psi(n) is far below psi(1),
// and the prediction must be that of the stored parameters.
Pareto ParetoLV(const StoredFit& fit) {
    const long double psi = static_cast<long double>(fit.param3) * fit.index + fit.param2;
    return MakePareto(fit.param1, static_cast<double>(psi));
}

// The objective's sums over the window. The second derivatives weigh by w0 w0, w0 w1 and
// w1 w1 the terms c_j = x_j (2 psi_j + x_j) / (psi_j (psi_j + x_j))^2, the second derivative
// of ln(1 + x_j / psi_j) in psi_j, and 1 / (psi_j + x_j)^2.
struct SumsLV {
    double logShifted;  // sum ln(psi_j + x_j)
    double logRatio;    // D = sum ln(1 + x_j / psi_j)
    Curvature d;        // of D
    Curvature r;        // of sum ln(psi_j + x_j)
};

// The sums at the line's ends first and last, the curvatures only with derivatives (the
// coarse grid needs none): the value's sums take the same steps either way, so that the value
// has the same bits.
template <bool derivatives>
SumsLV SumOverLine(double first, double last, std::int32_t n, const FailureSeries& x) {
    return OnLanes([&] {
        LaneLogSum logShifted;
        LaneLog1pSum logRatio;
        std::array<Lanes, 2> shifted{};  // sum w_k / (psi_j + x_j)
        std::array<Lanes, 2> shares{};   // sum w_k x_j / ((psi_j + x_j) psi_j)
        std::array<Lanes, 3> curve{};
        std::array<Lanes, 3> invShiftedSq{};
        const double step = 1.0 / (n - 1);
        ForEachGroup(1, n, [&](std::int32_t j, const auto& group) {
            const Lanes index = LaneIndices(j);
            const Lanes firstWeight = (static_cast<double>(n) - index) * step;
            const Lanes lastWeight = (index - 1.0) * step;
            const Lanes psi = first * firstWeight + last * lastWeight;
            const Lanes xj = group.Load(&x[j]);
            const Lanes invPsi = 1.0 / psi;
            logShifted.Add(group.Keep(psi + xj, 1.0));
            logRatio.Add(group.Keep(xj * invPsi));
            if constexpr (derivatives) {
                const Lanes invShifted = 1.0 / (psi + xj);
                // (Alpha + 1) / u - Alpha / psi is summed as 1 / u - Alpha x / (u psi),
                // without the difference of two large terms.
                const Lanes share = xj * invShifted * invPsi;
                const Lanes curveTerm = share * (invPsi + invShifted);
                const Lanes invShiftedSqTerm = invShifted * invShifted;
                const std::array<Lanes, 3> weights{
                    firstWeight * firstWeight, firstWeight * lastWeight, lastWeight * lastWeight};
                shifted[0] += group.Keep(firstWeight * invShifted);
                shifted[1] += group.Keep(lastWeight * invShifted);
                shares[0] += group.Keep(firstWeight * share);
                shares[1] += group.Keep(lastWeight * share);
                for (int k = 0; k < 3; ++k) {
                    curve[k] += group.Keep(weights[k] * curveTerm);
                    invShiftedSq[k] += group.Keep(weights[k] * invShiftedSqTerm);
                }
            }
        });
        SumsLV out{logShifted.Value(), logRatio.Value(), {}, {}};
        for (int k = 0; k < 2; ++k) {
            out.r.first[k] = Total(shifted[k]);
            out.d.first[k] = -Total(shares[k]);
        }
        for (int k = 0; k < 3; ++k) {
            out.d.second[k] = Total(curve[k]);
            out.r.second[k] = -Total(invShiftedSq[k]);
        }
        return out;
    });
}

// The objective's value n (1 - ln Alpha) + sum ln(psi_j + x_j) at Alpha = n / D.
double ValueLV(std::int32_t n, const SumsLV& sums) {
    return n * (1.0 - std::log(n / sums.logRatio)) + sums.logShifted;
}

}  // namespace

double ObjectiveLV(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                   const FailureSeries& x, std::span<double> h) {
    const SumsLV sums = SumOverLine<true>(p[0] * p[0] + eps, p[1] * p[1] + eps, n, x);
    return FinishObjective(ValueLV(n, sums), p,
                           ProfileCurvature(n, n / sums.logRatio, sums.d, sums.r), g, h);
}

void GridLV(std::span<const double> points, std::int32_t n, double eps, const FailureSeries& x,
            std::span<double> values) {
    const std::size_t size = points.size();
    for (std::size_t k0 = 0; k0 < size; ++k0) {
        for (std::size_t k1 = 0; k1 < size; ++k1) {
            const double first = points[k0] * points[k0] + eps;
            const double last = points[k1] * points[k1] + eps;
            values[k0 * size + k1] = GuardValue(ValueLV(n, SumOverLine<false>(first, last, n, x)));
        }
    }
}

EstimateRecord RecordLV(const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd, double first,
                        double last) {
    const double slope = (last - first) / (i - 1);
    EstimateRecord record;
    record.param1 = ProfileAlpha(x, i, first, last);
    record.param2 = first - slope;
    record.param3 = slope;
    SetParetoPrediction(record, &ParetoLV, 0.0, x, i, rangeEnd);
    return record;
}

namespace {

// The exponential limit as psi = kInfiniteShape m at both ends of the window.
std::array<double, 2> LimitEndsLV(const ExponentialLimit& limit) {
    return {kInfiniteShape * limit.first, kInfiniteShape * limit.last};
}

// Further starts for psi(1), psi(n) in units of the mean interfailure time.
constexpr std::array<std::array<double, 2>, 4> kStarts{{{1, 1}, {0.2, 2}, {5, 5}, {2, 20}}};

const LineModel kLineLV{
    {&ObjectiveLV, &GridLV, {true, true}, {kStart, kStart}, kStarts, {"Beta1", "Beta1"}},
    &RecordLV,
    &LimitEndsLV,
    &kPredictiveLV,
    {true, true}};

}  // namespace

IndexFit PrepareLV(const FailureSeries& x, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    return PrepareLineFit(x, rangeEnd, settings, kLineLV);
}

EstimationResult EstimateLV(const FailureSeries& x, const FailureSeries& /*t*/,
                            std::int32_t rangeStart, std::int32_t rangeEnd,
                            const MinimisationSettings& settings, EstimatesArray& estimates,
                            const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareLV(x, rangeEnd, settings), estimates,
                          control);
}

double MttfLV(double alpha, double psi) { return ParetoMean(MakePareto(alpha, psi)); }

double PercentileLV(double p, double psi, double alpha) {
    if (!IsProbability(p)) return 0.0;
    return ParetoQuantile(p, MakePareto(alpha, psi));
}

const Predictive kPredictiveLV = ParetoPredictive<&ParetoLV>();

namespace {

// The hazard Alpha / psi(n) of the next interfailure time at 0.
double IntensityLV(const StoredFit& fit) { return ParetoIntensity(ParetoLV(fit)); }

// Each fix moves psi up by Beta2; the k fixes that bring Alpha / psi(n + k) to the target take
// the expected time sum_{j<k} psi(n + j) / (Alpha - 1), infinite for Alpha <= 1.
TargetReach ReachLV(const StoredFit& fit, double target) {
    if (IntensityLV(fit) <= target) return ReachedNow();
    if (fit.param3 <= 0.0) return NeverReached();
    const double psi = ParetoLV(fit).scale;
    const double k = FixesToLevel(psi, fit.param3, fit.param1 / target);
    if (fit.param1 <= 1.0) return ReachedAfter(std::numeric_limits<double>::infinity(), k);
    const double sumPsi = k * psi + fit.param3 * k * (k - 1.0) / 2.0;
    return ReachedAfter(sumPsi / (fit.param1 - 1.0), k);
}

double ReliabilityLV(const StoredFit& fit, double t) { return ParetoReliability(ParetoLV(fit), t); }

}  // namespace

const FailureProcess kProcessLV{&IntensityLV, nullptr, nullptr, &ReachLV, &ReliabilityLV};

}  // namespace tamsel
