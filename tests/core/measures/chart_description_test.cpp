#include "tamsel/measures/chart_description.h"

#include <gtest/gtest.h>

namespace tamsel {
namespace {

ChartGroup GroupOf(std::size_t seriesCount) {
    ChartGroup group;
    group.series.resize(seriesCount);
    return group;
}

// Series k (from 1) of a data plot takes palette colour k modulo 8, whose 0 is black.
TEST(SetSeriesStyles, DataSeriesTakeThePaletteByPositionModuloEight) {
    ChartDescription chart;
    chart.styleSet = kLogPlrStyles;
    chart.groups = {GroupOf(10)};
    SetSeriesStyles(chart);
    for (std::size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(chart.groups[0].series[k].style.colour, kPalette[(k + 1) % 8])
            << "series " << k + 1;
    }
}

TEST(SetSeriesStyles, MeasurePlotsKeepTheDiagonalApart) {
    ChartDescription chart;
    chart.styleSet = kMeasureStyles;
    chart.groups = {GroupOf(1), GroupOf(2)};
    SetSeriesStyles(chart);
    EXPECT_EQ(chart.groups[0].series[0].style.colour, kPalette[0]);
    EXPECT_EQ(chart.groups[0].series[0].style.pattern, LinePattern::Dotted);
    EXPECT_EQ(chart.groups[1].series[0].style.colour, kPalette[1]);
    EXPECT_EQ(chart.groups[1].series[1].style.colour, kPalette[2]);
    EXPECT_EQ(chart.groups[1].series[1].style.pattern, LinePattern::Solid);
}

TEST(SetSeriesStyles, MediansDrawRawSolidAndRecalibratedDashed) {
    for (int styleSet : {kRawMediansStyles, kRecalibratedMediansStyles}) {
        ChartDescription chart;
        chart.styleSet = styleSet;
        chart.groups = {GroupOf(2), GroupOf(1)};
        SetSeriesStyles(chart);
        const bool rawFirst = styleSet == kRawMediansStyles;
        const LinePattern raw = LinePattern::Solid;
        const LinePattern recalibrated = LinePattern::Dashed;
        EXPECT_EQ(chart.groups[0].series[1].style.pattern, rawFirst ? raw : recalibrated);
        EXPECT_EQ(chart.groups[1].series[0].style.pattern, rawFirst ? recalibrated : raw);
        // Each group counts its series from 1.
        EXPECT_EQ(chart.groups[0].series[1].style.colour, kPalette[2]);
        EXPECT_EQ(chart.groups[1].series[0].style.colour, kPalette[1]);
    }
}

TEST(ShowFailureDataSeries, ModesShowSeriesWithTheirAxes) {
    struct Case {
        int mode;
        bool interfailure, cumulative;
    };
    const Case cases[] = {{0, true, false}, {1, false, true}, {2, true, true}};
    for (const Case& c : cases) {
        ChartDescription chart;
        chart.groups = {GroupOf(1), GroupOf(1)};
        ShowFailureDataSeries(chart, c.mode);
        EXPECT_EQ(chart.groups[0].series[0].shown, c.interfailure) << c.mode;
        EXPECT_EQ(chart.yAxis.shown, c.interfailure) << c.mode;
        EXPECT_EQ(chart.groups[1].series[0].shown, c.cumulative) << c.mode;
        EXPECT_EQ(chart.y2Axis.shown, c.cumulative) << c.mode;
    }
    ChartDescription chart;
    chart.groups = {GroupOf(1), GroupOf(1)};
    ShowFailureDataSeries(chart, 1);
    ShowFailureDataSeries(chart, 3);
    EXPECT_FALSE(chart.groups[0].series[0].shown);
    EXPECT_TRUE(chart.y2Axis.shown);
}

TEST(ApplyBoldLines, FailureTimesAndQuartilesOnly) {
    ChartDescription failures;
    failures.groups = {GroupOf(1), GroupOf(1)};
    ApplyBoldLines(failures, PlotType::FailureTimes, true);
    EXPECT_EQ(failures.groups[0].series[0].style.width, 3);
    EXPECT_EQ(failures.groups[1].series[0].style.width, 3);
    ApplyBoldLines(failures, PlotType::FailureTimes, false);
    EXPECT_EQ(failures.groups[1].series[0].style.width, 1);

    ChartDescription quartiles;
    quartiles.groups = {GroupOf(4)};
    ApplyBoldLines(quartiles, PlotType::Quartiles, true);
    for (const ChartSeries& series : quartiles.groups[0].series) EXPECT_EQ(series.style.width, 3);

    ChartDescription medians;
    medians.groups = {GroupOf(1)};
    ApplyBoldLines(medians, PlotType::RawMedians, true);
    EXPECT_EQ(medians.groups[0].series[0].style.width, 1);
}

}  // namespace
}  // namespace tamsel
