#include "tamsel/models/du_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "fit_support.h"
#include "process_support.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"

namespace tamsel {
namespace {

constexpr double kExponentFloor = -700.0;
// The largest |ln T^Beta| whose power and reciprocal are both doubles, with room for i.
constexpr double kLargestLogPower = 700.0;

// Running sums over failures 1..i, element i, in failure order.
struct DuSums {
    std::vector<double> logTime;         // sum ln t(j)
    std::vector<std::int32_t> notAfter;  // how many t(j) are <= 0
};

std::shared_ptr<const DuSums> ComputeSums(const FailureSeries& t, std::int32_t rangeEnd) {
    auto sums = std::make_shared<DuSums>();
    auto size = static_cast<std::size_t>(rangeEnd) + 1;
    sums->logTime.assign(size, 0.0);
    sums->notAfter.assign(size, 0);
    for (std::size_t k = 1; k < size; ++k) {
        bool positive = t[k] > 0.0;
        sums->logTime[k] = sums->logTime[k - 1] + (positive ? std::log(t[k]) : 0.0);
        sums->notAfter[k] = sums->notAfter[k - 1] + (positive ? 0 : 1);
    }
    return sums;
}

// Alpha ((T + s)^Beta - T^Beta) as Alpha T^Beta ((1 + s / T)^Beta - 1), which keeps its
// digits when s is small beside T.
double ExpectedEvents(double t, double s, double beta, double alpha) {
    if (t <= 0.0) return alpha * Power(s, beta);
    return alpha * Power(t, beta) * std::expm1(beta * Log1pRatio(s, t));
}

// The density at s for its survival: the intensity Alpha Beta (T + s)^(Beta - 1) times the
// survival, in logarithms so that no factor under- or overflows on its own.
double DensityDu(double t, double s, double beta, double alpha, double survival) {
    if (survival == 0.0 || t + s <= 0.0) return 0.0;
    return beta * std::exp(std::log(alpha) + (beta - 1.0) * std::log(t + s) + std::log(survival));
}

}  // namespace

double CdfDu(double t, double s, double beta, double alpha, double& survival) {
    double exponent = -ExpectedEvents(t, s, beta, alpha);
    if (exponent < kExponentFloor) {
        survival = 0.0;
        return 1.0;
    }
    survival = std::exp(exponent);
    return -std::expm1(exponent);
}

double PercentileDu(double p, double t, double beta, double alpha) {
    if (!IsProbability(p)) return 0.0;
    const double events = -std::log1p(-p) / alpha;  // Alpha ((T + s)^Beta - T^Beta) = -ln(1 - p)
    // T ((1 + events / T^Beta)^(1 / Beta) - 1): the difference of the two powers cancels when
    // the quantile is small beside T.
    const double quantile = t > 0.0 ? t * std::expm1(Log1pRatio(events, Power(t, beta)) / beta)
                                    : std::pow(events, 1.0 / beta);
    return std::isfinite(quantile) ? quantile : kInfiniteQuartile;
}

Guarded MttfDu(double beta, double alpha, std::int32_t i, double t) {
    double a = 1.0 / beta;
    double mean = 0.0;
    if (i >= a + 1.0) {
        // e^i Gamma(a) Q(a, i) = i^a g(a, i): forming Q = 1 - P would cancel every digit
        // here. (i / Alpha)^a / Beta equals i^a / (Beta Alpha^a) without overflowing.
        if (const std::optional<double> scaled = ScaledUpperGamma(i, a)) {
            mean = Power(i / alpha, a) * *scaled / beta;
        }
    } else if (const std::optional<double> lower = GammaP(i, a).value) {
        // Here Q is not small, but e^i Gamma(a) / Alpha^a may overflow on its own: the
        // product is taken in logarithms, and a mean beyond the doubles is infinite.
        const double logMean =
            i + *GammaLn(a).value + std::log1p(-*lower) - std::log(beta) - a * std::log(alpha);
        mean = logMean < std::log(kInfiniteMttf) ? std::exp(logMean) : kInfiniteMttf;
    }
    if (mean > 0.0 && std::isfinite(mean)) return {mean};
    return {t / (i * beta), MathFault::MttfGamma};
}

IndexFit PrepareDu(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd) {
    std::shared_ptr<const DuSums> sums = ComputeSums(t, rangeEnd);
    return [&x, &t, sums, rangeEnd](std::int32_t i) {
        double time = t[i];
        double denominator = i * std::log(time) - sums->logTime[i];
        double beta = 1.0;
        double alpha = time > 0.0 ? i / time : kInfiniteQuartile;
        // With a cumulative time of 0, or all cumulative times equal (Beta -> infinity), the
        // likelihood has no finite maximum.
        FitTermination end{FitOutcome::Singular, {}, 0};
        double logLhd = time > 0.0 ? HppLogLhd(i, time) : 0.0;
        if (sums->notAfter[i] == 0 && t[1] != time && denominator > 0.0) {
            beta = i / denominator;
            // Alpha = i / T^Beta and T^Beta must both be doubles for the record to predict
            // what the maximum does: not so where failures crowd far from the time origin
            // (Beta in the millions) or times lie near the doubles' ends.
            if (std::fabs(beta * std::log(time)) > kLargestLogPower) {
                char detail[320];
                std::snprintf(detail, sizeof detail,
                              "Alpha = i / T^Beta (Beta = %.6g, T = %.6g) lies beyond the numbers "
                              "that can be stored. Write the times in a unit that brings them "
                              "nearer 1, measure them from a start nearer the failures, or apply "
                              "the model from a later failure",
                              beta, time);
                IndexResult unstorable;
                unstorable.unstorable = detail;
                return unstorable;
            }
            alpha = i / Power(time, beta);
            // At the maximum Alpha T^Beta = i.
            logLhd = i * std::log(alpha * beta) + (beta - 1.0) * sums->logTime[i] - i;
            end = {};
        } else if (sums->notAfter[i] == 0 && t[1] != time) {
            end = LimitEnd("homogeneous", 0);
        }
        const Guarded mttf = MttfDu(beta, alpha, i, time);
        EstimateRecord record;
        record.param1 = beta;
        record.param2 = alpha;
        record.logLhd = logLhd;
        record.mttf = *mttf.value;
        record.lowQ = PercentileDu(0.25, time, beta, alpha);
        record.median = PercentileDu(0.5, time, beta, alpha);
        record.uppQ = PercentileDu(0.75, time, beta, alpha);
        if (i < rangeEnd) {
            double next = x[i + 1];
            double survival = 0.0;
            record.cdf = CdfDu(time, next, beta, alpha, survival);
            record.pdf = DensityDu(time, next, beta, alpha, survival);
        }
        return IndexResult{record, end, mttf.fault};
    };
}

EstimationResult EstimateDu(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeStart,
                            std::int32_t rangeEnd, const MinimisationSettings& /*settings*/,
                            EstimatesArray& estimates, const RunControl& control) {
    return RunPrequential(rangeStart, rangeEnd, PrepareDu(x, t, rangeEnd), estimates, control);
}

namespace {

PredictivePoint NextDu(const StoredFit& fit, double s) {
    double survival = 0.0;
    const double u = CdfDu(fit.time, s, fit.param1, fit.param2, survival);
    return {u, DensityDu(fit.time, s, fit.param1, fit.param2, survival)};
}

double QuantileDu(const StoredFit& fit, double p) {
    return PercentileDu(p, fit.time, fit.param1, fit.param2);
}

std::optional<double> Regular(const StoredFit&) { return std::nullopt; }

double MeanDu(const StoredFit& fit) {
    return *MttfDu(fit.param1, fit.param2, fit.index, fit.time).value;
}

}  // namespace

const Predictive kPredictiveDu{&NextDu, &QuantileDu, &Regular, &MeanDu, nullptr};

namespace {

// The intensity Alpha Beta t^(Beta - 1) of the mean value function Alpha t^Beta.
double IntensityDu(const StoredFit& fit) {
    return fit.param2 * fit.param1 * std::pow(fit.time, fit.param1 - 1.0);
}

// Alpha ((T + t)^Beta - T^Beta), without the difference of two close powers.
double ExpectedFailuresDu(const StoredFit& fit, double t) {
    return fit.param2 * std::pow(fit.time, fit.param1) *
           std::expm1(fit.param1 * std::log1p(t / fit.time));
}

// The intensity decays as (T / (T + u))^(1 - Beta) only when Beta < 1.
TargetReach ReachDu(const StoredFit& fit, double target) {
    const double now = IntensityDu(fit);
    if (now <= target) return ReachedNow();
    if (fit.param1 >= 1.0) return NeverReached();
    return ReachDecayingPower(now, target, fit.time, 1.0 - fit.param1);
}

double ReliabilityDu(const StoredFit& fit, double t) {
    return std::exp(-ExpectedFailuresDu(fit, t));
}

}  // namespace

const FailureProcess kProcessDu{&IntensityDu, &ExpectedFailuresDu, nullptr, &ReachDu,
                                &ReliabilityDu};

}  // namespace tamsel
