#include "tamsel/measures/model_styles.h"

#include <gtest/gtest.h>

#include <string>

#include "tamsel/models/model_table.h"

namespace tamsel {
namespace {

TEST(ModelStyles, EveryModelHasItsOwnColourAndMoStandsApartFromLnhpp) {
    std::vector<Rgb> colours;
    for (const ModelInfo& model : ModelTable()) {
        const ModelStyle* style = FindModelStyle(model.code);
        ASSERT_NE(style, nullptr) << model.code;
        EXPECT_NE(style->marker, MarkerShape::None) << model.code;
        for (const Rgb& other : colours) EXPECT_NE(style->colour, other) << model.code;
        colours.push_back(style->colour);
    }
    EXPECT_NE(FindModelStyle("MO")->marker, FindModelStyle("LNHPP")->marker);
    EXPECT_NE(FindModelStyle("MO")->order, FindModelStyle("LNHPP")->order);
    EXPECT_EQ(FindModelStyle("JM#"), nullptr);
    EXPECT_EQ(FindModelStyle(""), nullptr);
}

// A model's style does not depend on where its series stands, so the same model looks the
// same in every plot; its recalibrated twin is dashed in the same colour.
TEST(ModelStyles, FollowTheModelWhateverItsPositionInEveryComparisonPlot) {
    for (int styleSet : {kLogPlrStyles, kMeasureStyles, kRawMediansStyles}) {
        for (const bool moFirst : {true, false}) {
            ChartDescription chart;
            chart.styleSet = styleSet;
            chart.groups.resize(2);
            ChartGroup& data = chart.groups[styleSet == kMeasureStyles ? 1 : 0];
            data.series.resize(3);
            data.series[moFirst ? 0 : 1].model = "MO";
            data.series[moFirst ? 1 : 0].model = "LNHPP";
            data.series[2].model = "MO";
            data.series[2].recalibrated = true;
            SetSeriesStyles(chart);
            const ChartSeries& mo = data.series[moFirst ? 0 : 1];
            EXPECT_EQ(mo.style.colour, FindModelStyle("MO")->colour);
            EXPECT_EQ(mo.style.marker, MarkerShape::Triangle);
            EXPECT_EQ(mo.style.pattern, LinePattern::Solid);
            EXPECT_EQ(data.series[moFirst ? 1 : 0].style.colour, FindModelStyle("LNHPP")->colour);
            EXPECT_EQ(data.series[2].style.colour, mo.style.colour);
            EXPECT_EQ(data.series[2].style.pattern, LinePattern::Dashed);
        }
    }
}

}  // namespace
}  // namespace tamsel
