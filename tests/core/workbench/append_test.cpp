#include "tamsel/workbench/append.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model_test_support.h"
#include "project_fixture.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/recalibrate.h"

namespace tamsel {
namespace {

using Outcome = ExtendResult::Outcome;
using test::ProjectFile;

constexpr int kKept = 126;  // of SYS1's 136 failures, those stored before the append
constexpr int kJmSet = 1;
constexpr int kShortGoSet = 9;  // GO over failures 20 to 100: a stated end

// SYS1 as a file in one of the forms the import reads, whole or split after failure kKept.
struct Form {
    const char* name;
    TableOptions options;
    std::string (*line)(double interfailure, double cumulative);
};

std::string Text(const Form& form, const std::vector<double>& x, std::size_t from, std::size_t to) {
    std::string text;
    double t = 0.0;
    for (std::size_t k = 0; k < to; ++k) {
        t += x[k];
        if (k >= from) text += form.line(x[k], t) + "\n";
    }
    return text;
}

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// Whole seconds after 2024-03-01 00:00 UTC, written as date-times.
std::string DateTime(double seconds) {
    const long s = static_cast<long>(seconds);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "2024-03-%02ld %02ld:%02ld:%02ld", 1 + s / 86400,
                  s / 3600 % 24, s / 60 % 60, s % 60);
    return buffer;
}

TableOptions FromOrigin() {
    TableOptions options;
    options.timestamps = TimestampOptions{"2024-03-01 00:00", "UTC", TimeUnit::Seconds};
    return options;
}

const Form kForms[] = {
    {"interfailure", {}, [](double x, double) { return Number(x); }},
    {"cumulative", {}, [](double, double t) { return Number(t); }},
    {"date-times", FromOrigin(), [](double, double t) { return DateTime(t); }},
};

int Import(Database& db, const std::string& file, const Form& form) {
    AddDataSetRequest request{"S", file};
    request.table = form.options;
    EXPECT_TRUE(AddDataSetFromFile(db, request));
    return *FindDataSetId(db, "S");
}

// Every model over the default range, GO over 20..100 as well, and JM recalibrated.
void ApplyAll(Database& db, int dataSetId) {
    for (const ModelInfo& model : ModelTable()) {
        ASSERT_EQ(ApplyModel(db, dataSetId, model.number, kDefaultRangeId, 1, RunControl()).outcome,
                  ApplyModelResult::Outcome::Stored);
    }
    const int shortRange = *CustomRange(db, dataSetId, 20, 100);
    ASSERT_EQ(ApplyModel(db, dataSetId, 4, shortRange, 1, RunControl()).estimatesSetId,
              kShortGoSet);
    ASSERT_EQ(ApplyRecalibration(db, kJmSet, 1, RunControl()).outcome,
              RecalibrationResult::Outcome::Stored);
}

std::vector<std::vector<double>> PredictionRows(Database& db, int predictionsSetId) {
    Statement select = db.Prepare(
        "SELECT FailureIndex, Pdf, Cdf, LowQ, Median, UppQ FROM Predictions "
        "WHERE PredictionsSetID = ? ORDER BY FailureIndex");
    select.Bind(1, std::int64_t{predictionsSetId});
    std::vector<std::vector<double>> rows;
    while (select.Step()) {
        rows.emplace_back();
        for (int c = 0; c < 6; ++c) rows.back().push_back(select.ColumnDouble(c));
    }
    return rows;
}

void ExpectSameProject(ProjectFile& actual, ProjectFile& expected, int dataSetId) {
    FailureSeries x1, t1, x2, t2;
    ASSERT_TRUE(ReadFailureTimes(actual.Db(), dataSetId, x1, t1));
    ASSERT_TRUE(ReadFailureTimes(expected.Db(), dataSetId, x2, t2));
    EXPECT_EQ(x1, x2);
    EXPECT_EQ(t1, t2);
    EXPECT_EQ(GetDataSet(actual.Db(), dataSetId)->count, 136);
    for (int set = 1; set <= kShortGoSet; ++set) {
        SCOPED_TRACE("set " + std::to_string(set));
        const auto rows = actual.StoredRows(set);
        const auto fresh = expected.StoredRows(set);
        ASSERT_EQ(rows.size(), fresh.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            EXPECT_EQ(rows[k].first, fresh[k].first);
            EXPECT_TRUE(test::SameBits(rows[k].second, fresh[k].second)) << rows[k].first;
        }
        EXPECT_EQ(*ReadFitOutcomes(actual.Db(), set), *ReadFitOutcomes(expected.Db(), set));
    }
    EXPECT_EQ(PredictionRows(actual.Db(), 1), PredictionRows(expected.Db(), 1));
}

// Appending gives the rows of a fresh import of every failure with every set applied and
// recalibrated again, to the bit; the set with a stated end stays as it was.
TEST(AppendFailures, ExtendsEverySetAsAFreshFitWould) {
    const std::vector<double> x = test::ReadDataValues("sys1.txt");
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        test::RecordingSink sink;
        test::TempDir dir;
        ProjectFile appended;
        ProjectFile fresh;
        const int id = Import(appended.Db(), dir.WriteFile("first", Text(form, x, 0, kKept)), form);
        ApplyAll(appended.Db(), id);
        ApplyAll(fresh.Db(), Import(fresh.Db(), dir.WriteFile("all", Text(form, x, 0, 136)), form));
        ASSERT_EQ(fresh.StoredRows(kShortGoSet).size(), 81u);

        test::CancellingProgress progress;
        const ExtendResult result =
            AppendFailures(appended.Db(), {"S", dir.WriteFile("rest", Text(form, x, kKept, 136))},
                           progress.Control(), 2);
        ASSERT_EQ(result.outcome, Outcome::Stored) << result.message;
        EXPECT_EQ(result.failuresAdded, 10);
        EXPECT_EQ(result.extendedSets, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(result.recalibrationsRefitted, 1);
        ExpectSameProject(appended, fresh, id);
        EXPECT_EQ(sink.Count(), 0u) << sink.Texts().front();
    }
}

// Sets left short by failures added another way are extended on request, model by model.
TEST(ExtendSets, CatchesUpSetsLeftShortAndOnlyThose) {
    test::RecordingSink sink;
    test::TempDir dir;
    const std::vector<double> x = test::ReadDataValues("sys1.txt");
    ProjectFile appended;
    ProjectFile fresh;
    const int id = appended.AddDataSet("S", {x.begin(), x.begin() + kKept});
    ApplyAll(appended.Db(), id);
    ApplyAll(fresh.Db(), fresh.AddDataSet("S", x));
    FailureSeries all = test::FromInterfailure(x).x, t = test::FromInterfailure(x).t;
    ASSERT_TRUE(AppendFailureTimes(appended.Db(), id, kKept + 1, all, t));

    const int jmAndLv[] = {1, 7};
    ExtendResult result = ExtendSets(appended.Db(), id, jmAndLv, RunControl());
    ASSERT_EQ(result.outcome, Outcome::Stored);
    EXPECT_EQ(result.extendedSets, (std::vector<int>{1, 7}));
    EXPECT_EQ(appended.StoredRows(2).back().first, kKept);
    result = ExtendSets(appended.Db(), id, {}, RunControl());
    EXPECT_EQ(result.extendedSets, (std::vector<int>{2, 3, 4, 5, 6, 8}));
    ExpectSameProject(appended, fresh, id);
    result = ExtendSets(appended.Db(), id, {}, RunControl());
    EXPECT_EQ(result.outcome, Outcome::Stored);
    EXPECT_TRUE(result.extendedSets.empty());
    EXPECT_EQ(sink.Count(), 0u);
}

// Whatever stops an append, the project file is left as it was.
TEST(AppendFailures, StoresNothingWhenRefusedOrCancelled) {
    struct Case {
        const char* name;
        std::string rest;
        DataTypeChoice choice;
        int cancelAt;
        Outcome outcome;
        std::string message;
    };
    const Case cases[] = {
        {"cumulative times falling back", "100\n50\n", DataTypeChoice::Cumulative, 0,
         Outcome::Refused,
         "An error has occurred during data validation.\r\nFile contains negative data.\r\n"
         "Value 1 of the file falls below the cumulative time of the failure before it: "
         "cumulative times must not decrease. Append only failures after failure 30."},
        {"the other data type", "5\n", DataTypeChoice::Interfailure, 0, Outcome::Refused,
         "The data set \"S\" holds cumulative times: the failures appended to it must be "
         "cumulative times too."},
        {"too many zeros over the whole series", "1000\n1000\n1000\n1000\n1000\n1000\n",
         DataTypeChoice::Automatic, 0, Outcome::Refused,
         "An error has occurred during data validation.\r\nFile contains too many zeros.\r\n5 of "
         "the 36 interfailure times are 0; at most one in ten may. Remove the repeated failures "
         "or correct their times."},
        {"cancelled while fitting", "1000\n1010\n", DataTypeChoice::Automatic, 31,
         Outcome::Cancelled, "The calculation was cancelled by user action"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingSink sink;
        test::TempDir dir;
        ProjectFile project;
        std::string first;
        for (int i = 1; i <= 30; ++i) first += std::to_string(i * 30 + i % 7) + "\n";
        const int id = Import(project.Db(), dir.WriteFile("first", first), kForms[1]);
        ASSERT_EQ(
            ApplyModel(project.Db(), id, 4, *CustomRange(project.Db(), id, 5, {}), 1, RunControl())
                .outcome,
            ApplyModelResult::Outcome::Stored);
        sink.Clear();

        test::CancellingProgress progress(c.cancelAt);
        const ExtendResult result = AppendFailures(
            project.Db(), {"S", dir.WriteFile("rest", c.rest), c.choice}, progress.Control());
        EXPECT_EQ(result.outcome, c.outcome);
        ASSERT_FALSE(sink.Texts().empty());
        EXPECT_EQ(sink.Texts().back(), c.message);
        EXPECT_EQ(GetDataSet(project.Db(), id)->count, 30);
        EXPECT_EQ(project.StoredRows(1).back().first, 30);
        EXPECT_EQ(test::CountRows(project.Db(), "FailureTimes"), 30);
    }
}

}  // namespace
}  // namespace tamsel
