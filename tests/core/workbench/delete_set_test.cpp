#include "tamsel/workbench/delete_set.h"

#include <gtest/gtest.h>

#include "project_fixture.h"
#include "tamsel/workbench/project_overview.h"

namespace tamsel {
namespace {

constexpr int kJelinskiMoranda = 1;
constexpr int kMusaOkumoto = 3;

// Dataset A (60 failures) with raw sets jm and mo from failure 20, recalibrated sets p1 and p2
// made from jm and p3 from mo.
struct SampleProject {
    SampleProject() {
        const int dataSetId = file.AddDataSet("A", std::vector<double>(60, 10.0));
        const auto rows = test::RowSpecs(
            20, 60, [](int i) { return 0.01 * i; }, [](int) { return 0.05; });
        jm = file.AddEstimatesSet(dataSetId, kJelinskiMoranda, 20, rows);
        mo = file.AddEstimatesSet(dataSetId, kMusaOkumoto, 20, rows);
        p1 = file.AddPredictionsSet(jm, rows);
        p2 = file.AddPredictionsSet(jm, rows);
        p3 = file.AddPredictionsSet(mo, rows);
    }

    std::int64_t Count(const std::string& table) {
        Statement count = file.Db().Prepare("SELECT COUNT(*) FROM " + table + ";");
        count.Step();
        return count.ColumnInt(0);
    }

    test::ProjectFile file;
    int jm = 0, mo = 0, p1 = 0, p2 = 0, p3 = 0;
};

TEST(DeleteSet, AnEstimatesSetTakesItsRecalibratedSetsAndOnlyThose) {
    // The keys are those of every fresh sample project.
    const SampleProject keys;
    struct Case {
        PredictionSetRef set;
        MessageAnswer answer;
        std::vector<PredictionSetRef> removed;
        std::int64_t estimatesSets, estimates, predictionsSets, predictions;
    };
    const Case cases[] = {
        {{keys.jm, false},
         MessageAnswer::Ok,
         {{keys.jm, false}, {keys.p1, true}, {keys.p2, true}},
         1,
         41,
         1,
         41},
        {{keys.p2, true}, MessageAnswer::Ok, {{keys.p2, true}}, 2, 82, 2, 82},
        {{keys.jm, false}, MessageAnswer::Cancel, {}, 2, 82, 3, 123},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set.id);
        SampleProject project;
        test::RecordingSink sink;
        sink.QueueAnswer(c.answer);
        const std::optional<SetDeletion> deleted = DeleteSetAfterAsking(project.file.Db(), c.set);
        ASSERT_EQ(deleted.has_value(), !c.removed.empty());
        if (deleted) {
            EXPECT_EQ(deleted->removed, c.removed);
            EXPECT_EQ(deleted->dataSetName, "A");
        }
        EXPECT_EQ(project.Count("EstimatesSets"), c.estimatesSets);
        EXPECT_EQ(project.Count("Estimates"), c.estimates);
        EXPECT_EQ(project.Count("PredictionsSets"), c.predictionsSets);
        EXPECT_EQ(project.Count("Predictions"), c.predictions);
    }
}

TEST(ProjectOverview, NestsRecalibratedSetsUnderTheirRawSet) {
    SampleProject project;
    test::RecordingSink sink;
    const std::optional<std::vector<DataSetOverview>> overview = ProjectOverview(project.file.Db());
    ASSERT_TRUE(overview.has_value());
    ASSERT_EQ(overview->size(), 1u);
    const DataSetOverview& a = overview->front();
    EXPECT_EQ(a.name, "A");
    EXPECT_EQ(a.failures, 60);
    EXPECT_EQ(a.setCount, 5);
    ASSERT_EQ(a.sets.size(), 2u);
    std::vector<std::string> shown;
    for (const SetOverview& raw : a.sets) {
        shown.push_back(raw.label + " " + raw.range + " " + raw.fitBadge);
        for (const SetOverview& made : raw.recalibrated) {
            shown.push_back(" " + made.label + " p" + std::to_string(made.set.id) + " of " +
                            std::to_string(made.estimatesSetId));
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"JM 20-60 —", " JM# p1 of 1", " JM# p2 of 1",
                                               "MO 20-60 —", " MO# p3 of 2"}));
    // Every set predicts the same failures, so each has a rank; nothing was said.
    for (const SetOverview& raw : a.sets) {
        EXPECT_TRUE(raw.rank.has_value());
        for (const SetOverview& made : raw.recalibrated) EXPECT_TRUE(made.rank.has_value());
    }
    EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
}  // namespace tamsel
