#include "tamsel/workbench/fit_outcomes.h"

#include <gtest/gtest.h>

#include "project_fixture.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/workbench/plots.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel {
namespace {

TEST(FitOutcomes, SummaryNamesOnlyTheKindsThatOccur) {
    using enum FitOutcome;
    struct Case {
        std::vector<FitOutcome> ends;
        std::string summary;
    };
    const Case cases[] = {
        {{Converged}, "1 fit: 1 converged"},
        {{Limit, Limit, Converged}, "3 fits: 1 converged, 2 at a limit"},
        {{Singular, Iterations, Boundary, Limit},
         "4 fits: 0 converged, 1 at a limit, 1 at a boundary, 1 out of iterations, 1 singular"},
    };
    for (const Case& c : cases) {
        std::vector<FitTermination> ends;
        for (FitOutcome end : c.ends) ends.push_back({end, "", 1});
        EXPECT_EQ(FitSummary(CountOutcomes(ends)), c.summary);
    }
}

TEST(FitOutcomes, OnlyBoundaryIterationsAndSingularFitsAreIrregular) {
    struct Case {
        const char* text;
        std::optional<FitOutcome> kind;
    };
    const Case cases[] = {
        {"converged", FitOutcome::Converged},
        {"limit:homogeneous", FitOutcome::Limit},
        {"boundary:N", FitOutcome::Boundary},
        {"iterations", FitOutcome::Iterations},
        {"singular", FitOutcome::Singular},
        {"not recorded", std::nullopt},
        {"limit", std::nullopt},
        {"converged:MO", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(OutcomeKind(c.text), c.kind);
        const bool irregular =
            c.kind && *c.kind != FitOutcome::Converged && *c.kind != FitOutcome::Limit;
        EXPECT_EQ(IsIrregularOutcome(c.text), irregular);
        EXPECT_EQ(OutcomeNote(7, c.text).empty(), !irregular);
    }
}

// The table and the plots read the outcome, not the stored values, which are ordinary here.
TEST(FitOutcomes, TableAndPlotsMarkTheIrregularFits) {
    test::ProjectFile project;
    Database& db = project.Db();
    const int dataSet = project.AddDataSet("DS", {3.0, 5.0, 4.0, 6.0});
    const int set =
        project.AddEstimatesSet(dataSet, 1, 1,
                                test::RowSpecs(
                                    1, 4, [](int) { return 0.5; }, [](int) { return 0.25; }));
    std::vector<FitTermination> ends = {{},
                                        {FitOutcome::Converged, "", 9},
                                        {FitOutcome::Singular, "", 0},
                                        {FitOutcome::Limit, "homogeneous", 5},
                                        {FitOutcome::Boundary, "N", 7}};
    ASSERT_TRUE(StoreFitOutcomes(db, set, 1, 4, ends));
    const CurrentSelection selection = test::SelectionOf("DS", set, 1, 4);

    std::optional<TableView> table = ShowEstimatesTable(db, selection);
    ASSERT_TRUE(table);
    std::vector<DbValue> outcomes;
    for (const auto& row : table->rows.rows) outcomes.push_back(row.back());
    EXPECT_EQ(outcomes,
              (std::vector<DbValue>{std::string("converged"), std::string("singular"),
                                    std::string("limit:homogeneous"), std::string("boundary:N")}));
    EXPECT_EQ(table->rowNotes,
              (std::vector<std::string>{
                  "",
                  "The fit at failure 2 is singular: its likelihood is unbounded, so the row "
                  "predicts from the nearest earlier fit.",
                  "", "The fit at failure 4 ended on the edge of the parameter space (N)."}));
    // A recalibrated set predicts from those fits: its rows carry the same notes.
    const int predictions = project.AddPredictionsSet(
        set, test::RowSpecs(
                 3, 4, [](int) { return 0.5; }, [](int) { return 0.25; }));
    table = ShowEstimatesTable(db, test::SelectionOf("DS", set, 1, 4, predictions));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rowNotes,
              (std::vector<std::string>{
                  "", "The fit at failure 4 ended on the edge of the parameter space (N)."}));

    const std::vector<ChartPoint> hollow = {{2.0, 20.0}, {4.0, 40.0}};
    std::optional<Plot> medians = PlotMedians(db, selection);
    ASSERT_TRUE(medians);
    EXPECT_EQ(medians->chart.groups[0].series[0].hollowMarkers, hollow);
    std::optional<Plot> quartiles = PlotQuartilesAndMttf(db, selection);
    ASSERT_TRUE(quartiles);
    for (const ChartSeries& series : quartiles->chart.groups[0].series) {
        EXPECT_EQ(series.hollowMarkers,
                  series.label == "Medians" ? hollow : std::vector<ChartPoint>{});
    }
}

}  // namespace
}  // namespace tamsel
