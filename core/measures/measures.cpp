#include "tamsel/measures/measures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tamsel/measures/kolmogorov.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/numeric/math_functions.h"

namespace tamsel {

double KolmogorovDistance(std::span<const double> sample, std::span<const double> positions) {
    if (sample.empty()) return 0.0;
    const double step = positions[0];
    double distance = 0.0;
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const double above = std::fabs(sample[i] - positions[i]);
        if (above > distance) distance = above;
        const double below = std::fabs(sample[i] - positions[i] + step);
        if (below > distance) distance = below;
    }
    return distance;
}

namespace {

// tested: how many of the (ascending) values enter the standard statistic.
MeasureCurve CurveAgainst(const std::vector<double>& values, const std::vector<double>& positions,
                          std::size_t tested) {
    MeasureCurve curve;
    curve.points.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        curve.points.push_back({values[i], positions[i]});
    curve.distance = KolmogorovDistance(values, positions);
    curve.testedPoints = static_cast<int>(tested);
    if (tested > 0) {
        const double d = KolmogorovStatistic(std::span(values).first(tested));
        curve.pValue = KolmogorovPValue(curve.testedPoints, d);
    }
    return curve;
}

}  // namespace

MeasureCurve UPlotCurve(std::span<const double> sortedU) {
    const std::size_t n = sortedU.size();
    std::vector<double> positions(n);
    for (std::size_t i = 0; i < n; ++i) positions[i] = (i + 1.0) / (n + 1.0);
    return CurveAgainst({sortedU.begin(), sortedU.end()}, positions, n);
}

MeasureCurve YPlotCurve(std::span<const double> chronologicalU) {
    const std::size_t n = chronologicalU.size();
    std::vector<double> sums(n);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        // A recalibrated u can leave [0, 1] by rounding; 1 - u must stay in SafeLog's domain.
        sum += -SafeLog(1.0 - std::clamp(chronologicalU[i], 0.0, 1.0));
        sums[i] = sum;
    }
    std::vector<double> positions(n);
    for (std::size_t i = 0; i < n; ++i) {
        positions[i] = (i + 1.0) / static_cast<double>(n);
        sums[i] = sum > 0.0 ? sums[i] / sum : 0.0;
    }
    return CurveAgainst(sums, positions, n > 0 ? n - 1 : 0);
}

std::string PValueText(double p) {
    if (p < 0.0005) return "p<0.001";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", p);
    std::string digits = text;
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.back() == '.') digits.pop_back();
    return "p=" + digits;
}

std::string KolmogorovLabel(const std::string& modelLabel, double distance,
                            std::optional<double> pValue) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", distance);
    return modelLabel + " ks=" + text + (pValue ? " " + PValueText(*pValue) : "");
}

std::string BiasVerdict(std::optional<double> uPlotP, std::optional<double> yPlotP) {
    constexpr double kLevel = 0.05;
    const bool uBad = uPlotP && *uPlotP < kLevel;
    const bool yBad = yPlotP && *yPlotP < kLevel;
    if (uBad && (!yBad || *uPlotP <= *yPlotP)) return "biased (u-plot " + PValueText(*uPlotP) + ")";
    if (yBad) return "drifting (y-plot " + PValueText(*yPlotP) + ")";
    return "no evidence of bias";
}

double LogDensity(double pdf) { return SafeLog(std::max(pdf, 0.0)); }

std::vector<ChartPoint> LogPlrCurve(std::span<const PredictionRow> plotted,
                                    std::span<const PredictionRow> reference) {
    std::vector<ChartPoint> points;
    double plottedSum = 0.0;
    double referenceSum = 0.0;
    std::size_t r = 0;
    for (const PredictionRow& row : plotted) {
        while (r < reference.size() && reference[r].failureIndex < row.failureIndex) ++r;
        if (r == reference.size()) break;
        if (reference[r].failureIndex != row.failureIndex) continue;
        plottedSum += LogDensity(row.pdf);
        referenceSum += LogDensity(reference[r].pdf);
        points.push_back({static_cast<double>(row.failureIndex), plottedSum - referenceSum});
    }
    return points;
}

double QuartilesAxisMaximum(std::span<const double> upperQuartiles, std::span<const double> mttf) {
    double maximum = 0.0;
    for (double value : upperQuartiles) {
        if (value < kInfiniteQuartile) maximum = std::max(maximum, value);
    }
    for (double value : mttf) {
        if (value < kInfiniteMttf) maximum = std::max(maximum, value);
    }
    return maximum;
}

}  // namespace tamsel
