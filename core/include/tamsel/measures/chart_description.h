// What a plot window's chart shows, as plain data: every number and every text on the chart
// is decided here, so that whatever draws a ChartDescription (the chart library, the
// command-line tool) computes nothing of its own.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/measures/plot_types.h"

namespace tamsel {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The palette of the style sets, indexed 0 to 7: black, red, green, blue, cyan, magenta,
// yellow, grey.
inline constexpr std::array<Rgb, 8> kPalette = {{{0, 0, 0},
                                                 {255, 0, 0},
                                                 {0, 255, 0},
                                                 {0, 0, 255},
                                                 {0, 255, 255},
                                                 {255, 0, 255},
                                                 {255, 255, 0},
                                                 {127, 127, 127}}};

// The background of the "Optimistic" and "Pessimistic" labels: light yellow.
inline constexpr Rgb kLabelBackground{255, 255, 192};

// The style set of each plot kind (see SetSeriesStyles).
inline constexpr int kLogPlrStyles = 0;
inline constexpr int kFailureDataStyles = 1;
inline constexpr int kMeasureStyles = 2;  // u- and y-plots
inline constexpr int kRawMediansStyles = 3;
inline constexpr int kRecalibratedMediansStyles = 4;
inline constexpr int kCumulativeFailuresStyles = 5;
inline constexpr int kQuartilesStyles = 6;
inline constexpr int kTrendStyles = 7;  // Laplace trend test and running average

enum class ChartType { Line, Area };

// How the x values of a group's series relate: one run shared by every series (medians), or
// a run of its own per series (u- and y-plots). The points of each series always carry
// their x values; the layout tells a drawing facility how they were meant.
enum class DataLayout { SharedX, PerSeriesX };

// The vertical axis a group is plotted against.
enum class VerticalAxis { Y, Y2 };

enum class LinePattern { Solid, Dashed, Dotted };

// The shape of the markers along a model's line; None for a line without markers.
enum class MarkerShape { None, Circle, Square, Diamond, Triangle, Star, Pentagon };

struct ChartPoint {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const ChartPoint&, const ChartPoint&) = default;
};

struct SeriesStyle {
    Rgb colour;
    LinePattern pattern = LinePattern::Solid;
    int width = 1;  // 3 for a bold line
    // Markers at a few points along the line, placed by markerOrder (0 to 7) so that those
    // of lines that coincide fall at different points.
    MarkerShape marker = MarkerShape::None;
    int markerOrder = 0;
};

struct ChartSeries {
    std::string label;  // empty for a reference line, which the legend leaves out
    std::vector<ChartPoint> points;
    bool shown = true;
    SeriesStyle style;  // set by SetSeriesStyles
    // The model whose set the series shows ("JM"; empty for none), and whether the set holds
    // recalibrated predictions: together they choose the style of a model's series.
    std::string model;
    bool recalibrated = false;
    // Points of the series drawn with a hollow marker in its colour: fits that ended
    // irregularly.
    std::vector<ChartPoint> hollowMarkers;
};

struct ChartGroup {
    ChartType type = ChartType::Line;
    DataLayout layout = DataLayout::SharedX;
    VerticalAxis axis = VerticalAxis::Y;
    std::vector<ChartSeries> series;
};

struct ChartAxis {
    std::string title;
    bool shown = true;
    // Fixed ends; an empty one is chosen by the drawing facility from the data.
    std::optional<double> minimum;
    std::optional<double> maximum;
};

enum class LabelAttachment {
    DataPoint,    // centred on (x, y) in data coordinates
    BelowLegend,  // at the legend's left edge, legendGap units below its bottom
};

struct ChartLabel {
    std::string text;
    LabelAttachment attachment = LabelAttachment::DataPoint;
    double x = 0.0;
    double y = 0.0;
    int legendGap = 0;
    std::optional<Rgb> background;  // none: transparent
};

struct ChartDescription {
    std::string header;
    ChartAxis xAxis;
    ChartAxis yAxis;
    ChartAxis y2Axis{"", false, std::nullopt, std::nullopt};
    std::vector<ChartGroup> groups;  // at most two; the legend lists their series in order
    std::vector<ChartLabel> labels;
    int styleSet = 0;  // 0 to 7, see SetSeriesStyles
};

// Styles every series of chart by its style set. In sets 0, 2, 3 and 4 a series of a model's
// set takes the model's colour and markers (FindModelStyle), solid when raw and dashed when
// recalibrated; any other series k (from 1, counted within its group) of the data groups
// takes kPalette[k mod 8]. The reference group of the u- and y-plots (set 2, group 1) is
// black, its diagonal dotted and its 5 % band dashed; in the medians sets (3 raw, 4
// recalibrated) raw series are solid and recalibrated ones dashed.
// Sets 1 (failure data), 5 (cumulative failures) and 6 (quartiles) style their fixed series
// one by one; set 7 (trend plots) draws its data series blue and its critical lines red,
// dashed at 5 % and dotted at 1 %. Line widths are kept.
void SetSeriesStyles(ChartDescription& chart);

// The failure-times chart's series choice: mode 0 the interfailure times on Y, 1 the
// cumulative times on Y2, 2 both. Any other mode changes nothing.
void ShowFailureDataSeries(ChartDescription& chart, int mode);

// The "Bold plots" option: line width 3 (1 when off) for series 1 of both groups of a
// failure-times chart and the four series of a quartiles chart.
// Other plot types are left alone.
void ApplyBoldLines(ChartDescription& chart, PlotType plotType, bool bold);

}  // namespace tamsel
