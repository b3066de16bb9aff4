#include "tamsel/models/li_model.h"

#include <cmath>
#include <vector>

#include "littlewood_support.h"
#include "tamsel/numeric/log_sum.h"
#include "tamsel/numeric/math_functions.h"

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

}  // namespace

double ObjectiveLi(std::span<const double> p, std::span<double> g, std::int32_t n,
                   const FailureSeries& t) {
    const double remaining = p[0] * p[0];
    const double beta = p[1] * p[1];
    const double end = t[n];
    LogSum sumLogScaled;        // sum ln(Beta + t_j)
    double sumLogRatio = 0.0;   // sum ln(1 + t_j / Beta)
    double sumInvFaults = 0.0;  // sum 1 / (N - j + 1)
    LogSum sumLogFaults;        // sum ln(N - j + 1)
    double sumInvScaled = 0.0;  // sum 1 / (Beta + t_j)
    double sumTimeShare = 0.0;  // sum t_j / (Beta + t_j)
    for (std::int32_t j = 1; j <= n; ++j) {
        // N - j + 1 from its exact integer part, so that a tiny N - n is not rounded away.
        const double faults = remaining + (n - j + 1);
        const double scaled = beta + t[j];
        sumLogScaled.Add(scaled);
        sumLogRatio += std::log1p(t[j] / beta);
        sumInvFaults += 1.0 / faults;
        sumLogFaults.Add(faults);
        sumInvScaled += 1.0 / scaled;
        sumTimeShare += t[j] / scaled;
    }
    const double logTail = std::log1p(end / beta);
    const double alpha = n / (sumLogRatio + remaining * logTail);
    // Envelope form: Alpha is held at its profile value.
    g[0] = 2.0 * p[0] * (alpha * logTail - sumInvFaults);
    g[1] = 2.0 * p[1] *
           (sumInvScaled - alpha * (sumTimeShare + remaining * end / (beta + end)) / beta);
    return GuardObjective(n * (1.0 - std::log(alpha)) + sumLogScaled.Value() - sumLogFaults.Value(),
                          g);
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

IndexFit PrepareLi(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                   const MinimisationSettings& settings) {
    return [&x, &t, rangeEnd, settings](std::int32_t i) {
        const MinimiseNDResult found = MinimiseFrom(
            kStart, kStart,
            [&](std::span<const double> p, std::span<double> g) { return ObjectiveLi(p, g, i, t); },
            settings);
        const std::vector<double>& p = found.x;
        return IndexResult{RecordLi(x, t, i, rangeEnd, p[0] * p[0], p[1] * p[1]), Minimised(found)};
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

}  // namespace tamsel
