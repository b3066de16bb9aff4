#include "tamsel/workbench/plots.h"

#include <algorithm>
#include <utility>

#include "tamsel/measures/kolmogorov.h"
#include "tamsel/measures/measures.h"
#include "tamsel/measures/trend.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"
#include "tamsel/tables/text_table.h"
#include "tamsel/workbench/fit_outcomes.h"

namespace tamsel {
namespace {

constexpr PlotKind kPlotKinds[] = {
    {PlotType::FailureTimes, "failures", "Show Plot &Failure Times", PlotNeeds::DataSet},
    {PlotType::CumulativeFailures, "cumulative", "Show Plot &Cumulative failures",
     PlotNeeds::DataSet},
    {PlotType::LaplaceTrend, "laplace", "Show &Laplace trend test", PlotNeeds::DataSet},
    {PlotType::RunningAverage, "average", "Show Running &average", PlotNeeds::DataSet},
    {PlotType::Quartiles, "quartiles", "Show Plots &Quartiles + MTTF", PlotNeeds::RawEstimatesSet},
    {PlotType::RawMedians, "medians", "Show &Median plot", PlotNeeds::EstimatesSet},
    {PlotType::RawYPlots, "yplot", "Show &Y-Plot", PlotNeeds::EstimatesSet},
    {PlotType::RawUPlots, "uplot", "Show &U-Plot", PlotNeeds::EstimatesSet},
    {PlotType::LogPlr, "plr", "Show log(&PLR)-Plot", PlotNeeds::EstimatesSet},
};

// The "next ref" label sits this far below the legend.
constexpr int kReferenceLabelGap = 15;

// The significance level of the band around the diagonal of u- and y-plots.
constexpr double kBandLevel = 0.05;

ChartDescription NewChart(const std::string& header, const std::string& xTitle,
                          const std::string& yTitle, int styleSet) {
    ChartDescription chart;
    chart.header = header;
    chart.xAxis.title = xTitle;
    chart.yAxis.title = yTitle;
    chart.styleSet = styleSet;
    return chart;
}

ChartGroup Group(DataLayout layout, std::vector<ChartSeries> series = {},
                 ChartType type = ChartType::Line, VerticalAxis axis = VerticalAxis::Y) {
    ChartGroup group;
    group.type = type;
    group.layout = layout;
    group.axis = axis;
    group.series = std::move(series);
    return group;
}

ChartSeries Series(std::string label, std::vector<ChartPoint> points) {
    ChartSeries series;
    series.label = std::move(label);
    series.points = std::move(points);
    return series;
}

// A series of set, whose ModelLabel is modelLabel: styled by its model.
ChartSeries SetSeries(std::string label, std::vector<ChartPoint> points,
                      const std::string& modelLabel, const PredictionSetRef& set) {
    ChartSeries series = Series(std::move(label), std::move(points));
    // A recalibrated set's label is its model's code with "#" after it.
    series.model = set.recalibrated ? modelLabel.substr(0, modelLabel.size() - 1) : modelLabel;
    series.recalibrated = set.recalibrated;
    return series;
}

// The state every builder records: the dataset, the estimates set and its range start.
PlotWindowState BaseState(const CurrentSelection& selection, PlotType type) {
    PlotWindowState state;
    state.dataSet = selection.dataSetName;
    state.estimatesSetId = selection.estimatesSetId;
    state.rangeStart = selection.rangeStart;
    state.plotType = type;
    return state;
}

PredictionSetRef CurrentSet(const CurrentSelection& selection) {
    return selection.recalibrated ? PredictionSetRef{selection.predictionsSetId, true}
                                  : PredictionSetRef{selection.estimatesSetId, false};
}

void AddShownSet(PlotWindowState& state, const PredictionSetRef& set) {
    if (std::ranges::find(state.sets, set) == state.sets.end()) state.sets.push_back(set);
}

// The state of a plot of the current set.
PlotWindowState SetPlotState(const CurrentSelection& selection, PlotType type) {
    PlotWindowState state = BaseState(selection, type);
    state.sets = {CurrentSet(selection)};
    return state;
}

std::string PlotStartCaption(const std::string& dataName, const std::string& kind, PlotType type,
                             int plotStart) {
    return "PLOT: " + dataName + " - " + kind +
           (IsMixedPlot(type) ? " - Mixed plots" : " - Raw plots") +
           " - Range:" + std::to_string(plotStart) + "->end";
}

std::vector<double> CdfValues(const std::vector<PredictionRow>& rows) {
    std::vector<double> values;
    values.reserve(rows.size());
    for (const PredictionRow& row : rows) values.push_back(row.cdf);
    return values;
}

std::optional<ChartSeries> UPlotSeries(Database& db, const PredictionSetRef& set, int plotStart) {
    std::optional<std::string> label = ModelLabel(db, set);
    if (!label) return std::nullopt;
    std::optional<std::vector<PredictionRow>> rows = ReadPredictionRows(db, set, plotStart);
    if (!rows) return std::nullopt;
    std::vector<double> u = CdfValues(*rows);
    std::stable_sort(u.begin(), u.end());
    MeasureCurve curve = UPlotCurve(u);
    return SetSeries(KolmogorovLabel(*label, curve.distance, curve.pValue), std::move(curve.points),
                     *label, set);
}

std::optional<ChartSeries> YPlotSeries(Database& db, const PredictionSetRef& set, int plotStart) {
    std::optional<std::string> label = ModelLabel(db, set);
    if (!label) return std::nullopt;
    std::optional<std::vector<PredictionRow>> rows = ReadPredictionRows(db, set, plotStart);
    if (!rows) return std::nullopt;
    MeasureCurve curve = YPlotCurve(CdfValues(*rows));
    return SetSeries(KolmogorovLabel(*label, curve.distance, curve.pValue), std::move(curve.points),
                     *label, set);
}

// The estimates set whose fits a raw or recalibrated set's predictions come from.
std::optional<int> EstimatesSetOf(Database& db, const PredictionSetRef& set) {
    if (!set.recalibrated) return set.id;
    std::optional<RecalibratedSetInfo> predictions = GetPredictionsSet(db, set.id);
    if (!predictions) return std::nullopt;
    return predictions->estimatesSetId;
}

std::optional<ChartSeries> MedianSeries(Database& db, const PredictionSetRef& set) {
    std::optional<std::string> label = ModelLabel(db, set);
    if (!label) return std::nullopt;
    std::optional<std::vector<ChartPoint>> points = ReadMedians(db, set);
    if (!points) return std::nullopt;
    std::optional<int> estimatesSetId = EstimatesSetOf(db, set);
    if (!estimatesSetId) return std::nullopt;
    std::optional<std::vector<ChartPoint>> irregular =
        IrregularFitPoints(db, *estimatesSetId, *points);
    if (!irregular) return std::nullopt;
    ChartSeries series = SetSeries(*label, std::move(*points), *label, set);
    series.hollowMarkers = std::move(*irregular);
    return series;
}

// The log(PLR) curve of set against reference, labelled "set:reference".
std::optional<ChartSeries> PlrSeries(Database& db, const PredictionSetRef& set,
                                     const PredictionSetRef& reference, int plotStart) {
    std::optional<std::string> label = ModelLabel(db, set);
    std::optional<std::string> referenceLabel = label ? ModelLabel(db, reference) : std::nullopt;
    if (!referenceLabel) return std::nullopt;
    auto rows = ReadPredictionRows(db, set, plotStart);
    if (!rows) return std::nullopt;
    auto referenceRows = ReadPredictionRows(db, reference, plotStart);
    if (!referenceRows) return std::nullopt;
    std::vector<ChartPoint> points = LogPlrCurve(*rows, *referenceRows);
    if (!rows->empty() && points.empty()) {
        ShowMessage(
            "The reference set predicts none of the failures that the plotted set predicts "
            "from failure " +
            std::to_string(plotStart) + " on. Please select another reference set.");
        return std::nullopt;
    }
    return SetSeries(*label + ":" + *referenceLabel, std::move(points), *label, set);
}

ChartLabel ReferenceLabel(const std::string& referenceLabel) {
    ChartLabel label;
    label.text = "next ref: " + referenceLabel;
    label.attachment = LabelAttachment::BelowLegend;
    label.legendGap = kReferenceLabelGap;
    return label;
}

// A u- or y-plot: the diagonal and the band of testedPoints (none for 0) in group 1, the data
// series in group 2.
ChartDescription MeasureChart(const std::string& header, const std::string& xTitle,
                              ChartSeries series, std::size_t testedPoints) {
    ChartDescription chart = NewChart(header, xTitle, "Probability", kMeasureStyles);
    std::vector<ChartSeries> reference = {Series("", {{0.0, 0.0}, {1.0, 1.0}})};
    if (testedPoints > 0) {
        const double c = KolmogorovCriticalDistance(static_cast<int>(testedPoints), kBandLevel);
        reference.push_back(Series("", {{0.0, c}, {1.0 - c, 1.0}}));
        reference.push_back(Series("", {{c, 0.0}, {1.0, 1.0 - c}}));
    }
    chart.groups.push_back(Group(DataLayout::SharedX, std::move(reference)));
    chart.groups.push_back(Group(DataLayout::PerSeriesX, {std::move(series)}));
    return chart;
}

// A trend plot of one dataset: group 1 holds the data series, group 2 the critical lines.
Plot TrendPlot(const CurrentSelection& selection, const std::string& kind, PlotType type,
               const std::string& yTitle, ChartSeries series) {
    Plot plot;
    plot.caption = "PLOT: " + selection.dataSetName + " - " + kind;
    plot.chart = NewChart(kind + " for dataset " + selection.dataSetName, "Failure index", yTitle,
                          kTrendStyles);
    plot.chart.groups.push_back(Group(DataLayout::SharedX, {std::move(series)}));
    plot.state = BaseState(selection, type);
    return plot;
}

// Horizontal lines at -level and +level from x = first to x = last; the legend names the pair
// once.
std::vector<ChartSeries> CriticalLines(double level, const std::string& label, double first,
                                       double last) {
    return {Series(label, {{first, -level}, {last, -level}}),
            Series("", {{first, level}, {last, level}})};
}

bool AppendSeries(Plot& plot, std::size_t group, const PredictionSetRef& set,
                  std::optional<ChartSeries> series) {
    if (!series) return false;
    plot.chart.groups[group].series.push_back(std::move(*series));
    AddShownSet(plot.state, set);
    SetSeriesStyles(plot.chart);
    return true;
}

bool IsType(const Plot& plot, PlotType a, PlotType b) {
    return plot.state.plotType == a || plot.state.plotType == b;
}

}  // namespace

std::span<const PlotKind> PlotKinds() { return kPlotKinds; }

std::optional<Plot> PlotFailureTimes(Database& db, const CurrentSelection& selection) {
    auto rows = ReadFailureTimeRows(db, selection.dataSetName);
    if (!rows) return std::nullopt;
    std::vector<ChartPoint> interfailure;
    std::vector<ChartPoint> cumulative;
    for (const FailureTimeRow& row : *rows) {
        interfailure.push_back({static_cast<double>(row.failureIndex), row.interfailureTime});
        cumulative.push_back({static_cast<double>(row.failureIndex), row.cumulativeTime});
    }
    Plot plot;
    plot.caption = "PLOT: " + selection.dataSetName + " - Failure times";
    plot.chart = NewChart("Failure data for dataset " + selection.dataSetName, "Failure index",
                          "Time (interfailure)", kFailureDataStyles);
    plot.chart.y2Axis.title = "Time (cumulative)";
    plot.chart.groups.push_back(
        Group(DataLayout::SharedX, {Series("Interfailure times", std::move(interfailure))}));
    plot.chart.groups.push_back(Group(DataLayout::SharedX,
                                      {Series("Cumulative times", std::move(cumulative))},
                                      ChartType::Line, VerticalAxis::Y2));
    SetSeriesStyles(plot.chart);
    ShowFailureDataSeries(plot.chart, 0);
    plot.state = BaseState(selection, PlotType::FailureTimes);
    return plot;
}

std::optional<Plot> PlotCumulativeFailures(Database& db, const CurrentSelection& selection) {
    auto rows = ReadFailureTimeRows(db, selection.dataSetName);
    if (!rows) return std::nullopt;
    std::vector<ChartPoint> points;
    for (const FailureTimeRow& row : *rows) {
        points.push_back({row.cumulativeTime, static_cast<double>(row.failureIndex)});
    }
    Plot plot;
    plot.caption = "PLOT: " + selection.dataSetName + " - Cumulative failures";
    plot.chart = NewChart("Failure data for dataset " + selection.dataSetName, "Time",
                          "Cumulative failures", kCumulativeFailuresStyles);
    plot.chart.groups.push_back(Group(
        DataLayout::SharedX, {Series("Cumulative failures", std::move(points))}, ChartType::Area));
    SetSeriesStyles(plot.chart);
    plot.state = BaseState(selection, PlotType::CumulativeFailures);
    return plot;
}

std::optional<Plot> PlotQuartilesAndMttf(Database& db, const CurrentSelection& selection) {
    auto rows = ReadQuartiles(db, selection.estimatesSetId);
    if (!rows) return std::nullopt;
    std::vector<ChartPoint> upper, mttf, median, lower;
    std::vector<double> upperValues, mttfValues;
    for (const QuartileRow& row : *rows) {
        const double x = row.failureIndex;
        upper.push_back({x, row.uppQ});
        mttf.push_back({x, row.mttf});
        median.push_back({x, row.median});
        lower.push_back({x, row.lowQ});
        upperValues.push_back(row.uppQ);
        mttfValues.push_back(row.mttf);
    }
    std::optional<std::vector<ChartPoint>> irregular =
        IrregularFitPoints(db, selection.estimatesSetId, median);
    if (!irregular) return std::nullopt;
    ChartSeries medians = Series("Medians", std::move(median));
    medians.hollowMarkers = std::move(*irregular);
    Plot plot;
    plot.caption = "PLOT: " + selection.dataSetName + " (" + selection.modelName + " - " +
                   selection.inferenceMethodName + ") - Quartiles + MTTF ";
    plot.chart = NewChart(
        "Quartiles and MTTF of " + selection.modelName + " for dataset " + selection.dataSetName,
        "Failure index", "Predicted time", kQuartilesStyles);
    plot.chart.groups.push_back(
        Group(DataLayout::SharedX,
              {Series("Upper quartiles", std::move(upper)), Series("MTTF", std::move(mttf)),
               std::move(medians), Series("Lower quartiles", std::move(lower))}));
    // A maximum of 0 (nothing finite to show) would flatten the axis onto its minimum.
    const double maximum = QuartilesAxisMaximum(upperValues, mttfValues);
    if (maximum > 0.0) plot.chart.yAxis.maximum = maximum;
    SetSeriesStyles(plot.chart);
    plot.state = SetPlotState(selection, PlotType::Quartiles);
    plot.state.setSize = selection.setSize;
    return plot;
}

std::optional<Plot> PlotLaplaceTrend(Database& db, const CurrentSelection& selection) {
    std::optional<std::vector<TrendPoint>> trend = ReadTrend(db, selection.dataSetName);
    if (!trend) return std::nullopt;
    std::vector<ChartPoint> points;
    for (const TrendPoint& point : *trend) {
        if (point.laplace)
            points.push_back({static_cast<double>(point.failureIndex), *point.laplace});
    }
    // The lines span the failures that have a factor, at least 1 to 2.
    const double first = points.empty() ? 1.0 : points.front().x;
    const double last = points.empty() ? 2.0 : std::max(points.back().x, first + 1.0);
    Plot plot = TrendPlot(selection, "Laplace trend test", PlotType::LaplaceTrend,
                          "Laplace factor u(i)", Series("Laplace factor", std::move(points)));
    const auto critical = [&](double level, const char* name) {
        return CriticalLines(level, name + FormatTableNumber(level, 4), first, last);
    };
    std::vector<ChartSeries> lines = critical(kLaplace5, "5 % critical values ±");
    for (ChartSeries& line : critical(kLaplace1, "1 % critical values ±")) {
        lines.push_back(std::move(line));
    }
    plot.chart.groups.push_back(Group(DataLayout::PerSeriesX, std::move(lines)));
    SetSeriesStyles(plot.chart);
    // The test's answer on all the failures, as the trend command states it, in lines short
    // enough for the space beside the legend.
    if (const std::vector<ChartPoint>& factors = plot.chart.groups.front().series.front().points;
        !factors.empty()) {
        const ChartPoint& final = factors.back();
        std::string conclusion = LaplaceConclusion(final.y);
        if (const auto level = conclusion.find(" ("); level != std::string::npos) {
            conclusion[level] = '\n';
        }
        plot.chart.labels.push_back({"u(" + std::to_string(static_cast<int>(final.x)) +
                                         ") = " + FormatTableNumber(final.y, 4) + "\n" + conclusion,
                                     LabelAttachment::BelowLegend, 0.0, 0.0, kReferenceLabelGap,
                                     kLabelBackground});
    }
    return plot;
}

std::optional<Plot> PlotRunningAverage(Database& db, const CurrentSelection& selection) {
    std::optional<std::vector<TrendPoint>> trend = ReadTrend(db, selection.dataSetName);
    if (!trend) return std::nullopt;
    std::vector<ChartPoint> points;
    for (const TrendPoint& point : *trend) {
        points.push_back({static_cast<double>(point.failureIndex), point.runningAverage});
    }
    Plot plot = TrendPlot(selection, "Running average", PlotType::RunningAverage,
                          "Mean interfailure time", Series("Running average", std::move(points)));
    SetSeriesStyles(plot.chart);
    return plot;
}

std::optional<Plot> PlotMedians(Database& db, const CurrentSelection& selection) {
    std::optional<ChartSeries> series = MedianSeries(db, CurrentSet(selection));
    if (!series) return std::nullopt;
    Plot plot;
    plot.caption = "PLOT: " + selection.dataSetName + " - Medians ";
    plot.chart = NewChart("Medians for dataset " + selection.dataSetName, "Failure index",
                          "Predicted median time",
                          selection.recalibrated ? kRecalibratedMediansStyles : kRawMediansStyles);
    plot.chart.xAxis.minimum = selection.rangeStart;
    plot.chart.groups.push_back(Group(DataLayout::SharedX, {std::move(*series)}));
    plot.chart.groups.push_back(Group(DataLayout::SharedX));
    SetSeriesStyles(plot.chart);
    plot.state = SetPlotState(
        selection, selection.recalibrated ? PlotType::RecalibratedMedians : PlotType::RawMedians);
    plot.state.setSize = selection.setSize;
    return plot;
}

std::optional<Plot> PlotUPlots(Database& db, const CurrentSelection& selection, int plotStart) {
    std::optional<ChartSeries> series = UPlotSeries(db, CurrentSet(selection), plotStart);
    if (!series) return std::nullopt;
    const int lag = plotStart - selection.rangeStart;
    Plot plot;
    plot.state = SetPlotState(selection, UPlotType(lag));
    plot.state.rangeLag = lag;
    plot.caption =
        PlotStartCaption(selection.dataSetName, "U-plots", plot.state.plotType, plotStart);
    const std::size_t tested = series->points.size();
    plot.chart = MeasureChart("U-plots for dataset " + selection.dataSetName, "u values",
                              std::move(*series), tested);
    plot.chart.labels = {
        {"Optimistic", LabelAttachment::DataPoint, 0.2, 0.8, 0, kLabelBackground},
        {"Pessimistic", LabelAttachment::DataPoint, 0.8, 0.2, 0, kLabelBackground}};
    SetSeriesStyles(plot.chart);
    return plot;
}

std::optional<Plot> PlotYPlots(Database& db, const CurrentSelection& selection, int plotStart) {
    const int lag = plotStart - selection.rangeStart;
    if (selection.recalibrated && lag < kMixedPlotLag) {
        ShowMessage("an error occurred calling a recalibrated y-plot with a premature plot start");
        return std::nullopt;
    }
    std::optional<ChartSeries> series = YPlotSeries(db, CurrentSet(selection), plotStart);
    if (!series) return std::nullopt;
    Plot plot;
    plot.state = SetPlotState(selection, YPlotType(lag));
    plot.state.rangeLag = lag;
    plot.caption =
        PlotStartCaption(selection.dataSetName, "Y-plots", plot.state.plotType, plotStart);
    // The last y is always 1: the test takes the others.
    const std::size_t tested = series->points.empty() ? 0 : series->points.size() - 1;
    plot.chart = MeasureChart("Y-plots for dataset " + selection.dataSetName, "y values",
                              std::move(*series), tested);
    SetSeriesStyles(plot.chart);
    return plot;
}

std::optional<Plot> PlotLogPlr(Database& db, const CurrentSelection& selection,
                               const PredictionSetRef& reference, int plotStart) {
    std::optional<ChartSeries> series = PlrSeries(db, CurrentSet(selection), reference, plotStart);
    if (!series) return std::nullopt;
    std::optional<std::string> referenceLabel = ModelLabel(db, reference);
    if (!referenceLabel) return std::nullopt;
    Plot plot;
    plot.caption = "PLOT: " + selection.dataSetName + " - Prequential likelihood ratios";
    plot.chart = NewChart("log(PLR)-plots for dataset " + selection.dataSetName, "Failure index",
                          "log ( PLR )", kLogPlrStyles);
    plot.chart.groups.push_back(Group(DataLayout::PerSeriesX, {std::move(*series)}));
    plot.chart.labels.push_back(ReferenceLabel(*referenceLabel));
    SetSeriesStyles(plot.chart);
    plot.state = SetPlotState(selection, PlotType::LogPlr);
    plot.state.rangeLag = plotStart - selection.rangeStart;
    plot.state.referenceSetId = reference.id;
    plot.state.refRecFlag = reference.recalibrated;
    AddShownSet(plot.state, reference);
    return plot;
}

std::optional<PlotStartBounds> PlotStartRange(PlotType kind, int rangeStart, int dataNumber,
                                              bool currentIsRecalibrated) {
    std::optional<PlotStartBounds> bounds =
        PlotStartBoundsOf(kind, rangeStart, dataNumber, currentIsRecalibrated);
    if (bounds && bounds->smallest > bounds->largest) {
        ShowMessage(
            "There are too few failures after the range start for this plot: its start must be "
            "at least " +
            std::to_string(bounds->smallest) + " and at most " + std::to_string(bounds->largest) +
            ".");
        return std::nullopt;
    }
    return bounds;
}

std::optional<Plot> BuildPlot(Database& db, PlotType kind, const CurrentSelection& selection,
                              const PlotChoices& choose) {
    switch (kind) {
        case PlotType::FailureTimes:
            return PlotFailureTimes(db, selection);
        case PlotType::CumulativeFailures:
            return PlotCumulativeFailures(db, selection);
        case PlotType::Quartiles:
            return PlotQuartilesAndMttf(db, selection);
        case PlotType::RawMedians:
            return PlotMedians(db, selection);
        case PlotType::LaplaceTrend:
            return PlotLaplaceTrend(db, selection);
        case PlotType::RunningAverage:
            return PlotRunningAverage(db, selection);
        case PlotType::RawYPlots:
        case PlotType::RawUPlots:
        case PlotType::LogPlr:
            break;
        default:
            return std::nullopt;
    }
    const std::optional<PlotStartBounds> bounds =
        PlotStartRange(kind, selection.rangeStart, selection.setSize, selection.recalibrated);
    if (!bounds) return std::nullopt;
    std::optional<PredictionSetRef> reference;
    if (kind == PlotType::LogPlr) {
        reference = choose.reference();
        if (!reference) return std::nullopt;
    }
    const std::optional<int> start = choose.start(*bounds);
    if (!start) return std::nullopt;
    if (kind == PlotType::RawYPlots) return PlotYPlots(db, selection, *start);
    if (kind == PlotType::RawUPlots) return PlotUPlots(db, selection, *start);
    return PlotLogPlr(db, selection, *reference, *start);
}

bool AddUPlotSeries(Database& db, Plot& plot, const PredictionSetRef& set) {
    if (!IsType(plot, PlotType::RawUPlots, PlotType::MixedUPlots)) return false;
    return AppendSeries(plot, 1, set, UPlotSeries(db, set, plot.state.PlotStart()));
}

bool AddYPlotSeries(Database& db, Plot& plot, const PredictionSetRef& set) {
    if (!IsType(plot, PlotType::RawYPlots, PlotType::MixedYPlots)) return false;
    if (set.recalibrated && plot.state.rangeLag < kMixedPlotLag) {
        ShowMessage("an error occurred plotting a recalibrated set with a premature plot start");
        return false;
    }
    return AppendSeries(plot, 1, set, YPlotSeries(db, set, plot.state.PlotStart()));
}

bool AddMedianSeries(Database& db, Plot& plot, const PredictionSetRef& set) {
    if (!IsType(plot, PlotType::RawMedians, PlotType::RecalibratedMedians)) return false;
    const bool windowIsRecalibrated = plot.state.plotType == PlotType::RecalibratedMedians;
    return AppendSeries(plot, set.recalibrated == windowIsRecalibrated ? 0 : 1, set,
                        MedianSeries(db, set));
}

bool AddPlrSeries(Database& db, Plot& plot, const PredictionSetRef& set) {
    if (plot.state.plotType != PlotType::LogPlr) return false;
    const PredictionSetRef reference{plot.state.referenceSetId, plot.state.refRecFlag};
    return AppendSeries(plot, 0, set, PlrSeries(db, set, reference, plot.state.PlotStart()));
}

bool AddSetToPlot(Database& db, Plot& plot, const PredictionSetRef& set) {
    switch (plot.state.plotType) {
        case PlotType::RawMedians:
        case PlotType::RecalibratedMedians:
            return AddMedianSeries(db, plot, set);
        case PlotType::RawYPlots:
        case PlotType::MixedYPlots:
            if (set.recalibrated && !IsMixedPlot(plot.state.plotType)) return false;
            return AddYPlotSeries(db, plot, set);
        case PlotType::RawUPlots:
        case PlotType::MixedUPlots:
            if (set.recalibrated && !IsMixedPlot(plot.state.plotType)) return false;
            return AddUPlotSeries(db, plot, set);
        case PlotType::LogPlr:
            return AddPlrSeries(db, plot, set);
        default:
            return false;
    }
}

bool ChangeNextReference(Database& db, Plot& plot, const PredictionSetRef& reference) {
    if (plot.state.plotType != PlotType::LogPlr) {
        ShowMessage("An error occurred in the PLR plotting buttons.");
        return false;
    }
    std::optional<std::string> label = ModelLabel(db, reference);
    if (!label) return false;
    plot.state.referenceSetId = reference.id;
    plot.state.refRecFlag = reference.recalibrated;
    AddShownSet(plot.state, reference);
    for (ChartLabel& chartLabel : plot.chart.labels) {
        if (chartLabel.attachment == LabelAttachment::BelowLegend) {
            chartLabel = ReferenceLabel(*label);
        }
    }
    return true;
}

}  // namespace tamsel
