// The plot type a plot window records, and the rules for the plot start of u-plots, y-plots
// and log(PLR) plots.
#pragma once

#include <optional>
#include <string>

namespace tamsel {

// The plot type a plot window records: the Plot menu index, or the second type a builder
// chooses (medians of a recalibrated set; y- and u-plots that may also hold recalibrated
// sets).
enum class PlotType : int {
    FailureTimes = 0,
    CumulativeFailures = 3,
    Quartiles = 10,
    RawMedians = 13,
    RecalibratedMedians = 16,
    RawYPlots = 20,
    MixedYPlots = 21,
    RawUPlots = 23,
    MixedUPlots = 26,
    LogPlr = 30,
    LaplaceTrend = 40,
    RunningAverage = 43,
};

// The plot lag from which a window may also hold recalibrated sets: their predictions begin
// 15 failures after the range start of the estimates set they recalibrate.
inline constexpr int kMixedPlotLag = 15;

// The type of a y- or u-plot window whose plot start lies plotLag failures after the range
// start: "Mixed plots" from kMixedPlotLag on, "Raw plots" before.
PlotType YPlotType(int plotLag);
PlotType UPlotType(int plotLag);

bool IsMixedPlot(PlotType type);

// The plot starts the range dialog offers before a y-plot, u-plot or log(PLR) plot.
struct PlotStartBounds {
    int proposed = 0;   // RangeStart + 15, kept within [smallest, largest]
    int smallest = 0;   // RangeStart for a raw y- or u-plot, otherwise RangeStart + 15
    int largest = 0;    // DataNumber - 1: the last failure with an observed successor
    int mixedFrom = 0;  // RangeStart + 15: the first start at which recalibrated sets fit
};

// The bounds for a plot of kind (RawYPlots, RawUPlots or LogPlr) of the current set; nullopt
// for any other kind. A dataset with too few failures after the range start has no allowed
// start: then smallest > largest.
std::optional<PlotStartBounds> PlotStartBoundsOf(PlotType kind, int rangeStart, int dataNumber,
                                                 bool currentIsRecalibrated);

// A whole number read from a range entry (a plot start or an x axis minimum): text that is
// not a number keeps current; a number is rounded to the nearest whole number (halves to
// the even neighbour) and clamped to [smallest, largest] without a message.
int ClampRangeEntry(const std::string& text, int current, int smallest, int largest);

}  // namespace tamsel
