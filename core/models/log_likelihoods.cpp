#include "tamsel/models/log_likelihoods.h"

#include <cmath>
#include <limits>

namespace tamsel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

double LogOrMinusInfinity(double v) { return v > 0.0 ? std::log(v) : -kInfinity; }

}  // namespace

std::optional<LogLikelihood> FullLogLikelihood(std::string_view code, const FailureSeries& x,
                                               const FailureSeries& t, std::int32_t n) {
    const double big = n;
    const double time = t[n];
    if (code == "JM") {
        return LogLikelihood{[&x, n, big](const ModelParameters& p) {
            double sum = big * std::log(p[1]);
            for (std::int32_t j = 1; j <= n; ++j) {
                const double left = p[0] - j + 1.0;
                sum += std::log(left) - p[1] * left * x[j];
            }
            return sum;
        }};
    }
    if (code == "Du") {
        double logTimes = 0.0;
        for (std::int32_t j = 1; j <= n; ++j) logTimes += LogOrMinusInfinity(t[j]);
        return LogLikelihood{[=](const ModelParameters& p) {
            return big * std::log(p[1] * p[0]) + (p[0] - 1.0) * logTimes -
                   p[1] * std::pow(time, p[0]);
        }};
    }
    if (code == "MO") {
        return LogLikelihood{[&t, n, big, time](const ModelParameters& p) {
            double sum = big * std::log(p[1]) - p[1] * std::log1p(time / p[0]);
            for (std::int32_t j = 1; j <= n; ++j) sum -= std::log(p[0] + t[j]);
            return sum;
        }};
    }
    if (code == "GO") {
        double total = 0.0;
        for (std::int32_t j = 1; j <= n; ++j) total += t[j];
        return LogLikelihood{[=](const ModelParameters& p) {
            return big * std::log(p[0] * p[1]) - p[1] * total + p[0] * std::expm1(-p[1] * time);
        }};
    }
    if (code == "Li" || code == "LNHPP") {
        const bool li = code == "Li";
        // Both are made of the same Pareto detection-time densities; Li has N of them.
        return LogLikelihood{[&t, n, big, time, li](const ModelParameters& p) {
            const double alpha = p[1];
            const double beta = p[2];
            double sum = big * std::log(alpha);
            for (std::int32_t j = 1; j <= n; ++j) {
                sum -= std::log(beta + t[j]) + alpha * std::log1p(t[j] / beta);
                if (li) sum += std::log(p[0] - j + 1.0);
            }
            const double tail = alpha * std::log1p(time / beta);
            if (li) return sum - (p[0] - big) * tail;
            return sum + big * std::log(p[0]) + p[0] * std::expm1(-tail);
        }};
    }
    if (code == "LV") {
        return LogLikelihood{[&x, n](const ModelParameters& p) {
            double sum = 0.0;
            for (std::int32_t j = 1; j <= n; ++j) {
                const double psi = p[1] + p[2] * j;
                if (!(psi > 0.0)) return -kInfinity;
                sum += std::log(p[0]) + p[0] * std::log(psi) - (p[0] + 1.0) * std::log(psi + x[j]);
            }
            return sum;
        }};
    }
    if (code == "KL") {
        return LogLikelihood{[&x, n](const ModelParameters& p) {
            double sum = 0.0;
            for (std::int32_t j = 1; j <= n; ++j) {
                const double inverse = p[0] + p[1] * j;
                if (!(inverse > 0.0)) return -kInfinity;
                const double s = 1.0 / inverse;
                sum += std::log(s) + s * std::log(p[2]) - (s + 1.0) * std::log(p[2] + x[j]);
            }
            return sum;
        }};
    }
    return std::nullopt;
}

}  // namespace tamsel
