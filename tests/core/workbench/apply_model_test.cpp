#include "tamsel/workbench/apply_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model_test_support.h"
#include "project_fixture.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using Outcome = ApplyModelResult::Outcome;

using test::ProjectFile;

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;
constexpr const char* kAlreadyAvailableText =
    "The selected model is already available for the current data set";

// The rows are bit for bit those of the model's own fit (the prequential tests show that the
// number of threads changes no bit).
TEST(ModelDriver, StoresTheFitOfEveryIndexOfTheDefaultRange) {
    test::RecordingSink sink;
    ProjectFile project;
    const int dataSetId = project.AddDataFile("sys1.txt");
    test::Series series = test::FromDataFile("sys1.txt");
    for (const ModelInfo& model : ModelTable()) {
        SCOPED_TRACE(model.code);
        test::CancellingProgress progress;
        ApplyModelResult result = ApplyModel(project.Db(), dataSetId, model.number, kDefaultRange,
                                             kMaximumLikelihood, progress.Control());
        ASSERT_EQ(result.outcome, Outcome::Stored);
        EXPECT_EQ(result.message, "");
        EXPECT_EQ(result.estimatesSetId, FindEstimatesSet(project.Db(), dataSetId, model.number,
                                                          kDefaultRange, kMaximumLikelihood));
        EXPECT_EQ(progress.Starts(), 1);
        EXPECT_EQ(progress.Ends(), 1);
        EXPECT_EQ(progress.Minimum(), 20);
        EXPECT_EQ(progress.Maximum(), 136);
        EXPECT_EQ(progress.Steps().size(), 117u);

        EstimatesArray expected;
        const EstimationResult fitted = model.estimate(
            series.x, series.t, 20, 136, test::ReferenceSettings(), expected, RunControl());
        std::vector<FitOutcomeRow> outcomes;
        for (int i = 20; i <= 136; ++i) {
            const FitTermination& end = fitted.terminations[static_cast<std::size_t>(i)];
            outcomes.push_back({i, OutcomeText(end), end.evaluations});
        }
        EXPECT_EQ(ReadFitOutcomes(project.Db(), result.estimatesSetId), outcomes);
        auto rows = project.StoredRows(result.estimatesSetId);
        ASSERT_EQ(rows.size(), 117u);
        for (const auto& [index, row] : rows) {
            EXPECT_TRUE(test::SameBits(row, expected[index])) << index;
        }
        EXPECT_EQ(rows.front().first, 20);
        EXPECT_EQ(rows.back().first, 136);
        EXPECT_EQ(rows.back().second.pdf, 0.0);
        EXPECT_EQ(rows.back().second.cdf, 0.0);
        EXPECT_GT(rows.front().second.cdf, 0.0);
    }
    EXPECT_EQ(sink.Count(), 0u);
}

// Each set is stored while the next models are fitted: the sets are those ApplyModel stores one
// at a time, the results come in the models' order, and a caller that stops at a set that was not
// stored gets no more sets.
TEST(ModelDriver, ModelsInTurnStoreWhatEachAloneStores) {
    test::RecordingSink sink;
    ProjectFile alone;
    const int aloneId = alone.AddDataFile("sys1.txt");
    ProjectFile inTurn;
    const int dataSetId = inTurn.AddDataFile("sys1.txt");
    const std::vector<int> models = {5, 1, 8, 5, 4};
    std::vector<std::size_t> started;
    std::vector<std::pair<std::size_t, ApplyModelResult>> results;
    ApplyModels(
        inTurn.Db(), dataSetId, models, kDefaultRange, kMaximumLikelihood, RunControl(), 2,
        [&](std::size_t k) { started.push_back(k); },
        [&](std::size_t k, const ApplyModelResult& result) {
            results.emplace_back(k, result);
            return result.outcome != Outcome::Exists;  // no model after the second LNHPP
        });
    ASSERT_GE(started.size(), 4u);
    EXPECT_EQ(std::vector(started.begin(), started.begin() + 4),
              (std::vector<std::size_t>{0, 1, 2, 3}));
    ASSERT_EQ(results.size(), 4u);
    for (std::size_t k = 0; k < results.size(); ++k) EXPECT_EQ(results[k].first, k);
    EXPECT_EQ(results[3].second.outcome, Outcome::Exists);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{kAlreadyAvailableText}));
    for (const std::size_t k : {0u, 1u, 2u}) {
        const ApplyModelResult& result = results[k].second;
        ASSERT_EQ(result.outcome, Outcome::Stored);
        EXPECT_EQ(result.rangeStart, 20);
        EXPECT_EQ(result.rangeEnd, 136);
        const int own = ApplyModel(alone.Db(), aloneId, models[k], kDefaultRange,
                                   kMaximumLikelihood, RunControl())
                            .estimatesSetId;
        const auto expected = alone.StoredRows(own);
        const auto rows = inTurn.StoredRows(result.estimatesSetId);
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_TRUE(test::SameBits(rows[i].second, expected[i].second)) << rows[i].first;
        }
    }
    EXPECT_EQ(test::CountRows(inTurn.Db(), "EstimatesSets"), 3);
}

// On one thread and on four, whatever the model.
TEST(ModelDriver, CancelStoresNothing) {
    for (auto [model, threads] : {std::pair{4, 1}, {5, 4}}) {
        SCOPED_TRACE(threads);
        test::RecordingSink sink;
        ProjectFile project;
        int dataSetId = project.AddDataFile("sys1.txt");
        test::CancellingProgress progress(30);
        ApplyModelResult result = ApplyModel(project.Db(), dataSetId, model, kDefaultRange,
                                             kMaximumLikelihood, progress.Control(), threads);
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_EQ(result.message, "The calculation was cancelled by user action");
        ASSERT_EQ(sink.Count(), 1u);
        EXPECT_EQ(sink.Texts()[0], "The calculation was cancelled by user action");
        EXPECT_EQ(sink.Entries()[0].icon, MessageIcon::Information);
        EXPECT_EQ(progress.Steps().back(), 30);
        EXPECT_EQ(progress.Ends(), 1);
        EXPECT_EQ(test::CountRows(project.Db(), "EstimatesSets"), 0);
        EXPECT_EQ(test::CountRows(project.Db(), "Estimates"), 0);

        // The flag belongs to the caller, who clears it when it starts a run: a cancel that
        // arrives before the worker gets going is honoured, not wiped out.
        test::CancellingProgress early;
        early.Flag() = true;
        EXPECT_EQ(ApplyModel(project.Db(), dataSetId, model, kDefaultRange, kMaximumLikelihood,
                             early.Control(), threads)
                      .outcome,
                  Outcome::Cancelled);
        EXPECT_EQ(test::CountRows(project.Db(), "EstimatesSets"), 0);
    }
}

TEST(ModelDriver, RangesThatDoNotFitAreRefusedBeforeAnyFit) {
    ProjectFile project;
    int shortSet = project.AddDataSet("short", {5, 3, 8, 2, 9, 4, 7, 6, 1, 10});
    int sys1 = project.AddDataFile("sys1.txt");
    int ntds = project.AddDataFile("ntds.txt");
    int huge = project.AddDataSet("huge", {3e18, 3e19, 1.13e20, 8.1e19});
    int tiny = project.AddDataSet("tiny", {0, 3e-21, 3e-20, 1.13e-19});
    int speck = project.AddDataSet("speck", {5, 3, 2e-300, 4, 6, 9});
    int fromFourth = FindOrCreateRange(project.Db(), 1, 4, std::nullopt);
    int fromFirst = FindOrCreateRange(project.Db(), 1, 1, std::nullopt);
    int beyond = FindOrCreateRange(project.Db(), 1, 100, 140);
    int fromZero = static_cast<int>(std::get<std::int64_t>(
        test::QueryValue(project.Db(),
                         "INSERT INTO Ranges (RangeTypeID, RangeStart, RangeEnd) VALUES (1, 0, 30) "
                         "RETURNING RangeID;")));
    const std::string fromTwo =
        " model cannot be applied: it needs a range that starts at "
        "failure 2 or later.";
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
             Case{"Duane from the first failure", sys1, 2, fromFirst, "The Duane" + fromTwo},
             Case{"Littlewood-Verrall from the first failure", ntds, 7, fromFirst,
                  "The Littlewood-Verrall" + fromTwo},
             Case{"Keiller-Littlewood from the first failure", ntds, 8, fromFirst,
                  "The Keiller-Littlewood" + fromTwo},
             Case{"a range beyond the data", sys1, 3, beyond,
                  "The Musa-Okumoto model cannot be applied: the range ends at failure 140 but "
                  "the data set has only 136 failures."},
             Case{"a range from failure 0", sys1, 4, fromZero,
                  "The Goel-Okumoto model cannot be applied: the range from failure 0 to failure "
                  "30 is not valid."},
             // Beyond, the stand-ins for unbounded and vanishing values meet real ones.
             Case{"times beyond 1e20", huge, 1, fromFirst,
                  "The failure times cannot be modelled in the unit they are written in: the "
                  "cumulative time at failure 4 is 2.27e+20, above 1e20, where the models' "
                  "stand-ins for unbounded and vanishing values could no longer be told from real "
                  "ones.\r\nImport the times in a larger unit (divide them by a power of ten) and "
                  "apply the models again."},
             Case{"times below 1e-20", tiny, 4, fromFirst,
                  "The failure times cannot be modelled in the unit they are written in: the "
                  "cumulative time at failure 2 is 3e-21, below 1e-20, where the models' "
                  "stand-ins for unbounded and vanishing values could no longer be told from real "
                  "ones.\r\nImport the times in a smaller unit (multiply them by a power of ten) "
                  "and apply the models again."},
             // Every window from failure 3 on holds it, and a limit's ratio of it to the
             // other times would pass the doubles.
             Case{"an interfailure time of 2e-300", speck, 8, fromFourth,
                  "The interfailure time at failure 3 is 2e-300, above 0 but below 1e-280, where "
                  "the models can no longer tell it from 0.\r\nCorrect the time in the data "
                  "file (0 for a failure at the same moment as the one before) and import it "
                  "again."},
             Case{"an unknown model", ntds, 9, kDefaultRange,
                  "Trying to read parameters from the database for the model with unknown ID: "
                  "9.\r\nPlease, use correct mode ID."},
         }) {
        SCOPED_TRACE(c.what);
        test::RecordingSink sink;
        test::CancellingProgress progress;
        ApplyModelResult result = ApplyModel(project.Db(), c.dataSetId, c.model, c.rangeId,
                                             kMaximumLikelihood, progress.Control());
        EXPECT_EQ(result.outcome, Outcome::Refused);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(progress.Starts(), 0);
    }
    EXPECT_EQ(test::CountRows(project.Db(), "EstimatesSets"), 0);
    // The cumulative-time models fit a single failure.
    for (int model : {5, 6}) {
        EXPECT_EQ(ApplyModel(project.Db(), ntds, model, fromFirst, 1, {}).outcome, Outcome::Stored)
            << model;
    }
    EXPECT_EQ(test::CountRows(project.Db(), "Estimates"), 2 * 26);
}

TEST(ModelDriver, RangeEndsLeaveTheLastRowWithoutPdfAndCdf) {
    ProjectFile project;
    int dataSetId = project.AddDataFile("sys1.txt");
    for (auto [start, end] : {std::pair{50, 50}, {20, 30}}) {
        SCOPED_TRACE(end);
        int rangeId = FindOrCreateRange(project.Db(), 1, start, end);
        ApplyModelResult result =
            ApplyModel(project.Db(), dataSetId, 3, rangeId, kMaximumLikelihood, RunControl());
        ASSERT_EQ(result.outcome, Outcome::Stored);
        auto rows = project.StoredRows(result.estimatesSetId);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(end - start + 1));
        EXPECT_EQ(rows.back().first, end);
        EXPECT_EQ(rows.back().second.pdf, 0.0);
        EXPECT_EQ(rows.back().second.cdf, 0.0);
        EXPECT_GT(rows.back().second.median, 0.0);
    }
}

TEST(ModelDriver, ArithmeticFaultIsReportedOnceAndStoresNothing) {
    struct Case {
        int model;
        std::vector<double> times;
        std::string message;
    };
    // Every failure at time 0: the Jelinski-Moranda rate i / T is infinite. No time before
    // failure 21: the Littlewood-Verrall shape at failure 20 is infinite.
    std::vector<double> lateStart(21, 0.0);
    lateStart.insert(lateStart.end(), {5.0, 7.0, 3.0});
    for (const Case& c :
         {Case{1, std::vector<double>(25, 0.0),
               "An arithmetic error occurred while fitting the Jelinski-Moranda model at failure "
               "index 20: LogLhd is not a finite number.\r\nNo estimates were stored."},
          Case{7, lateStart,
               "An arithmetic error occurred while fitting the Littlewood-Verrall model at "
               "failure index 20: Param1 is not a finite number.\r\nNo estimates were stored."}}) {
        SCOPED_TRACE(c.model);
        ProjectFile project;
        int dataSetId = project.AddDataSet("zeros", c.times);
        test::RecordingSink sink;
        test::CancellingProgress progress;
        ApplyModelResult result = ApplyModel(project.Db(), dataSetId, c.model, kDefaultRange,
                                             kMaximumLikelihood, progress.Control());
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(progress.Ends(), 1);
        EXPECT_EQ(test::CountRows(project.Db(), "EstimatesSets"), 0);
        EXPECT_EQ(test::CountRows(project.Db(), "Estimates"), 0);
    }
}

// The set, its estimates and how its fits ended go in together or not at all.
TEST(ModelDriver, FailedStoreIsReportedAndLeavesNoHalfSet) {
    if (test::OnTestServer()) GTEST_SKIP() << "about project files";
    struct Case {
        const char* fault;
        std::function<void(ProjectFile&)> make;
    };
    const Case cases[] = {
        {"full disk",
         [](ProjectFile& project) {
             // No room for the 117 estimates beyond the pages the file has.
             const auto pages =
                 std::get<std::int64_t>(test::QueryValue(project.Db(), "PRAGMA page_count;"));
             project.Db().Execute("PRAGMA max_page_count = " + std::to_string(pages) + ";");
         }},
        {"an outcome refused after every estimate went in",
         [](ProjectFile& project) {
             project.Db().Execute(
                 "CREATE TRIGGER Refuse BEFORE INSERT ON FitOutcomeLists "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ProjectFile project;
        int dataSetId = project.AddDataFile("sys1.txt");
        c.make(project);
        test::RecordingSink sink;
        ApplyModelResult result =
            ApplyModel(project.Db(), dataSetId, 4, kDefaultRange, kMaximumLikelihood, RunControl());
        EXPECT_EQ(result.outcome, Outcome::Failed);
        const std::string expected =
            "An error occurred while storing the estimates of the Goel-Okumoto model.\r\nNo "
            "estimates were stored.";
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{expected});
        EXPECT_EQ(test::CountRows(project.Db(), "EstimatesSets"), 0);
        EXPECT_EQ(test::CountRows(project.Db(), "Estimates"), 0);
        EXPECT_EQ(test::CountRows(project.Db(), "FitOutcomeLists"), 0);
    }
}

}  // namespace
}  // namespace tamsel
