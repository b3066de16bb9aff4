#include "tamsel/models/li_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "fit_support.h"
#include "littlewood_support.h"
#include "process_support.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/mo_model.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/harmonic.h"
#include "tamsel/numeric/math_functions.h"
#include "window_fit.h"

namespace tamsel {
namespace {

constexpr double kStart = 10.0;

// The Alpha that maximises the likelihood for N - n = remaining and Beta. The sum
// ln(1 + t_j / Beta) stands for sum ln(Beta + t_j) - n ln Beta, which loses every digit
// to cancellation when Beta is large.
double ProfileAlpha(const FailureSeries& t, std::int32_t n, double remaining, double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) sum += std::log1p(t[j] / beta);
    return n / (sum + remaining * std::log1p(t[n] / beta));
}

// The remaining faults share the posterior rate Gamma(Alpha, Beta + T): the next interfailure
// time is Pareto with shape (N - n) Alpha and scale Beta + T. N - n is taken from the stored N
// (exact for N below 2^53), so that the prediction is the stored parameters' own, and fma
// rounds the shape's excess over 1 only once.
Pareto ParetoLi(const StoredFit& fit) {
    const double remaining = fit.param1 - fit.index;
    return {remaining * fit.param2, fit.param3 + fit.time, std::fma(remaining, fit.param2, -1.0)};
}

// The sums over the fault counts N - j + 1 = (N - n) + m, m = 1..n, which need no loop.
struct FaultSums {
    RisingReciprocals invFaults;  // sum 1 / (N - j + 1) and sum 1 / (N - j + 1)^2
    double logFaults;             // sum ln(N - j + 1)
};

FaultSums SumOverFaults(double remaining, std::int32_t n) {
    return {RisingReciprocalSums(remaining, n), LogRising(remaining, n)};
}

// The objective at p from the sums over the times at its Beta = p[1]^2 and those over the
// fault counts at its N - n = p[0]^2, the window ending at T = end.
double ProfileLi(std::span<const double> p, std::span<double> g, std::int32_t n, double end,
                 const TimeSums& sums, const FaultSums& faults, std::span<double> h) {
    const double remaining = p[0] * p[0];
    const double beta = p[1] * p[1];
    const RisingReciprocals& invFaults = faults.invFaults;
    const double logTail = std::log1p(end / beta);
    const double endShare = end / (beta + end);
    // D = sum ln(1 + t_j / Beta) + (N - n) ln(1 + T / Beta), and Alpha = n / D at its best.
    const double alpha = n / (sums.logRatio + remaining * logTail);
    Curvature d;
    d.first = {logTail, -(sums.timeShare + remaining * endShare) / beta};
    d.second = {0.0, -endShare / beta,
                (sums.shareCurve + remaining * endShare * (2.0 - endShare)) / (beta * beta)};
    Curvature r;
    r.first = {-invFaults.first, sums.invScaled};
    r.second = {invFaults.second, 0.0, -sums.invScaledSq};
    return FinishObjective(n * (1.0 - std::log(alpha)) + sums.logScaled - faults.logFaults, p,
                           ProfileCurvature(n, alpha, d, r), g, h);
}

}  // namespace

double ObjectiveLi(std::span<const double> p, std::span<double> g, std::int32_t n,
                   const FailureSeries& t, std::span<double> h) {
    return ProfileLi(p, g, n, t[n], SumOverTimes(p[1] * p[1], t, n), SumOverFaults(p[0] * p[0], n),
                     h);
}

void GridLi(std::span<const double> points, std::int32_t n, const FailureSeries& t,
            std::span<double> values) {
    std::vector<FaultSums> faults;
    for (double point : points) faults.push_back(SumOverFaults(point * point, n));
    std::array<double, 2> g{};
    GridOverBeta(points, n, 0.0, t, values, [&](std::size_t k0, const auto& p, const auto& sums) {
        return ProfileLi(p, g, n, t[n], sums, faults[k0], {});
    });
}

EstimateRecord RecordLi(const FailureSeries& x, const FailureSeries& t, std::int32_t i,
                        std::int32_t rangeEnd, double remaining, double beta) {
    EstimateRecord record;
    record.param1 = i + remaining;
    record.param2 = ProfileAlpha(t, i, remaining, beta);
    record.param3 = beta;
    SetParetoPrediction(record, &ParetoLi, t[i], x, i, rangeEnd);
    return record;
}

namespace {

double WindowObjectiveLi(std::span<const double> p, std::span<double> g, std::int32_t n, double,
                         const FailureSeries& t, std::span<double> h) {
    return ObjectiveLi(p, g, n, t, h);
}

// Further starts for N - n and Beta, Beta in units of the mean interfailure time.
constexpr std::array<std::array<double, 2>, 4> kStarts{{{1, 10}, {10, 100}, {100, 1000}, {10, 10}}};

void WindowGridLi(std::span<const double> points, std::int32_t n, double, const FailureSeries& t,
                  std::span<double> values) {
    GridLi(points, n, t, values);
}

const WindowModel kWindowLi{&WindowObjectiveLi, &WindowGridLi, {false, true},
                            {kStart, kStart},   kStarts,       {"N", "Beta"}};

// The MO limit (N -> infinity, (N - n) Alpha -> beta0, Beta = a) and the JM limit (Alpha and
// Beta -> infinity, Alpha / Beta -> Lambda) as Li parameters; the records keep their limit's
// predictions.
IndexResult FromMO(IndexResult mo, std::int32_t i) {
    EstimateRecord& r = mo.record;
    const double remaining = kInfiniteFaults - i;
    if (r.param1 == kInfiniteQuartile) {  // homogeneous: Param3 is the rate
        r.param2 = kInfiniteShape;
        r.param3 = kInfiniteShape * remaining / r.param3;
    } else {
        const double a = r.param1;
        r.param2 = r.param2 / remaining;
        r.param3 = a;
    }
    r.param1 = kInfiniteFaults;
    return AsLimit(mo, "MO", 0);
}

IndexResult FromJM(IndexResult jm, std::int32_t i, double time) {
    EstimateRecord& r = jm.record;
    const double lambda = r.param1 == kInfiniteFaults ? i / time / (kInfiniteFaults - i) : r.param2;
    r.param2 = kInfiniteShape;
    r.param3 = kInfiniteShape / lambda;
    return AsLimit(jm, "JM", 0);
}

}  // namespace

IndexFit PrepareLi(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    IndexFit mo = PrepareMO(x, t, rangeEnd, settings);
    IndexFit jm = PrepareJM(x, t, rangeEnd, settings);
    return [&x, &t, rangeEnd, settings, mo, jm](std::int32_t i) {
        return BestOfTimeFit(kWindowLi, &RecordLi, kPredictiveLi,
                             {FromMO(mo(i), i), FromJM(jm(i), i, t[i])}, x, t, i, rangeEnd,
                             settings);
    };
}

EstimationResult EstimateLi(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareLi(x, t, rangeEnd, settings), estimates,
                          control);
}

double PercentileLi(double p, double a, double b) {
    if (!IsProbability(p)) return 0.0;
    return ParetoQuantile(p, MakePareto(a, b));
}

const Predictive kPredictiveLi = ParetoPredictive<&ParetoLi>();

namespace {

// A record at the MO limit (N = kInfiniteFaults, see FromMO) as the MO fit it stands for. With
// the finite N - n = kInfiniteFaults - n its failure process would be off by about
// Beta0 / kInfiniteFaults beyond the next failure.
std::optional<StoredFit> MOLimitFit(const StoredFit& fit) {
    if (fit.param1 != kInfiniteFaults) return std::nullopt;
    const long double remaining = fit.param1 - fit.index;
    StoredFit mo = fit;
    if (fit.param2 == kInfiniteShape) {  // homogeneous: the rate is Alpha (N - n) / Beta
        mo.param1 = kInfiniteQuartile;
        mo.param2 = fit.index / std::log1p(fit.time / kInfiniteQuartile);
        mo.param3 = static_cast<double>(kInfiniteShape * remaining / fit.param3);
    } else {
        mo.param1 = fit.param3;
        mo.param2 = static_cast<double>(remaining * fit.param2);
        mo.param3 = 0.0;
    }
    return mo;
}

// Each of the N - n faults left is found after T with the Pareto survival
// ((Beta + T) / (Beta + T + u))^Alpha, so the expected count found by T + u decays in u as
// LNHPP's does.
double IntensityLi(const StoredFit& fit) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.intensity(*mo);
    return ParetoIntensity(ParetoLi(fit));
}

double ExpectedFailuresLi(const StoredFit& fit, double t) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.expectedFailures(*mo, t);
    if (fit.param1 <= fit.index) return 0.0;
    return -(fit.param1 - fit.index) * std::expm1(-fit.param2 * Log1pRatio(t, ParetoLi(fit).scale));
}

std::optional<double> FaultsRemainingLi(const StoredFit& fit) {
    if (fit.param1 == kInfiniteFaults) return std::nullopt;
    return std::max(0.0, fit.param1 - fit.index);
}

// Where the expected intensity falls to the target.
TargetReach ReachLi(const StoredFit& fit, double target) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.reach(*mo, target);
    return ReachDecayingPower(IntensityLi(fit), target, ParetoLi(fit).scale, fit.param2 + 1.0);
}

double ReliabilityLi(const StoredFit& fit, double t) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.reliability(*mo, t);
    return ParetoReliability(ParetoLi(fit), t);
}

}  // namespace

const FailureProcess kProcessLi{&IntensityLi, &ExpectedFailuresLi, &FaultsRemainingLi, &ReachLi,
                                &ReliabilityLi};

}  // namespace tamsel
