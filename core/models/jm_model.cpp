#include "tamsel/models/jm_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "fit_support.h"
#include "process_support.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/harmonic.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

constexpr int kPolishSteps = 8;

// Running sums over failures 1..i, element i, accumulated in failure order so that every
// index sees the same bits as an incremental loop would.
struct JmSums {
    std::vector<double> a;  // sum j * x(j)
    std::vector<double> h;  // sum 1 / j
    std::vector<double> j;  // sum j
    std::vector<double> s;  // sum t(j)
};

std::shared_ptr<const JmSums> ComputeSums(const FailureSeries& x, const FailureSeries& t,
                                          std::int32_t rangeEnd) {
    auto sums = std::make_shared<JmSums>();
    auto size = static_cast<std::size_t>(rangeEnd) + 1;
    sums->a.assign(size, 0.0);
    sums->h.assign(size, 0.0);
    sums->j.assign(size, 0.0);
    sums->s.assign(size, 0.0);
    for (std::size_t k = 1; k < size; ++k) {
        double index = static_cast<double>(k);
        sums->a[k] = sums->a[k - 1] + index * x[k];
        sums->h[k] = sums->h[k - 1] + 1.0 / index;
        sums->j[k] = sums->j[k - 1] + index;
        sums->s[k] = sums->s[k - 1] + t[k];
    }
    return sums;
}

// The next interfailure time at this rate, its density not rate (1 - Cdf): far in the tail
// 1 - Cdf has lost its digits.
PredictivePoint ExponentialAt(double rate, double s) {
    return {-std::expm1(-rate * s), rate * std::exp(-rate * s)};
}

struct JmFit {
    double n = 0.0;
    double lambda = 0.0;
    double rate = 0.0;
    double logLhd = 0.0;
    FitTermination termination;
};

// W = sum (N - j + 1) x(j) = (N - i) T + sum t(j): two positive terms, so that nothing
// cancels when N is near i.
double Weighted(const JmSums& sums, double time, std::int32_t i, double n) {
    return (n - i) * time + sums.s[i];
}

// The log-likelihood of failures 1..i at N with Lambda at its profile value i / W:
// i ln(i / W) + sum ln(N - j + 1) - i.
double LogLhdJM(const JmSums& sums, double time, std::int32_t i, double n) {
    return i * std::log(i / Weighted(sums, time, i, n)) + LogRising(n - i, i) - i;
}

// The search in y stops once y is bracketed to the settings' relative precision, which leaves
// N - i, and every prediction, off by that precision times N / (N - i): 1e-5 where N lies
// just above i, different in each time unit. Newton's method on the profile's score in
// c = N - i, sum_{m=1..i} 1 / (c + m) - i T / (c T + sum t(j)), takes it to rounding; a step
// that leaves c > 0 or does not lower |score| ends it.
double PolishFaults(const JmSums& sums, double time, std::int32_t i, double n) {
    double c = n - i;
    if (!(c > 0.0) || !std::isfinite(c)) return n;
    const auto score = [&](double at) {
        const RisingReciprocals sum = RisingReciprocalSums(at, i);
        const double weighted = at * time + sums.s[i];
        return std::pair{sum.first - i * time / weighted,
                         -sum.second + i * time * time / (weighted * weighted)};
    };
    auto [value, slope] = score(c);
    for (int step = 0; step < kPolishSteps && slope < 0.0; ++step) {
        const double next = c - value / slope;
        if (!(next > 0.0)) break;
        const auto [nextValue, nextSlope] = score(next);
        if (!(std::fabs(nextValue) < std::fabs(value))) break;
        c = next, value = nextValue, slope = nextSlope;
    }
    return i + c;
}

JmFit AllFaultsFound(const JmSums& sums, double time, std::int32_t i, double firstLimitDenominator,
                     std::int32_t evaluations) {
    return {static_cast<double>(i),
            i / firstLimitDenominator,
            kVanishing,
            LogLhdJM(sums, time, i, i),
            {FitOutcome::Boundary, "N", evaluations}};
}

JmFit NoFaultReduction(std::int32_t i, double time, std::int32_t evaluations) {
    return {kInfiniteFaults, kVanishing, i / time, HppLogLhd(i, time),
            LimitEnd("homogeneous", evaluations)};
}

// The profile likelihood in N decides between its two limits by its slope at each, and
// between an interior maximum and the limits by value, so that a maximum the search only
// approached along a flat profile does not stand for a limit that lies higher.
JmFit FitAt(const JmSums& sums, double time, std::int32_t i, const MinimisationSettings& settings) {
    double a = sums.a[i];
    double r = sums.s[i] / time;
    double firstLimitDenominator = (i + 1) * time - a;
    if (sums.h[i] <= i * time / firstLimitDenominator)
        return AllFaultsFound(sums, time, i, firstLimitDenominator, 0);
    // a == time when x(2..i) are all 0; the test below would divide by zero.
    if (a == time || (sums.j[i] - i) / (a - time) > i / time) return NoFaultReduction(i, time, 0);

    Minimise1DResult found =
        Minimise1D([&](double y) { return ObjectiveJM(y, i, r); }, 1.0 / (2.0 * r), 0.0, 1.0 / r,
                   settings.relativePrecision, settings.absolutePrecision, settings.maxIter);
    double y = found.x;
    double n = PolishFaults(sums, time, i, i - r + 1.0 / y);
    // The profile likelihood can rise towards N -> infinity (constant interfailure times do
    // so) while passing both limit tests; the minimiser then ends at or near y = 0.
    if (!(y > 0.0) || !std::isfinite(n) || n > kInfiniteFaults)
        return NoFaultReduction(i, time, found.count);
    if (n <= i) return AllFaultsFound(sums, time, i, firstLimitDenominator, found.count);
    JmFit fit{n, 0.0, 0.0, LogLhdJM(sums, time, i, n), SearchEnd(found.termination, found.count)};
    JmFit homogeneous = NoFaultReduction(i, time, found.count);
    if (LimitWins(homogeneous.logLhd, fit.logLhd)) return homogeneous;
    JmFit allFound = AllFaultsFound(sums, time, i, firstLimitDenominator, found.count);
    if (LimitWins(allFound.logLhd, fit.logLhd)) return allFound;
    fit.lambda = i / Weighted(sums, time, i, n);
    fit.rate = (n - i) * fit.lambda;
    return fit;
}

}  // namespace

double ObjectiveJM(double y, std::int32_t n, double r) {
    // The terms are linear in j: the likelihood is defined where both ends exceed -1.
    if (!(y * (n - r) > -1.0 && y * (1.0 - r) > -1.0)) {
        return std::numeric_limits<double>::infinity();
    }
    return -Log1pLineSum(y, r, n);
}

double PercentileJM(double p, double rate) {
    if (!IsProbability(p)) return 0.0;
    return -std::log1p(-p) / rate;
}

IndexFit PrepareJM(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    std::shared_ptr<const JmSums> sums = ComputeSums(x, t, rangeEnd);
    return [&x, &t, sums, rangeEnd, settings](std::int32_t i) {
        double time = t[i];
        JmFit fit = FitAt(*sums, time, i, settings);
        EstimateRecord record;
        record.param1 = fit.n;
        record.param2 = fit.lambda;
        record.lowQ = PercentileJM(0.25, fit.rate);
        record.median = PercentileJM(0.5, fit.rate);
        record.uppQ = PercentileJM(0.75, fit.rate);
        record.logLhd = fit.logLhd;
        record.mttf = fit.termination.outcome == FitOutcome::Limit ||
                              fit.termination.outcome == FitOutcome::Boundary
                          ? kNoMttf
                          : 1.0 / fit.rate;
        if (i < rangeEnd) {
            if (fit.n == i) {
                record.cdf = 0.0;
                record.pdf = kVanishing;
            } else {
                const PredictivePoint next = ExponentialAt(fit.rate, x[i + 1]);
                record.cdf = next.cdf;
                record.pdf = next.pdf;
            }
        }
        return IndexResult{record, fit.termination};
    };
}

EstimationResult EstimateJM(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& settings,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareJM(x, t, rangeEnd, settings), estimates,
                          control);
}

namespace {

// A median stored for the vanishing rate gives back that rate only to within rounding.
constexpr double kRateRounding = 1e-9;

PredictivePoint NextJM(const StoredFit& fit, double s) {
    const double n = fit.index;
    if (fit.param1 <= n) return {0.0, kVanishing};
    return ExponentialAt((fit.param1 - n) * fit.param2, s);
}

// The rate is recovered from the stored median, ln 2 / median, so that both limit cases come
// out right: a vanishing rate gives infinite quantiles.
double RateFromMedian(const StoredFit& fit) { return -std::log1p(-0.5) / fit.median; }

double QuantileJM(const StoredFit& fit, double p) { return PercentileJM(p, RateFromMedian(fit)); }

std::optional<double> LimitQuantileJM(const StoredFit& fit) {
    if (RateFromMedian(fit) <= kVanishing * (1.0 + kRateRounding)) return kInfiniteQuartile;
    return std::nullopt;
}

bool NoNextPredictionJM(const StoredFit& fit) { return fit.param1 == kInfiniteFaults; }

double MeanJM(const StoredFit& fit) {
    if (fit.param1 <= fit.index || fit.param1 == kInfiniteFaults) return kNoMttf;
    return 1.0 / ((fit.param1 - fit.index) * fit.param2);
}

}  // namespace

const Predictive kPredictiveJM{&NextJM, &QuantileJM, &LimitQuantileJM, &MeanJM,
                               &NoNextPredictionJM};

namespace {

// The rate of the next interfailure time: i / T in the homogeneous limit, none once every
// fault is found.
double RateJM(const StoredFit& fit) {
    if (fit.param1 == kInfiniteFaults) return fit.index / fit.time;
    if (fit.param1 <= fit.index) return 0.0;
    return (fit.param1 - fit.index) * fit.param2;
}

// Each of the N - n faults left is found within t with probability 1 - exp(-Lambda t).
double ExpectedFailuresJM(const StoredFit& fit, double t) {
    if (fit.param1 == kInfiniteFaults) return RateJM(fit) * t;
    if (fit.param1 <= fit.index) return 0.0;
    return -(fit.param1 - fit.index) * std::expm1(-fit.param2 * t);
}

std::optional<double> FaultsRemainingJM(const StoredFit& fit) {
    if (fit.param1 == kInfiniteFaults) return std::nullopt;
    return std::max(0.0, fit.param1 - fit.index);
}

// The rate falls by Lambda with each fix; the k fixes it needs take the expected time
// sum_{j<k} 1 / ((N - n - j) Lambda).
TargetReach ReachJM(const StoredFit& fit, double target) {
    if (RateJM(fit) <= target) return ReachedNow();
    if (fit.param1 == kInfiniteFaults) return NeverReached();
    const double remaining = fit.param1 - fit.index;
    const double fixes = FixesToLevel(-remaining, 1.0, -target / fit.param2);
    return ReachedAfter(ReciprocalSum(remaining, fixes) / fit.param2, fixes);
}

double ReliabilityJM(const StoredFit& fit, double t) { return std::exp(-RateJM(fit) * t); }

}  // namespace

const FailureProcess kProcessJM{&RateJM, &ExpectedFailuresJM, &FaultsRemainingJM, &ReachJM,
                                &ReliabilityJM};

}  // namespace tamsel
