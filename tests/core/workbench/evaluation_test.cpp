#include "tamsel/workbench/evaluation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "project_fixture.h"
#include "tamsel/measures/measures.h"

namespace tamsel {
namespace {

// Three raw sets over 20..40 and one recalibrated set over 35..39 with chosen densities.
class EvaluationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dataSet = m_project.AddDataSet("DS", std::vector<double>(40, 1.0));
        m_jm = AddRaw(1, 1.0);
        m_go = AddRaw(4, 4.0);
        m_mo = AddRaw(3, 4.0);
        m_recalibrated = m_project.AddPredictionsSet(
            m_jm, test::RowSpecs(
                      35, 39, [](int i) { return (i - 34) / 6.0; }, [](int) { return 2.0; }));
    }

    // Pdf = density at every observed failure, u uniform over the rows.
    int AddRaw(int model, double density) {
        auto rows = test::RowSpecs(
            20, 39, [](int i) { return (i - 19) / 21.0; }, [density](int) { return density; });
        rows.push_back({40, 0.0, 0.0, 0.0});
        return m_project.AddEstimatesSet(m_dataSet, model, 20, rows);
    }

    test::ProjectFile m_project;
    test::RecordingSink m_sink;
    int m_dataSet = 0, m_jm = 0, m_go = 0, m_mo = 0, m_recalibrated = 0;
};

TEST_F(EvaluationTest, LeagueTableOverTheSharedFailures) {
    std::optional<Evaluation> evaluation =
        EvaluateDataSet(m_project.Db(), "DS", std::nullopt, std::nullopt);
    ASSERT_TRUE(evaluation.has_value());
    // Default start 20 + 15; the recalibrated set predicts 35..39, the raw ones 20..39.
    EXPECT_EQ(evaluation->firstIndex, 35);
    EXPECT_EQ(evaluation->lastIndex, 39);
    EXPECT_EQ(evaluation->points, 5);
    EXPECT_EQ(evaluation->reference, (PredictionSetRef{m_jm, false}));
    EXPECT_EQ(evaluation->referenceLabel, "JM");

    ASSERT_EQ(evaluation->sets.size(), 4u);
    // Densities 4, 4, 2, 1: GO and MO tie (raw sets by key), then JM#, then JM.
    const std::vector<PredictionSetRef> order = {
        {m_go, false}, {m_mo, false}, {m_recalibrated, true}, {m_jm, false}};
    const std::vector<std::string> labels = {"GO", "MO", "JM#", "JM"};
    const std::vector<int> ranks = {1, 1, 3, 4};
    const std::vector<double> densities = {4.0, 4.0, 2.0, 1.0};
    for (std::size_t k = 0; k < 4; ++k) {
        const SetEvaluation& set = evaluation->sets[k];
        EXPECT_EQ(set.set, order[k]) << k;
        EXPECT_EQ(set.label, labels[k]);
        EXPECT_EQ(set.rank, ranks[k]);
        EXPECT_CLOSE(set.minusLogPl, -5 * std::log(densities[k]), 1e-14);
        EXPECT_CLOSE_ABS(set.logPlr, 5 * std::log(densities[k]), 1e-13);
    }
    // Raw u over 35..39: 16/21 .. 20/21 against 1/6 .. 5/6.
    std::vector<double> u = {16 / 21.0, 17 / 21.0, 18 / 21.0, 19 / 21.0, 20 / 21.0};
    EXPECT_EQ(evaluation->sets[0].uPlotDistance, UPlotCurve(u).distance);
    EXPECT_CLOSE(evaluation->sets[0].uPlotDistance, 16 / 21.0, 1e-14);
    EXPECT_EQ(evaluation->sets[0].yPlotDistance, YPlotCurve(u).distance);
    // The recalibrated u lie on their positions.
    EXPECT_CLOSE(evaluation->sets[2].uPlotDistance, 1 / 6.0, 1e-14);

    // Significance (reference values in 60 digits): the raw u-plot's D_5 = 16/21 has
    // p = 0.00155, its y-plot's D_4 = 0.2918 has p = 0.796; the recalibrated u-plot's D_5 = 1/6
    // has p = 0.995, its y-plot's D_4 = 0.4429 has p = 0.311.
    for (std::size_t k : {0u, 1u, 3u}) {
        const SetEvaluation& raw = evaluation->sets[k];
        EXPECT_CLOSE(raw.uPlotP.value(), 0.00154637115977, 1e-7);
        EXPECT_CLOSE(raw.yPlotP.value(), 0.795880958542, 1e-9);
        EXPECT_EQ(raw.verdict, "biased (u-plot p=0.002)");
    }
    const SetEvaluation& recalibrated = evaluation->sets[2];
    EXPECT_CLOSE(recalibrated.uPlotP.value(), 1.0 - 120.0 * std::pow(2.0 / 15.0, 5), 1e-12);
    EXPECT_CLOSE(recalibrated.yPlotP.value(), 0.31132583282, 1e-9);
    EXPECT_EQ(recalibrated.verdict, "no evidence of bias");
}

TEST_F(EvaluationTest, StartAndReferenceChosen) {
    std::optional<Evaluation> evaluation =
        EvaluateDataSet(m_project.Db(), "DS", 37, PredictionSetRef{m_recalibrated, true});
    ASSERT_TRUE(evaluation.has_value());
    EXPECT_EQ(evaluation->firstIndex, 37);
    EXPECT_EQ(evaluation->points, 3);
    EXPECT_EQ(evaluation->referenceLabel, "JM#");
    EXPECT_CLOSE(evaluation->sets.back().logPlr, 3 * std::log(0.5), 1e-13);

    // From 20 on the recalibrated set still only covers 35..39.
    std::optional<Evaluation> early = EvaluateDataSet(m_project.Db(), "DS", 20, std::nullopt);
    ASSERT_TRUE(early.has_value());
    EXPECT_EQ(early->firstIndex, 35);
}

TEST_F(EvaluationTest, RefusalsWithTheirMessages) {
    struct Case {
        std::string name;
        std::optional<int> start;
        std::optional<PredictionSetRef> reference;
        std::string message;
    };
    const Case cases[] = {
        {"XX", std::nullopt, std::nullopt, "There is no dataset named \"XX\"."},
        {"DS", std::nullopt, PredictionSetRef{99, false},
         "The reference set 99 is not a set of the dataset DS."},
        {"DS", std::nullopt, PredictionSetRef{m_recalibrated + 1, true},
         "The reference set p" + std::to_string(m_recalibrated + 1) +
             " is not a set of the dataset DS."},
        {"DS", 40, std::nullopt,
         "The sets of the dataset DS predict no failure in common from failure 40 on. Judge "
         "from failure 39 or earlier: the last that all of them predict."},
    };
    for (const Case& c : cases) {
        m_sink.Clear();
        EXPECT_FALSE(EvaluateDataSet(m_project.Db(), c.name, c.start, c.reference).has_value());
        EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{c.message});
    }

    m_project.AddDataSet("EMPTY", {1.0, 2.0});
    m_sink.Clear();
    EXPECT_FALSE(EvaluateDataSet(m_project.Db(), "EMPTY", std::nullopt, std::nullopt));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{"There are no estimates calculated for the current "
                                       "dataset.\r\nPlease, apply a model first."});
}

TEST(SetRef, TextForms) {
    EXPECT_EQ(SetRefText({12, false}), "12");
    EXPECT_EQ(SetRefText({3, true}), "p3");
    struct Case {
        const char* text;
        std::optional<PredictionSetRef> expected;
    };
    const Case cases[] = {
        {"12", PredictionSetRef{12, false}},
        {"p3", PredictionSetRef{3, true}},
        {"P3", PredictionSetRef{3, true}},
        {"", std::nullopt},
        {"p", std::nullopt},
        {"0", std::nullopt},
        {"-2", std::nullopt},
        {"3p", std::nullopt},
        {"q3", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseSetRef(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace tamsel
