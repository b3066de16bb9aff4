#include "tamsel/workbench/table_views.h"

#include <gtest/gtest.h>

#include "project_fixture.h"

namespace tamsel {
namespace {

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

// The tables show the stored rows without their keys; a set stored without outcomes, as by an
// earlier version, marks nothing.
TEST_F(TablesTest, EachTableShowsItsColumnsWithoutKeys) {
    Database& db = m_project.Db();
    std::optional<TableView> times = ShowFailureTimesTable(db, test::SelectionOf("DS", 0, 0, 2));
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(times->rows.headings,
              (std::vector<std::string>{"FailureIndex", "InterfailureTime", "CumulativeTime"}));
    EXPECT_EQ(times->rows.rows[1][2], DbValue{8.0});

    std::optional<TableView> raw =
        ShowEstimatesTable(db, test::SelectionOf("DS", m_estimates, 1, 2));
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->rows.headings,
              (std::vector<std::string>{"FailureIndex", "Parameter1", "Parameter2", "Parameter3",
                                        "LogLikelihood", "Pdf", "Cdf", "LowQ", "Median", "UppQ",
                                        "MTTF", "Outcome"}));
    ASSERT_EQ(raw->rows.rows.size(), 2u);
    EXPECT_EQ(raw->rows.rows[1][0], DbValue{std::int64_t{2}});
    EXPECT_EQ(raw->rows.rows[1][8], DbValue{20.0});
    EXPECT_EQ(raw->rows.rows[1][11], DbValue{std::string("not recorded")});
    EXPECT_EQ(raw->rowNotes, (std::vector<std::string>{"", ""}));

    std::optional<TableView> recalibrated =
        ShowEstimatesTable(db, test::SelectionOf("DS", m_estimates, 1, 2, m_predictions));
    ASSERT_TRUE(recalibrated.has_value());
    EXPECT_EQ(
        recalibrated->rows.headings,
        (std::vector<std::string>{"FailureIndex", "Pdf", "Cdf", "LowQ", "Median", "UppQ", "MTTF"}));
    EXPECT_EQ(recalibrated->rows.rows[0][6], DbValue{});

    // A note over every heading; the parameters named as the set's model (JM) names them.
    for (const TableView* table : {&*times, &*raw, &*recalibrated}) {
        ASSERT_EQ(table->headingNotes.size(), table->rows.headings.size());
        for (const std::string& note : table->headingNotes) EXPECT_NE(note, "");
    }
    EXPECT_EQ(raw->headingNotes[1].substr(0, 34), "Jelinski-Moranda's parameter N as ");
    EXPECT_EQ(raw->headingNotes[3], "Jelinski-Moranda has no such parameter: 0.");
    EXPECT_EQ(recalibrated->headingNotes[6], "The mean is not recalibrated: empty.");
    EXPECT_NE(recalibrated->headingNotes[3].find("recalibrated prediction"), std::string::npos);
}

TEST_F(TablesTest, UnknownDatasetShowsTheReadMessage) {
    EXPECT_FALSE(ShowFailureTimesTable(m_project.Db(), test::SelectionOf("XX", 0, 0, 0)));
    EXPECT_EQ(m_sink.Texts(),
              std::vector<std::string>{"An error occurred while reading the database."});
}

}  // namespace
}  // namespace tamsel
