// Trend tests on a dataset's raw failure times: the Laplace test for failure-truncated data
// and the running average of the interfailure times. They tell whether there is reliability
// growth at all, before any growth model is fitted.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tamsel {

// One-sided critical values of the Laplace factor, the standard normal quantiles at 95 % and
// 99 %: below -kLaplace5 (-kLaplace1) growth is significant at 5 % (1 %), above +kLaplace5
// decay.
inline constexpr double kLaplace5 = 1.6448536269514722;
inline constexpr double kLaplace1 = 2.3263478740408408;

enum class TrendVerdict { Growth, Decay, NoTrend };

// The trend measures at one failure.
struct TrendPoint {
    int failureIndex = 0;
    std::optional<double> laplace;  // u(i); none for the first failure
    double runningAverage = 0.0;    // tau(i)
};

// The Laplace factors of failures 1..n from their cumulative times T(1..n), element i - 1 for
// failure i: u(i) = [mean of T(1..i-1) - T(i)/2] / [T(i) sqrt(1 / (12 (i - 1)))]. Failure 1,
// and any failure with T(i) <= 0, has none. Negative values mean reliability growth.
std::vector<std::optional<double>> LaplaceFactors(std::span<const double> cumulativeTimes);

// tau(i) = (x(1) + ... + x(i)) / i over the interfailure times x, element i - 1 for failure i.
std::vector<double> RunningAverages(std::span<const double> interfailureTimes);

// The verdict of a Laplace factor at the one-sided 5 % level.
TrendVerdict LaplaceVerdict(double u);

// "reliability growth", "reliability decay" or "no significant trend".
std::string TrendVerdictText(TrendVerdict verdict);

// The verdict of u with the strongest level it is significant at: "reliability growth
// (significant at the 1 % level)", "... (significant at the 5 % level)", or "no significant
// trend".
std::string LaplaceConclusion(double u);

}  // namespace tamsel
