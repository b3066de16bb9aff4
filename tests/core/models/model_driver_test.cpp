#include "tamsel/models/model_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "model_test_support.h"
#include "tamsel/models/du_model.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using Outcome = ApplyModelResult::Outcome;

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;

class ModelDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string path = m_dir.File("project.db");
        ASSERT_TRUE(CreateTamselDatabase(path));
        m_db = OpenTamselDatabase(path);
        ASSERT_TRUE(m_db);
    }

    int AddDataSet(const std::string& name, const std::vector<double>& interfailure) {
        EXPECT_TRUE(InsertDataSet(*m_db, name, name + ".txt", 1,
                                  static_cast<int>(interfailure.size()), "test"));
        EXPECT_TRUE(InsertFailureTimes(*m_db, interfailure, 1, name));
        return FindDataSetId(*m_db, name).value_or(0);
    }

    int AddDataFile(const std::string& file) {
        return AddDataSet(file, test::ReadDataValues(file));
    }

    std::int64_t Count(const std::string& sql) {
        Statement count = m_db->Prepare(sql);
        count.Step();
        return count.ColumnInt(0);
    }

    std::int64_t SetCount() { return Count("SELECT COUNT(*) FROM EstimatesSets;"); }
    std::int64_t RowCount() { return Count("SELECT COUNT(*) FROM Estimates;"); }

    // The stored rows of a set, indexed by failure index from its first.
    std::vector<std::pair<int, EstimateRecord>> Rows(int setId) {
        Statement rows = m_db->Prepare(
            "SELECT FailureIndex, Parameter1, Parameter2, Parameter3, LogLikelihood, Pdf, Cdf, "
            "LowQ, Median, UppQ, MTTF FROM Estimates WHERE EstimatesSetID = :set "
            "ORDER BY FailureIndex;");
        rows.Bind("set", std::int64_t{setId});
        std::vector<std::pair<int, EstimateRecord>> result;
        while (rows.Step()) {
            EstimateRecord r;
            double* fields[] = {&r.param1, &r.param2, &r.param3, &r.logLhd, &r.pdf,
                                &r.cdf,    &r.lowQ,   &r.median, &r.uppQ,   &r.mttf};
            for (int k = 0; k < 10; ++k) {
                EXPECT_FALSE(rows.ColumnIsNull(k + 1));
                *fields[k] = rows.ColumnDouble(k + 1);
            }
            result.emplace_back(static_cast<int>(rows.ColumnInt(0)), r);
        }
        return result;
    }

    test::TempDir m_dir;
    std::unique_ptr<Database> m_db;
};

TEST_F(ModelDriver, StoresTheFitOfEveryIndexOfTheDefaultRange) {
    test::RecordingSink sink;
    int dataSetId = AddDataFile("sys1.txt");
    test::Series series = test::FromDataFile("sys1.txt");
    for (int model : {1, 2, 3, 4}) {
        SCOPED_TRACE(model);
        test::CancellingProgress progress;
        ApplyModelResult result = ApplyModel(*m_db, dataSetId, model, kDefaultRange,
                                             kMaximumLikelihood, progress.Control());
        ASSERT_EQ(result.outcome, Outcome::Stored);
        EXPECT_EQ(result.message, "");
        EXPECT_EQ(result.estimatesSetId,
                  FindEstimatesSet(*m_db, dataSetId, model, kDefaultRange, kMaximumLikelihood));
        EXPECT_EQ(progress.Starts(), 1);
        EXPECT_EQ(progress.Ends(), 1);
        EXPECT_EQ(progress.Minimum(), 20);
        EXPECT_EQ(progress.Maximum(), 136);
        EXPECT_EQ(progress.Steps().size(), 117u);

        EstimatesArray expected;
        FindModel(model)->estimate(series.x, series.t, 20, 136, test::ReferenceSettings(), expected,
                                   RunControl());
        auto rows = Rows(result.estimatesSetId);
        ASSERT_EQ(rows.size(), 117u);
        for (const auto& [index, row] : rows) {
            EXPECT_EQ(row.param1, expected[index].param1);
            EXPECT_EQ(row.median, expected[index].median);
            EXPECT_EQ(row.cdf, expected[index].cdf);
        }
        EXPECT_EQ(rows.front().first, 20);
        EXPECT_EQ(rows.back().first, 136);
        EXPECT_EQ(rows.back().second.pdf, 0.0);
        EXPECT_EQ(rows.back().second.cdf, 0.0);
        EXPECT_GT(rows.front().second.cdf, 0.0);
    }
    EXPECT_EQ(sink.Count(), 0u);
    EXPECT_EQ(SetCount(), 4);
}

TEST_F(ModelDriver, EveryDatasetGetsCompleteFiniteSets) {
    test::RecordingSink sink;
    int sets = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::DataFile(""))) {
        if (entry.path().extension() != ".txt") continue;
        std::string file = entry.path().filename().string();
        std::vector<double> values = test::ReadDataValues(file);
        if (values.size() <= 20) continue;
        int dataSetId = AddDataSet(file, values);
        for (int model : {1, 2, 3, 4, 5, 6, 7, 8}) {
            SCOPED_TRACE(file + " model " + std::to_string(model));
            ApplyModelResult result = ApplyModel(*m_db, dataSetId, model, kDefaultRange,
                                                 kMaximumLikelihood, RunControl());
            ASSERT_EQ(result.outcome, Outcome::Stored) << result.message;
            auto rows = Rows(result.estimatesSetId);
            ASSERT_EQ(rows.size(), values.size() - 19);
            for (const auto& [index, row] : rows) {
                for (double value : {row.param1, row.param2, row.param3, row.logLhd, row.pdf,
                                     row.cdf, row.lowQ, row.median, row.uppQ, row.mttf}) {
                    ASSERT_TRUE(std::isfinite(value)) << "at " << index;
                }
            }
            ++sets;
        }
    }
    EXPECT_EQ(sets, 8 * 15);
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(ModelDriver, JelinskiMorandaStoresNoThirdParameterOrLikelihood) {
    int dataSetId = AddDataFile("ntds.txt");
    ApplyModelResult result =
        ApplyModel(*m_db, dataSetId, 1, kDefaultRange, kMaximumLikelihood, RunControl());
    ASSERT_EQ(result.outcome, Outcome::Stored);
    for (const auto& [index, row] : Rows(result.estimatesSetId)) {
        EXPECT_EQ(row.param3, 0.0);
        EXPECT_EQ(row.logLhd, 0.0);
    }
}

TEST_F(ModelDriver, CancelStoresNothing) {
    test::RecordingSink sink;
    int dataSetId = AddDataFile("sys1.txt");
    test::CancellingProgress progress(30);
    ApplyModelResult result =
        ApplyModel(*m_db, dataSetId, 4, kDefaultRange, kMaximumLikelihood, progress.Control());
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_EQ(result.message, "The calculation was cancelled by user action");
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts()[0], "The calculation was cancelled by user action");
    EXPECT_EQ(sink.Entries()[0].icon, MessageIcon::Information);
    EXPECT_EQ(progress.Steps().back(), 30);
    EXPECT_EQ(progress.Ends(), 1);
    EXPECT_EQ(SetCount(), 0);
    EXPECT_EQ(RowCount(), 0);

    // The flag belongs to the caller, who clears it when it starts a run: a cancel that
    // arrives before the worker gets going is honoured, not wiped out.
    test::CancellingProgress early;
    early.Flag() = true;
    EXPECT_EQ(
        ApplyModel(*m_db, dataSetId, 4, kDefaultRange, kMaximumLikelihood, early.Control()).outcome,
        Outcome::Cancelled);
    EXPECT_EQ(SetCount(), 0);
}

TEST_F(ModelDriver, RangesThatDoNotFitAreRefusedBeforeAnyFit) {
    int shortSet = AddDataSet("short", {5, 3, 8, 2, 9, 4, 7, 6, 1, 10});
    int sys1 = AddDataFile("sys1.txt");
    int fromFirst = FindOrCreateRange(*m_db, 1, 1, std::nullopt);
    int beyond = FindOrCreateRange(*m_db, 1, 100, 140);
    m_db->Execute("INSERT INTO Ranges (RangeTypeID, RangeStart, RangeEnd) VALUES (1, 0, 30);");
    int fromZero = static_cast<int>(m_db->LastInsertRowId());
    struct Case {
        const char* what;
        int dataSetId;
        int model;
        int rangeId;
        std::string message;
    };
    for (const Case& c : {
             Case{"fewer failures than the range start", shortSet, 1, kDefaultRange,
                  "The Jelinski-Moranda model cannot be applied: the data set has 10 failures, "
                  "fewer than the start of the range (failure 20)."},
             Case{"Duane from the first failure", sys1, 2, fromFirst,
                  "The Duane model cannot be applied: it needs a range that starts at failure 2 "
                  "or later."},
             Case{"a range beyond the data", sys1, 3, beyond,
                  "The Musa-Okumoto model cannot be applied: the range ends at failure 140 but "
                  "the data set has only 136 failures."},
             Case{"a range from failure 0", sys1, 4, fromZero,
                  "The Goel-Okumoto model cannot be applied: the range from failure 0 to failure "
                  "30 is not valid."},
         }) {
        SCOPED_TRACE(c.what);
        test::RecordingSink sink;
        test::CancellingProgress progress;
        ApplyModelResult result = ApplyModel(*m_db, c.dataSetId, c.model, c.rangeId,
                                             kMaximumLikelihood, progress.Control());
        EXPECT_EQ(result.outcome, Outcome::Refused);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(progress.Starts(), 0);
    }
    EXPECT_EQ(SetCount(), 0);
}

TEST_F(ModelDriver, RangeEndsLeaveTheLastRowWithoutPdfAndCdf) {
    int dataSetId = AddDataFile("sys1.txt");
    struct Case {
        int start;
        int end;
    };
    for (const Case& c : {Case{50, 50}, Case{20, 30}}) {
        SCOPED_TRACE(c.end);
        int rangeId = FindOrCreateRange(*m_db, 1, c.start, c.end);
        ApplyModelResult result =
            ApplyModel(*m_db, dataSetId, 3, rangeId, kMaximumLikelihood, RunControl());
        ASSERT_EQ(result.outcome, Outcome::Stored);
        auto rows = Rows(result.estimatesSetId);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.end - c.start + 1));
        EXPECT_EQ(rows.back().first, c.end);
        EXPECT_EQ(rows.back().second.pdf, 0.0);
        EXPECT_EQ(rows.back().second.cdf, 0.0);
        EXPECT_GT(rows.back().second.median, 0.0);
    }
}

TEST_F(ModelDriver, ArithmeticFaultIsReportedOnceAndStoresNothing) {
    // Every failure at time 0: the Jelinski-Moranda rate i / T is infinite.
    int dataSetId = AddDataSet("zeros", std::vector<double>(25, 0.0));
    test::RecordingSink sink;
    test::CancellingProgress progress;
    ApplyModelResult result =
        ApplyModel(*m_db, dataSetId, 1, kDefaultRange, kMaximumLikelihood, progress.Control());
    EXPECT_EQ(result.outcome, Outcome::Failed);
    const std::string expected =
        "An arithmetic error occurred while fitting the Jelinski-Moranda model at failure index "
        "20: Pdf is not a finite number.\r\nNo estimates were stored.";
    EXPECT_EQ(result.message, expected);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{expected});
    EXPECT_EQ(progress.Ends(), 1);
    EXPECT_EQ(SetCount(), 0);
}

TEST_F(ModelDriver, FailedStoreIsReportedAndLeavesNoHalfSet) {
    int dataSetId = AddDataFile("sys1.txt");
    test::RecordingSink sink;
    // No room for the 117 estimates beyond the pages the file has.
    std::int64_t pages = Count("PRAGMA page_count;");
    m_db->Execute("PRAGMA max_page_count = " + std::to_string(pages) + ";");
    ApplyModelResult result =
        ApplyModel(*m_db, dataSetId, 4, kDefaultRange, kMaximumLikelihood, RunControl());
    EXPECT_EQ(result.outcome, Outcome::Failed);
    const std::string expected =
        "An error occurred while storing the estimates of the Goel-Okumoto model.\r\nNo "
        "estimates were stored.";
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{expected});
    EXPECT_EQ(SetCount(), 0);
    EXPECT_EQ(RowCount(), 0);
}

TEST_F(ModelDriver, UnknownModelIsNamedByTheSettingsLookup) {
    int dataSetId = AddDataFile("ntds.txt");
    test::RecordingSink sink;
    ApplyModelResult result =
        ApplyModel(*m_db, dataSetId, 9, kDefaultRange, kMaximumLikelihood, RunControl());
    EXPECT_EQ(result.outcome, Outcome::Refused);
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts()[0],
              "Trying to read parameters from the database for the model with unknown ID: "
              "9.\r\nPlease, use correct mode ID.");
    EXPECT_EQ(SetCount(), 0);
}

}  // namespace
}  // namespace tamsel
