#include "tamsel/workbench/set_lists.h"

#include <gtest/gtest.h>

#include "project_fixture.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {
namespace {

// Each row knows the set it lists, whichever columns the grid shows; only keys and kinds hide.
TEST(SelectionGrids, RowsKnowTheirSetsAndHideOnlyKeysAndKinds) {
    test::ProjectFile project;
    const int dataSet = project.AddDataSet("DS", std::vector<double>(25, 2.0));
    const auto rows = test::RowSpecs(
        20, 25, [](int) { return 0.5; }, [](int) { return 0.1; });
    const int jm = project.AddEstimatesSet(dataSet, 1, 20, rows);
    const int go = project.AddEstimatesSet(dataSet, 4, 20, rows);
    const int recalibrated = project.AddPredictionsSet(go, rows);
    struct Case {
        std::optional<SelectionGrid> grid;
        std::vector<PredictionSetRef> sets;
        std::vector<int> hidden;
    };
    const Case cases[] = {
        {EstimatesSetGrid(project.Db(), "DS"), {{jm, false}, {go, false}}, {}},
        {PredictionsSetGrid(project.Db(), "DS"), {{recalibrated, true}}, {}},
        {ModelsOfDataSetGrid(project.Db(), go), {{jm, false}, {go, false}}, {0}},
        {PredictionSetGrid(project.Db(), jm),
         {{jm, false}, {go, false}, {recalibrated, true}},
         {0, 1}},
        {RecalibrationMethodGrid(project.Db()), {{1, false}, {2, false}}, {}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.grid.has_value());
        std::vector<PredictionSetRef> sets;
        for (const GridRow& row : c.grid->rows) sets.push_back({row.key, row.recalibrated});
        EXPECT_EQ(sets, c.sets);
        EXPECT_EQ(c.grid->hiddenColumns, c.hidden);
        EXPECT_EQ(c.grid->Listed().rows.back(), c.grid->rows.back().fields);
    }
}

}  // namespace
}  // namespace tamsel
