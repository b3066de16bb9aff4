#include "tamsel/models/jm_model.h"

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

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
    FitTermination termination{FitMethod::LimitCase};
};

JmFit AllFaultsFound(std::int32_t i, double firstLimitDenominator) {
    return {static_cast<double>(i), i / firstLimitDenominator, kVanishing};
}

JmFit NoFaultReduction(std::int32_t i, double time) {
    return {kInfiniteFaults, kVanishing, i / time};
}

JmFit FitAt(const FailureSeries& x, const JmSums& sums, double time, std::int32_t i,
            const MinimisationSettings& settings) {
    double a = sums.a[i];
    double r = sums.s[i] / time;
    double firstLimitDenominator = (i + 1) * time - a;
    if (sums.h[i] <= i * time / firstLimitDenominator)
        return AllFaultsFound(i, firstLimitDenominator);
    // a == time when x(2..i) are all 0; the test below would divide by zero.
    if (a == time || (sums.j[i] - i) / (a - time) > i / time) return NoFaultReduction(i, time);

    Minimise1DResult found =
        Minimise1D([&](double y) { return ObjectiveJM(y, i, r); }, 1.0 / (2.0 * r), 0.0, 1.0 / r,
                   settings.relativePrecision, settings.absolutePrecision, settings.maxIter);
    double y = found.x;
    double n = i - r + 1.0 / y;
    // The profile likelihood can rise towards N -> infinity (constant interfailure times do
    // so) while passing both limit tests; the minimiser then ends at or near y = 0.
    if (!(y > 0.0) || !std::isfinite(n) || n > kInfiniteFaults) return NoFaultReduction(i, time);
    if (n <= i) return AllFaultsFound(i, firstLimitDenominator);
    double weighted = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) weighted += (n - j + 1) * x[j];
    double lambda = i / weighted;
    return {n, lambda, (n - i) * lambda, {FitMethod::Minimised, found.termination}};
}

}  // namespace

double ObjectiveJM(double y, std::int32_t n, double r) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        double term = y * (n + 1 - j - r);
        if (!(term > -1.0)) return std::numeric_limits<double>::infinity();
        sum += std::log1p(term);
    }
    return -sum;
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
        JmFit fit = FitAt(x, *sums, time, i, settings);
        EstimateRecord record;
        record.param1 = fit.n;
        record.param2 = fit.lambda;
        record.lowQ = PercentileJM(0.25, fit.rate);
        record.median = PercentileJM(0.5, fit.rate);
        record.uppQ = PercentileJM(0.75, fit.rate);
        record.mttf = fit.termination.method == FitMethod::Minimised ? 1.0 / fit.rate : kNoMttf;
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

}  // namespace tamsel
