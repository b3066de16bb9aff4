// The predictive quality measures as plain computations over prediction rows: u-plot,
// y-plot, Kolmogorov distance, log prequential likelihood ratio, and the quartiles plot's
// axis maximum. Nothing here reads the project file or shows a message.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tamsel/measures/chart_description.h"

namespace tamsel {

// One prediction that was followed by an observation: the predictive distribution function
// and density of the interfailure time after failure failureIndex, at the time observed.
struct PredictionRow {
    int failureIndex = 0;
    double cdf = 0.0;
    double pdf = 0.0;
};

// The largest of |a(i) - b(i)| and |a(i) - b(i) + b(1)| over i, for a sample a against its
// plotting positions b (same length); 0 for an empty sample.
double KolmogorovDistance(std::span<const double> sample, std::span<const double> positions);

// A plotted curve, its Kolmogorov distance from the diagonal against the plotting positions
// (the distance shown), and the significance of the standard statistic D of the same values
// against the uniform distribution.
struct MeasureCurve {
    std::vector<ChartPoint> points;
    double distance = 0.0;
    int testedPoints = 0;          // the n of D
    std::optional<double> pValue;  // P(D >= the observed D) under uniformity; none for n = 0
};

// The u-plot of u-values sorted ascending: points (u(i), i / (n + 1)); D of the n u-values.
MeasureCurve UPlotCurve(std::span<const double> sortedU);

// The y-plot of u-values in failure order: x(i) = -ln(1 - u(i)) with u clamped to [0, 1]
// (u = 1 gives -ln(1e-30), about 69.0776), y(i) = (x(1) + ... + x(i)) / (x(1) + ... + x(n)),
// points (y(i), i / n). When every x(i) is 0 all y(i) are 0. Empty for no u-values. D is of
// y(1..n-1): y(n) is always 1, and the others are then uniform order statistics.
MeasureCurve YPlotCurve(std::span<const double> chronologicalU);

// "p=" and p with three decimals, trailing zeros dropped ("p=0.005", "p=0.01"); "p<0.001"
// below 0.0005, where three decimals would read as 0.
std::string PValueText(double p);

// modelLabel + " ks=" + distance with three decimals, then " " + PValueText(pValue) when
// there is one.
std::string KolmogorovLabel(const std::string& modelLabel, double distance,
                            std::optional<double> pValue = std::nullopt);

// The verdict on a set's predictions from the p-values of its u-plot and y-plot: when either
// is below 0.05, the smaller names the fault, "biased (u-plot p=0.005)" or "drifting (y-plot
// p=0.01)"; otherwise "no evidence of bias".
std::string BiasVerdict(std::optional<double> uPlotP, std::optional<double> yPlotP);

// ln pdf, with a density of 0 or below taken as 0: ln(1e-30), about -69.0776.
double LogDensity(double pdf);

// The points (i, L(i) - R(i)) over the failure indices i that both sets predict, ascending,
// where L and R are the running sums of LogDensity over those indices for the plotted set and
// the reference. Rows of each set are in ascending failure index order.
std::vector<ChartPoint> LogPlrCurve(std::span<const PredictionRow> plotted,
                                    std::span<const PredictionRow> reference);

// The quartiles plot's y axis maximum: the largest of 0, the upper quartiles below 1e30 and
// the mean times to failure below 1e307 (the sentinels of infinite values do not widen the
// axis).
double QuartilesAxisMaximum(std::span<const double> upperQuartiles, std::span<const double> mttf);

}  // namespace tamsel
