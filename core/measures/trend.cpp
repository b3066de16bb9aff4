#include "tamsel/measures/trend.h"

#include <cmath>

namespace tamsel {

std::vector<std::optional<double>> LaplaceFactors(std::span<const double> cumulativeTimes) {
    std::vector<std::optional<double>> factors;
    factors.reserve(cumulativeTimes.size());
    double earlierSum = 0.0;
    for (std::size_t k = 0; k < cumulativeTimes.size(); ++k) {
        const double t = cumulativeTimes[k];
        if (k == 0 || !(t > 0.0)) {
            factors.push_back(std::nullopt);
        } else {
            // Conditional on T(i), the i - 1 earlier times of a homogeneous Poisson process are
            // uniform on (0, T(i)): their mean has mean T(i)/2 and variance T(i)^2 / (12 (i-1)).
            const double earlier = static_cast<double>(k);
            factors.push_back((earlierSum / earlier / t - 0.5) * std::sqrt(12.0 * earlier));
        }
        earlierSum += t;
    }
    return factors;
}

std::vector<double> RunningAverages(std::span<const double> interfailureTimes) {
    std::vector<double> averages;
    averages.reserve(interfailureTimes.size());
    double sum = 0.0;
    for (std::size_t k = 0; k < interfailureTimes.size(); ++k) {
        sum += interfailureTimes[k];
        averages.push_back(sum / static_cast<double>(k + 1));
    }
    return averages;
}

TrendVerdict LaplaceVerdict(double u) {
    if (u < -kLaplace5) return TrendVerdict::Growth;
    if (u > kLaplace5) return TrendVerdict::Decay;
    return TrendVerdict::NoTrend;
}

std::string TrendVerdictText(TrendVerdict verdict) {
    switch (verdict) {
        case TrendVerdict::Growth:
            return "reliability growth";
        case TrendVerdict::Decay:
            return "reliability decay";
        case TrendVerdict::NoTrend:
            break;
    }
    return "no significant trend";
}

std::string LaplaceConclusion(double u) {
    const TrendVerdict verdict = LaplaceVerdict(u);
    if (verdict == TrendVerdict::NoTrend) return TrendVerdictText(verdict);
    return TrendVerdictText(verdict) + (std::fabs(u) > kLaplace1
                                            ? " (significant at the 1 % level)"
                                            : " (significant at the 5 % level)");
}

}  // namespace tamsel
