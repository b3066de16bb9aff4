#include "tamsel/measures/chart_description.h"

#include <cstddef>

#include "tamsel/measures/model_styles.h"

namespace tamsel {
namespace {

// Palette entries of the sets with fixed series.
constexpr int kBlack = 0;
constexpr int kRed = 1;
constexpr int kGreen = 2;
constexpr int kBlue = 3;

void Colour(ChartSeries& series, int paletteIndex, LinePattern pattern = LinePattern::Solid) {
    series.style.colour = kPalette[static_cast<std::size_t>(paletteIndex)];
    series.style.pattern = pattern;
}

// A model's series takes the model's style; any other series k (from 1) of a data group
// takes palette entry k mod 8.
void ColourByPosition(ChartGroup& group, LinePattern pattern) {
    for (std::size_t k = 1; k <= group.series.size(); ++k) {
        ChartSeries& series = group.series[k - 1];
        const ModelStyle* model = FindModelStyle(series.model);
        if (!model) {
            Colour(series, static_cast<int>(k % kPalette.size()), pattern);
            continue;
        }
        series.style.colour = model->colour;
        series.style.pattern = series.recalibrated ? LinePattern::Dashed : LinePattern::Solid;
        series.style.marker = model->marker;
        series.style.markerOrder = model->order;
    }
}

ChartGroup* Group(ChartDescription& chart, std::size_t index) {
    return index < chart.groups.size() ? &chart.groups[index] : nullptr;
}

ChartSeries* Series(ChartDescription& chart, std::size_t group, std::size_t index) {
    ChartGroup* g = Group(chart, group);
    return g && index < g->series.size() ? &g->series[index] : nullptr;
}

void StyleFixed(ChartDescription& chart, std::size_t group, std::size_t index, int paletteIndex,
                LinePattern pattern = LinePattern::Solid) {
    if (ChartSeries* series = Series(chart, group, index)) Colour(*series, paletteIndex, pattern);
}

void SetWidth(ChartDescription& chart, std::size_t group, std::size_t index, int width) {
    if (ChartSeries* series = Series(chart, group, index)) series->style.width = width;
}

}  // namespace

void SetSeriesStyles(ChartDescription& chart) {
    switch (chart.styleSet) {
        case kLogPlrStyles:
            for (ChartGroup& group : chart.groups) ColourByPosition(group, LinePattern::Solid);
            break;
        case kMeasureStyles:
            if (ChartGroup* reference = Group(chart, 0)) {
                for (std::size_t k = 0; k < reference->series.size(); ++k) {
                    Colour(reference->series[k], kBlack,
                           k == 0 ? LinePattern::Dotted : LinePattern::Dashed);
                }
            }
            if (ChartGroup* data = Group(chart, 1)) ColourByPosition(*data, LinePattern::Solid);
            break;
        case kRawMediansStyles:
        case kRecalibratedMediansStyles: {
            // Raw and recalibrated series of the same position share a colour; the pattern
            // tells them apart.
            const bool rawFirst = chart.styleSet == kRawMediansStyles;
            if (ChartGroup* first = Group(chart, 0)) {
                ColourByPosition(*first, rawFirst ? LinePattern::Solid : LinePattern::Dashed);
            }
            if (ChartGroup* second = Group(chart, 1)) {
                ColourByPosition(*second, rawFirst ? LinePattern::Dashed : LinePattern::Solid);
            }
            break;
        }
        case kFailureDataStyles:
            StyleFixed(chart, 0, 0, kBlue);
            StyleFixed(chart, 1, 0, kRed);
            break;
        case kCumulativeFailuresStyles:
            StyleFixed(chart, 0, 0, kBlue);
            break;
        case kQuartilesStyles:
            StyleFixed(chart, 0, 0, kRed);                         // upper quartiles
            StyleFixed(chart, 0, 1, kBlack, LinePattern::Dashed);  // MTTF
            StyleFixed(chart, 0, 2, kBlue);                        // medians
            StyleFixed(chart, 0, 3, kGreen);                       // lower quartiles
            break;
        case kTrendStyles:
            StyleFixed(chart, 0, 0, kBlue);
            // The critical lines come in pairs: +-5 %, then +-1 %.
            for (std::size_t k = 0; k < 4; ++k) {
                StyleFixed(chart, 1, k, kRed, k < 2 ? LinePattern::Dashed : LinePattern::Dotted);
            }
            break;
        default:
            break;
    }
}

void ShowFailureDataSeries(ChartDescription& chart, int mode) {
    if (mode < 0 || mode > 2) return;
    const bool interfailure = mode != 1;
    const bool cumulative = mode != 0;
    if (ChartSeries* series = Series(chart, 0, 0)) series->shown = interfailure;
    if (ChartSeries* series = Series(chart, 1, 0)) series->shown = cumulative;
    chart.yAxis.shown = interfailure;
    chart.y2Axis.shown = cumulative;
}

void ApplyBoldLines(ChartDescription& chart, PlotType plotType, bool bold) {
    const int width = bold ? 3 : 1;
    if (plotType == PlotType::FailureTimes) {
        SetWidth(chart, 0, 0, width);
        SetWidth(chart, 1, 0, width);
    } else if (plotType == PlotType::Quartiles) {
        for (std::size_t k = 0; k < 4; ++k) SetWidth(chart, 0, k, width);
    }
}

}  // namespace tamsel
