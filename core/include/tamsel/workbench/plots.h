// The plot builders: each reads the rows of the current selection, computes its series and
// gives the window caption, the chart description and the state the plot window keeps; and
// the routines that add a further set's series to an open plot.
//
// Every routine that fails has shown its message through the sink (the store's selections
// show their own) and gives nullopt or false; nothing is written to the project file.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/measures/chart_description.h"
#include "tamsel/measures/plot_types.h"
#include "tamsel/store/database.h"
#include "tamsel/support/selection.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

// What a plot window remembers of what it shows.
struct PlotWindowState {
    std::string dataSet;      // DataName
    int estimatesSetId = 0;   // the estimates set the window was opened for
    int referenceSetId = 0;   // log(PLR): the reference of the next added curve
    int rangeStart = 0;       // RangeStart of that estimates set
    int rangeLag = 0;         // plot start - RangeStart (u-, y- and log(PLR) plots)
    int setSize = 0;          // DataNumber (quartiles and medians)
    bool refRecFlag = false;  // the reference is a recalibrated predictions set
    PlotType plotType = PlotType::FailureTimes;
    // Every set whose rows the plot draws or compares with (log(PLR) references too), the one
    // it was opened for first; empty for the plots of the dataset alone. A window showing a
    // set that is deleted must close.
    std::vector<PredictionSetRef> sets;

    int PlotStart() const { return rangeStart + rangeLag; }
};

// What must be current before a plot kind can be drawn.
enum class PlotNeeds { DataSet, EstimatesSet, RawEstimatesSet };

// A kind of the Plot menu: its type, its name on the command line and its menu caption.
struct PlotKind {
    PlotType type;
    std::string_view cliName;
    std::string_view menuCaption;
    PlotNeeds needs;
};

// The Plot menu's kinds in menu order.
std::span<const PlotKind> PlotKinds();

struct Plot {
    std::string caption;
    ChartDescription chart;
    PlotWindowState state;
};

// The dataset's interfailure times (group 1, on Y) and cumulative times (group 2, on Y2)
// against the failure index, showing the interfailure times only.
std::optional<Plot> PlotFailureTimes(Database& db, const CurrentSelection& selection);

// The points (cumulative time of failure i, i) as an area.
std::optional<Plot> PlotCumulativeFailures(Database& db, const CurrentSelection& selection);

// Upper quartiles, MTTF, medians and lower quartiles of the current estimates set (also when
// a recalibrated set is current) against the failure index, the y axis fixed at
// QuartilesAxisMaximum (automatic when that is 0).
std::optional<Plot> PlotQuartilesAndMttf(Database& db, const CurrentSelection& selection);

// The medians of the current set against the failure index (type 13 for a raw set, 16 for
// a recalibrated one); a second, empty group takes sets of the other kind. The x axis
// starts at RangeStart.
std::optional<Plot> PlotMedians(Database& db, const CurrentSelection& selection);

// The Laplace factor u(i) of the dataset against the failure index, with the one-sided
// critical lines at +-1.645 (5 %) and +-2.326 (1 %).
std::optional<Plot> PlotLaplaceTrend(Database& db, const CurrentSelection& selection);

// The running average of the interfailure times against the failure index.
std::optional<Plot> PlotRunningAverage(Database& db, const CurrentSelection& selection);

// The u-plot of the current set from plotStart on, with the diagonal, the 5 % band of the
// set's own number of u-values (the diagonal +- the critical distance) and the "Optimistic"
// and "Pessimistic" labels; type 26 ("Mixed plots") when plotStart >= RangeStart + 15,
// else 23. Series labels carry the distance and the p-value: "JM ks=0.171 p=0.005".
std::optional<Plot> PlotUPlots(Database& db, const CurrentSelection& selection, int plotStart);

// The y-plot of the current set from plotStart on, with the diagonal and the 5 % band of its
// n - 1 tested points; type 21 or 20 as for u-plots. A recalibrated current set with plotStart <
// RangeStart + 15 shows "an error occurred calling a recalibrated y-plot with a premature plot
// start".
std::optional<Plot> PlotYPlots(Database& db, const CurrentSelection& selection, int plotStart);

// The log(PLR) of the current set against reference from plotStart on (type 30), with the
// "next ref: " label under the legend. A reference that predicts none of the failures the
// current set predicts from plotStart on shows "The reference set predicts none of the
// failures that the plotted set predicts from failure <plotStart> on. Please select another
// reference set."
std::optional<Plot> PlotLogPlr(Database& db, const CurrentSelection& selection,
                               const PredictionSetRef& reference, int plotStart);

// PlotStartBoundsOf for the plot kinds that ask for a start. A dataset with too few failures
// after the range start has no allowed start: then shows "There are too few failures after the
// range start for this plot: its start must be at least <smallest> and at most <largest>." and
// gives nullopt. Any other kind gives nullopt without a message.
std::optional<PlotStartBounds> PlotStartRange(PlotType kind, int rangeStart, int dataNumber,
                                              bool currentIsRecalibrated);

// Where a plot's start and a log(PLR) plot's reference come from: the desktop application
// asks the user, the command-line tool reads its options. Each gives nullopt when there is
// none (the user cancelled, an option was refused), and the plot is then not drawn.
struct PlotChoices {
    std::function<std::optional<int>(const PlotStartBounds& bounds)> start;
    std::function<std::optional<PredictionSetRef>()> reference;
};

// The plot of kind for the current selection. Y-, u- and log(PLR) plots first check that
// the set offers a plot start (PlotStartRange), then take the reference (log(PLR) only) and
// the start from choose.
std::optional<Plot> BuildPlot(Database& db, PlotType kind, const CurrentSelection& selection,
                              const PlotChoices& choose);

// Append the series of set to an open plot of the matching kind, with the window's plot
// start; false (without a message) for a plot of another kind.
//
// AddYPlotSeries refuses a recalibrated set in a window whose plot start lies less than 15
// failures after its range start: "an error occurred plotting a recalibrated set with a
// premature plot start". AddMedianSeries puts a set of the window's kind (raw in type 13,
// recalibrated in type 16) into group 1 and any other into group 2. AddPlrSeries compares
// set with the window's current reference (refused as by PlotLogPlr).
bool AddUPlotSeries(Database& db, Plot& plot, const PredictionSetRef& set);
bool AddYPlotSeries(Database& db, Plot& plot, const PredictionSetRef& set);
bool AddMedianSeries(Database& db, Plot& plot, const PredictionSetRef& set);
bool AddPlrSeries(Database& db, Plot& plot, const PredictionSetRef& set);

// The "Add plot" and "Add recalibrated plot" commands: adds set to the plot when its type
// takes sets of that kind (raw: medians, y-, u- and log(PLR) plots; recalibrated: medians,
// mixed y- and u-plots and log(PLR) plots); false, doing nothing, otherwise.
bool AddSetToPlot(Database& db, Plot& plot, const PredictionSetRef& set);

// Makes reference the one the next added log(PLR) curve is compared with and relabels the
// "next ref: " label; the curves drawn keep theirs. A plot that is not a log(PLR) plot shows
// "An error occurred in the PLR plotting buttons." and is left alone.
bool ChangeNextReference(Database& db, Plot& plot, const PredictionSetRef& reference);

}  // namespace tamsel
