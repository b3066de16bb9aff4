#include "tamsel/workbench/table_views.h"

#include <gtest/gtest.h>

#include <sstream>

#include "project_fixture.h"
#include "tamsel/tables/text_table.h"

namespace tamsel {
namespace {

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

class TablesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dataSet = m_project.AddDataSet("DS", {3.0, 5.0});
        m_estimates =
            m_project.AddEstimatesSet(m_dataSet, 1, 1,
                                      test::RowSpecs(
                                          1, 2, [](int) { return 0.5; }, [](int) { return 0.25; }));
        m_predictions = m_project.AddPredictionsSet(
            m_estimates, test::RowSpecs(
                             1, 2, [](int) { return 0.5; }, [](int) { return 0.25; }));
    }

    test::ProjectFile m_project;
    test::RecordingSink m_sink;
    int m_dataSet = 0, m_estimates = 0, m_predictions = 0;
};

TEST_F(TablesTest, FailureTimesWithoutKeysSavedInPrintZones) {
    std::optional<TableView> view =
        ShowFailureTimesTable(m_project.Db(), test::SelectionOf("DS", 0, 0, 2));
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->windowCaption, "TABLE: DS - Failure times");
    EXPECT_EQ(view->gridCaption, "Failure Times");
    EXPECT_EQ(view->rows.headings,
              (std::vector<std::string>{"FailureIndex", "InterfailureTime", "CumulativeTime"}));
    const std::string path = m_project.Dir().File("times.txt");
    ASSERT_TRUE(SaveTextTable(path, view->rows));
    EXPECT_EQ(test::ReadBytes(path), " 1 " + Blanks(11) + " 3 " + Blanks(11) + " 3 \r\n" + " 2 " +
                                         Blanks(11) + " 5 " + Blanks(11) + " 8 \r\n");
}

TEST_F(TablesTest, EstimatesTableOfARawSet) {
    std::optional<TableView> view =
        ShowEstimatesTable(m_project.Db(), test::SelectionOf("DS", m_estimates, 1, 2));
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->windowCaption,
              "TABLE: DS (Jelinski-Moranda - Maximum Likelihood) - Estimates ");
    EXPECT_EQ(view->gridCaption, "Estimates");
    EXPECT_EQ(view->rows.headings,
              (std::vector<std::string>{"FailureIndex", "Parameter1", "Parameter2", "Parameter3",
                                        "LogLikelihood", "Pdf", "Cdf", "LowQ", "Median", "UppQ",
                                        "MTTF", "Outcome"}));
    ASSERT_EQ(view->rows.rows.size(), 2u);
    EXPECT_EQ(view->rows.rows[1][0], DbValue{std::int64_t{2}});
    EXPECT_EQ(view->rows.rows[1][8], DbValue{20.0});
    // A set stored without outcomes, as by an earlier version: nothing is marked.
    EXPECT_EQ(view->rows.rows[1][11], DbValue{std::string("not recorded")});
    EXPECT_EQ(view->rowNotes, (std::vector<std::string>{"", ""}));
}

TEST_F(TablesTest, RecalibratedTableWritesNullForTheMissingMttf) {
    std::optional<TableView> view = ShowEstimatesTable(
        m_project.Db(), test::SelectionOf("DS", m_estimates, 1, 2, m_predictions));
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->windowCaption,
              "Table - DS (Jelinski-Moranda - Maximum Likelihood - Parametric B-Splines "
              "Recalibration) - Recalibrated estimates ");
    EXPECT_EQ(view->gridCaption, "Recalibrated Estimates");
    EXPECT_EQ(view->rows.headings, (std::vector<std::string>{"FailureIndex", "Pdf", "Cdf", "LowQ",
                                                             "Median", "UppQ", "MTTF"}));
    std::ostringstream out;
    WriteTextTable(out, view->rows);
    // Index, Pdf, Cdf, LowQ, Median, UppQ, then Null in the seventh zone.
    EXPECT_EQ(out.str(), " 1 " + Blanks(11) + " 0.25 " + Blanks(8) + " 0.5 " + Blanks(9) + " 5 " +
                             Blanks(11) + " 10 " + Blanks(10) + " 20 " + Blanks(10) + "Null\r\n" +
                             " 2 " + Blanks(11) + " 0.25 " + Blanks(8) + " 0.5 " + Blanks(9) +
                             " 10 " + Blanks(10) + " 20 " + Blanks(10) + " 40 " + Blanks(10) +
                             "Null\r\n");
}

TEST_F(TablesTest, UnknownDatasetShowsTheReadMessage) {
    EXPECT_FALSE(ShowFailureTimesTable(m_project.Db(), test::SelectionOf("XX", 0, 0, 0)));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{"An error occurred while reading the database."});
}

}  // namespace
}  // namespace tamsel
