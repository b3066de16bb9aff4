// At the fitted Alpha, (Beta / (Beta + T))^Alpha is exactly (Mu - n) / Mu, so the expected
// number of failures after T is Mu - n itself. The code uses that identity instead of 1 - R
// and Mu R, which lose every digit when Mu - n is large (the fit runs towards Mu - n = 1e14
// where the likelihood has no interior maximum).
#include "tamsel/models/lnhpp_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "fit_support.h"
#include "littlewood_support.h"
#include "pareto.h"
#include "process_support.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/mo_model.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"
#include "window_fit.h"

namespace tamsel {
namespace {

constexpr double kStart1 = 100.0;
constexpr double kStart2 = 1000.0;
// Above this expected number of further failures, 1 - e^(-M) is taken as 1.
constexpr double kCertainFailure = 700.0;

// The Alpha for which m(T) = n.
double SolvedAlpha(std::int32_t n, double remaining, double beta, double end) {
    return std::log1p(n / remaining) / std::log1p(end / beta);
}

// The objective at p from the sums over the times at its Beta = p[1]^2 + eps.
double ProfileLNHPP(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                    double end, const TimeSums& sums, std::span<double> h) {
    const double remaining = p[0] * p[0] + eps;
    const double beta = p[1] * p[1] + eps;
    const double mu = remaining + n;
    const double sumLogRatio = sums.logRatio;  // S
    // With P = ln(1 + n / (Mu - n)) and L = ln(1 + T / Beta), Alpha = P / L (SolvedAlpha's
    // value) and the objective is n + sum ln(Beta + t_j) + P S / L - n ln Mu - n ln P + n ln L.
    const double logTail = std::log1p(end / beta);
    const double logCount = std::log1p(n / remaining);
    const double alpha = logCount / logTail;
    const double countSlope = -n / (remaining * mu);                                          // P'
    const double countCurve = n * (2.0 * remaining + n) / (remaining * mu * remaining * mu);  // P''
    const double endShare = end / (beta + end);
    const double tailSlope = -endShare / beta;                             // L'
    const double tailCurve = endShare * (2.0 - endShare) / (beta * beta);  // L''
    const double ratioSlope = -sums.timeShare / beta;                      // S'
    const double ratioCurve = sums.shareCurve / (beta * beta);             // S''
    // Q = S / L and its derivatives in Beta.
    const double q = sumLogRatio / logTail;
    const double qSlope = (ratioSlope - q * tailSlope) / logTail;
    const double qCurve = (ratioCurve - 2.0 * qSlope * tailSlope - q * tailCurve) / logTail;
    const double countByP = countSlope / logCount;
    const double tailByL = tailSlope / logTail;
    // d ln L / d Alpha, and the derivatives of Alpha(Mu - n, Beta).
    const double slopeAlpha = n / alpha - sumLogRatio - remaining * logTail;
    const double alphaByRemaining = -n / (remaining * mu * logTail);
    const double alphaByBeta = alpha * end / (logTail * beta * (beta + end));
    Curvature c;
    // Total derivatives through Alpha; at fixed Alpha the one in Mu - n vanishes (m(T) = n).
    c.first = {-alphaByRemaining * slopeAlpha, sums.invScaled - alpha * sums.timeShare / beta -
                                                   remaining * alpha * end / ((beta + end) * beta) -
                                                   alphaByBeta * slopeAlpha};
    c.second = {
        countCurve * q + n / (mu * mu) - n * (countCurve / logCount - countByP * countByP),
        countSlope * qSlope,
        logCount * qCurve - sums.invScaledSq + n * (tailCurve / logTail - tailByL * tailByL)};
    const double f =
        n + sums.logScaled + alpha * sumLogRatio - n * (std::log(mu) + std::log(alpha));
    return FinishObjective(f, p, c, g, h);
}

}  // namespace

double ObjectiveLNHPP(std::span<const double> p, std::span<double> g, std::int32_t n, double eps,
                      double end, const FailureSeries& t, std::span<double> h) {
    return ProfileLNHPP(p, g, n, eps, end, SumOverTimes(p[1] * p[1] + eps, t, n), h);
}

void GridLNHPP(std::span<const double> points, std::int32_t n, double eps, const FailureSeries& t,
               std::span<double> values) {
    std::array<double, 2> g{};
    GridOverBeta(points, n, eps, t, values, [&](std::size_t, const auto& p, const auto& sums) {
        return ProfileLNHPP(p, g, n, eps, t[n], sums, {});
    });
}

EstimateRecord RecordLNHPP(const FailureSeries& x, const FailureSeries& t, std::int32_t i,
                           std::int32_t rangeEnd, double remaining, double beta) {
    const double end = t[i];
    const double alpha = SolvedAlpha(i, remaining, beta, end);
    const double mu = i + remaining;
    const double scale = beta + end;
    EstimateRecord record;
    record.param1 = mu;
    record.param2 = alpha;
    record.param3 = beta;
    // The intensity at T, Alpha Mu R_T / (Beta + T) with Mu R_T = Mu - i.
    record.mttf = MttfLNHPP(alpha * remaining / scale, alpha, beta, end);
    record.lowQ = PercentileLNHPP(0.25, end, alpha, beta, mu);
    record.median = PercentileLNHPP(0.5, end, alpha, beta, mu);
    record.uppQ = PercentileLNHPP(0.75, end, alpha, beta, mu);
    if (i < rangeEnd) {
        const double next = x[i + 1];
        // ln(R_x / R_T), and the expected number of failures in (T, T + x].
        const double logDecay = -alpha * Log1pRatio(next, scale);
        const double expected = -remaining * std::expm1(logDecay);
        record.cdf = -std::expm1(-expected);
        record.pdf = alpha * remaining * std::exp(logDecay) * SafeExp(-expected) / (scale + next);
    }
    return record;
}

namespace {

double WindowObjectiveLNHPP(std::span<const double> p, std::span<double> g, std::int32_t n,
                            double eps, const FailureSeries& t, std::span<double> h) {
    return ObjectiveLNHPP(p, g, n, eps, t[n], t, h);
}

// Further starts for Mu - n and Beta, Beta in units of the mean interfailure time.
constexpr std::array<std::array<double, 2>, 4> kStarts{{{1, 10}, {10, 100}, {100, 1000}, {10, 10}}};

const WindowModel kWindowLNHPP{&WindowObjectiveLNHPP, &GridLNHPP, {false, true},
                               {kStart1, kStart2},    kStarts,    {"Mu", "Beta"}};

// The MO limit (Mu -> infinity, Mu Alpha -> beta0, Beta = a) and the GO limit (Alpha and
// Beta -> infinity, Alpha / Beta -> Phi) as LNHPP parameters; the records keep their
// limit's predictions. A homogeneous limit is the GO one with Mu = kInfiniteFaults.
IndexResult Homogeneous(IndexResult limit, double rate) {
    EstimateRecord& r = limit.record;
    r.param1 = kInfiniteFaults;
    r.param2 = kInfiniteShape;
    r.param3 = kInfiniteShape * kInfiniteFaults / rate;
    return limit;
}

IndexResult FromMO(IndexResult mo) {
    EstimateRecord& r = mo.record;
    if (r.param1 == kInfiniteQuartile) return AsLimit(Homogeneous(mo, r.param3), "MO", 0);
    const double a = r.param1;
    r.param2 = r.param2 / kInfiniteFaults;
    r.param3 = a;
    r.param1 = kInfiniteFaults;
    return AsLimit(mo, "MO", 0);
}

IndexResult FromGO(IndexResult go) {
    EstimateRecord& r = go.record;
    if (r.param1 == kInfiniteFaults) return AsLimit(Homogeneous(go, r.param3), "GO", 0);
    r.param3 = kInfiniteShape / r.param2;
    r.param2 = kInfiniteShape;
    return AsLimit(go, "GO", 0);
}

}  // namespace

IndexFit PrepareLNHPP(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                      const MinimisationSettings& settings) {
    IndexFit mo = PrepareMO(x, t, rangeEnd, settings);
    IndexFit go = PrepareGO(x, t, rangeEnd, settings);
    return [&x, &t, rangeEnd, settings, mo, go](std::int32_t i) {
        return BestOfTimeFit(kWindowLNHPP, &RecordLNHPP, kPredictiveLNHPP,
                             {FromMO(mo(i)), FromGO(go(i))}, x, t, i, rangeEnd, settings);
    };
}

EstimationResult EstimateLNHPP(const FailureSeries& x, const FailureSeries& t,
                               std::int32_t rangeStart, std::int32_t rangeEnd,
                               const MinimisationSettings& settings, EstimatesArray& estimates,
                               const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareLNHPP(x, t, rangeEnd, settings), estimates,
                          control);
}

double MttfLNHPP(double lambda, double alpha, double beta, double end) {
    const double expected = (beta + end) * lambda / alpha;
    const double correction = (1.0 + 1.0 / alpha) / expected;
    if (correction >= 1.0) return kNoMttf;
    const double occurs = expected < kCertainFailure ? -std::expm1(-expected) : 1.0;
    return (1.0 + correction) / (lambda * occurs);
}

double PercentileLNHPP(double p, double end, double alpha, double beta, double mu) {
    if (!IsProbability(p)) return 0.0;
    const double growth = SafeExp(alpha * Log1pRatio(end, beta));  // (1 + T / Beta)^Alpha
    const double shift = std::log1p(-p) * growth / mu;             // v - 1
    // v <= 0: the distribution never reaches p (a further failure may never come).
    if (shift <= -1.0) return kInfiniteQuartile;
    return QuartileOrInfinite((end + beta) * std::expm1(-std::log1p(shift) / alpha));
}

namespace {

// Mu = kInfiniteFaults stands for the MO limit, Mu -> infinity with Mu Alpha = Beta0 held: the
// next interfailure time is then Pareto with shape Beta0 and scale Beta + T, exactly, where
// the finite Mu would leave an error of about n / Mu. The excess Mu Alpha - 1, which the mean
// divides by, is taken exactly (fma): a singular MO record's shape lies within 1e-16 of 1,
// where even the extended product left the mean 1e-4 off.
std::optional<Pareto> MOLimit(const StoredFit& fit) {
    if (fit.param1 != kInfiniteFaults) return std::nullopt;
    return Pareto{fit.param1 * fit.param2, fit.param3 + fit.time,
                  std::fma(fit.param1, fit.param2, -1.0)};
}

PredictivePoint NextLNHPP(const StoredFit& fit, double s) {
    if (const auto limit = MOLimit(fit)) return ParetoAt(s, *limit);
    const double mu = fit.param1;
    const double alpha = fit.param2;
    const double beta = fit.param3;
    const double t = fit.time;
    // ln R(T) and ln(R(T + s) / R(T)) of R(x) = (1 + x / Beta)^(-Alpha).
    const double logAtT = -alpha * Log1pRatio(t, beta);
    const double logDecay = -alpha * Log1pRatio(s, beta + t);
    const double expected = -mu * std::exp(logAtT) * std::expm1(logDecay);
    const double survival = SafeExp(-expected);
    return {-std::expm1(-expected),
            survival * alpha * mu * std::exp(logAtT + logDecay) / (beta + t + s)};
}

double QuantileLNHPP(const StoredFit& fit, double p) {
    if (const auto limit = MOLimit(fit)) return IsProbability(p) ? ParetoQuantile(p, *limit) : 0.0;
    return PercentileLNHPP(p, fit.time, fit.param2, fit.param3, fit.param1);
}

std::optional<double> LimitQuantileLNHPP(const StoredFit& fit) {
    const auto limit = MOLimit(fit);
    return limit ? ParetoLimitQuantile(*limit) : std::nullopt;
}

double MeanLNHPP(const StoredFit& fit) {
    if (const auto limit = MOLimit(fit)) return ParetoMean(*limit);
    const double remaining = fit.param1 - fit.index;
    const double alpha = fit.param2;
    const double beta = fit.param3;
    return MttfLNHPP(alpha * remaining / (beta + fit.time), alpha, beta, fit.time);
}

}  // namespace

const Predictive kPredictiveLNHPP{&NextLNHPP, &QuantileLNHPP, &LimitQuantileLNHPP, &MeanLNHPP,
                                  nullptr};

namespace {

// ln R(T) of R(x) = (1 + x / Beta)^(-Alpha); the mean value function is Mu (1 - R).
double LogSurvivingShare(const StoredFit& fit) {
    return -fit.param2 * std::log1p(fit.time / fit.param3);
}

// A record at the MO limit (Mu = kInfiniteFaults) as the MO fit it stands for: Mu (1 - R)
// tends to Mu Alpha ln(1 + t / Beta), so a = Beta and Beta0 = Mu Alpha.
std::optional<StoredFit> MOLimitFit(const StoredFit& fit) {
    if (fit.param1 != kInfiniteFaults) return std::nullopt;
    StoredFit mo = fit;
    mo.param1 = fit.param3;
    mo.param2 = static_cast<double>(static_cast<long double>(fit.param1) * fit.param2);
    mo.param3 = 0.0;
    return mo;
}

double IntensityLNHPP(const StoredFit& fit) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.intensity(*mo);
    return fit.param1 * fit.param2 * std::exp(LogSurvivingShare(fit)) / (fit.param3 + fit.time);
}

double ExpectedFailuresLNHPP(const StoredFit& fit, double t) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.expectedFailures(*mo, t);
    return -fit.param1 * std::exp(LogSurvivingShare(fit)) *
           std::expm1(-fit.param2 * std::log1p(t / (fit.param3 + fit.time)));
}

// Mu - m(T) = Mu R(T), which equals Mu - n at the likelihood's maximum.
std::optional<double> FaultsRemainingLNHPP(const StoredFit& fit) {
    if (fit.param1 == kInfiniteFaults) return std::nullopt;
    return fit.param1 * std::exp(LogSurvivingShare(fit));
}

TargetReach ReachLNHPP(const StoredFit& fit, double target) {
    if (const auto mo = MOLimitFit(fit)) return kProcessMO.reach(*mo, target);
    return ReachDecayingPower(IntensityLNHPP(fit), target, fit.param3 + fit.time, fit.param2 + 1.0);
}

double ReliabilityLNHPP(const StoredFit& fit, double t) {
    return std::exp(-ExpectedFailuresLNHPP(fit, t));
}

}  // namespace

const FailureProcess kProcessLNHPP{&IntensityLNHPP, &ExpectedFailuresLNHPP, &FaultsRemainingLNHPP,
                                   &ReachLNHPP, &ReliabilityLNHPP};

}  // namespace tamsel
