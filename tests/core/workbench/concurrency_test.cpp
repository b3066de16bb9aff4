// Two programs on one project, a file or a schema on the tests' server: the other program is a
// forked child or a second connection, which the engine locks against exactly as it would
// another process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "store_fixture.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/recalibrate.h"

namespace tamsel {
namespace {

constexpr int kMusaOkumoto = 3;
constexpr int kGoelOkumoto = 4;
constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;
constexpr int kRecalibrationMethod = 1;
constexpr const char* kKeptInFile =
    "The project file is in use by another program. The finished work is kept, and storing it "
    "is tried again until the other program lets go of the file; cancel to give it up.";
constexpr const char* kKeptOnServer =
    "The project is in use by another user or program on the database server. The finished "
    "work is kept, and storing it is tried again until they let go of the project; cancel to "
    "give it up.";

std::string Kept() { return test::OnTestServer() ? kKeptOnServer : kKeptInFile; }

constexpr int kReadyFd = 3;

// When this binary runs as the other program of StartOther, it does its work before the
// tests would start, and ends.
[[maybe_unused]] const bool kOtherProgram = [] {
    const char* sql = std::getenv("TAMSEL_OTHER_SQL");
    if (!sql) return false;
    try {
        Database db(std::getenv("TAMSEL_OTHER_FILE"), Database::OpenMode::ExistingFile);
        // No sql: a unit of work, which holds the project's write lock on either engine.
        std::optional<Transaction> unit;
        if (sql[0] == '\0') {
            unit.emplace(db);
        } else {
            db.Execute(sql);
        }
        (void)!write(kReadyFd, "x", 1);
        std::this_thread::sleep_for(
            std::chrono::seconds(std::atoi(std::getenv("TAMSEL_OTHER_HOLD"))));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the other program: %s\n", error.what());
        _exit(1);
    }
    _exit(0);
}();

// A project file with SYS1 stored, reopened as the workbench opens it.
class SharedFile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dataSetId = test::AddDataSet(m_fresh.Db(), "SYS1", test::ReadDataValues("sys1.txt"));
        m_fresh.Close();
        m_db = OpenProject(Path());
        ASSERT_TRUE(m_db);
    }
    void TearDown() override { StopOther(); }
    const std::string& Path() const { return m_fresh.Path(); }
    Database& Db() { return *m_db; }

    ApplyModelResult ApplyGO(const RunControl& control) {
        return ApplyModel(Db(), m_dataSetId, kGoelOkumoto, kDefaultRange, kMaximumLikelihood,
                          control, 1);
    }
    std::int64_t Count(const std::string& table) { return test::CountRows(Db(), table); }

    // Starts another program (this test binary again, see kOtherProgram) that opens the
    // project, runs sql (or begins a unit of work when sql is empty), says so and then sleeps for
    // holdSeconds before it ends (rolling back whatever sql left open). A fresh process: a forked
    // one would share the engine's bookkeeping of this one's open files.
    void StartOther(const std::string& sql, int holdSeconds) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        m_other = fork();
        ASSERT_GE(m_other, 0);
        if (m_other == 0) {
            dup2(ready[1], kReadyFd);
            setenv("TAMSEL_OTHER_FILE", Path().c_str(), 1);
            setenv("TAMSEL_OTHER_SQL", sql.c_str(), 1);
            setenv("TAMSEL_OTHER_HOLD", std::to_string(holdSeconds).c_str(), 1);
            execl("/proc/self/exe", "other", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the other program could not take its lock";
        close(ready[0]);
    }
    void StopOther() {
        if (m_other <= 0) return;
        kill(m_other, SIGKILL);
        waitpid(m_other, nullptr, 0);
        m_other = 0;
    }

    test::FreshDatabase m_fresh;
    std::unique_ptr<Database> m_db;
    int m_dataSetId = 0;
    pid_t m_other = 0;
};

// Runs a hook when the fit has ended, before anything is stored.
class AtEnd : public ProgressSink {
  public:
    explicit AtEnd(std::function<void()> hook) : m_hook(std::move(hook)) {}
    void OnStart(int, int) override {}
    void OnStep(int) override {}
    void OnEnd() override { m_hook(); }

  private:
    std::function<void()> m_hook;
};

TEST_F(SharedFile, ASetStoredByAnotherProgramDuringTheFitIsNotStoredTwice) {
    // The other program stores the same set (then its recalibration) while this one computes.
    std::atomic<bool> cancel{false};
    AtEnd otherApplies([&] {
        auto other = OpenProject(Path());
        ApplyModel(*other, m_dataSetId, kGoelOkumoto, kDefaultRange, kMaximumLikelihood,
                   RunControl(), 1);
    });
    test::RecordingSink sink;
    EXPECT_EQ(ApplyGO(RunControl(&otherApplies, &cancel)).outcome,
              ApplyModelResult::Outcome::Exists);
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>{
                  "The selected model is already available for the current data set"});
    EXPECT_EQ(Count("EstimatesSets"), 1);

    const int setId = FindEstimatesSet(Db(), m_dataSetId, kGoelOkumoto, kDefaultRange, 1);
    AtEnd otherRecalibrates([&] {
        auto other = OpenProject(Path());
        ApplyRecalibration(*other, setId, kRecalibrationMethod, RunControl());
    });
    sink.Clear();
    EXPECT_EQ(ApplyRecalibration(Db(), setId, kRecalibrationMethod,
                                 RunControl(&otherRecalibrates, &cancel))
                  .outcome,
              RecalibrationResult::Outcome::Exists);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                "This recalibration is already available for the current dataset"});
    EXPECT_EQ(Count("PredictionsSets"), 1);
}

TEST_F(SharedFile, WhatIsComputedFromADatasetAnotherProgramDeletesMeanwhileIsNotStored) {
    const int setId = ApplyGO(RunControl()).estimatesSetId;
    ASSERT_GT(setId, 0);
    AtEnd otherDeletes([&] {
        auto other = OpenProject(Path());
        EXPECT_TRUE(DeleteDataSet(*other, "SYS1", nullptr));
    });
    std::atomic<bool> cancel{false};
    const RunControl control(&otherDeletes, &cancel);
    test::RecordingSink sink;
    EXPECT_EQ(ApplyRecalibration(Db(), setId, kRecalibrationMethod, control).outcome,
              RecalibrationResult::Outcome::Failed);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                "The estimates set was deleted by another user or program while it "
                                "was being recalibrated, so nothing was stored."});

    m_dataSetId = test::AddDataSet(Db(), "SYS1", test::ReadDataValues("sys1.txt"));
    sink.Clear();
    EXPECT_EQ(ApplyGO(control).outcome, ApplyModelResult::Outcome::Failed);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{
                                "The data set was deleted by another user or program while the "
                                "model was being applied, so nothing was stored."});
    EXPECT_EQ(Count("EstimatesSets") + Count("PredictionsSets"), 0);
}

TEST_F(SharedFile, AFinishedFitWaitsForAnotherProgramsLockUntilStoredOrCancelled) {
    // The lock outlasts one busy timeout, then is released: the fit is stored after the notice.
    StartOther("", kBusyTimeoutMs / 1000 + 2);
    test::RecordingSink sink;
    const ApplyModelResult stored = ApplyGO(RunControl());
    EXPECT_EQ(stored.outcome, ApplyModelResult::Outcome::Stored);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Kept()});
    EXPECT_EQ(Count("EstimatesSets"), 1);
    StopOther();

    // A lock that stays: the user cancels after the notice and the lock is named.
    const int rangeId = CustomRange(Db(), m_dataSetId, 30, std::nullopt).value();
    StartOther("", 600);
    std::atomic<bool> cancel{false};
    AtEnd cancelWhileWaiting([&] { cancel = true; });
    sink.Clear();
    EXPECT_EQ(ApplyModel(Db(), m_dataSetId, kGoelOkumoto, rangeId, kMaximumLikelihood,
                         RunControl(&cancelWhileWaiting, &cancel), 1)
                  .outcome,
              ApplyModelResult::Outcome::Cancelled);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{Kept(), InUseText(test::OnTestServer())}));
    StopOther();
    EXPECT_EQ(Count("EstimatesSets"), 1);
}

TEST_F(SharedFile, ReadersReadWhileAnotherProgramWritesAndNameALockThatOutlastsTheirWait) {
    // A writer whose transaction has outgrown its page cache: with a rollback journal it
    // would lock every reader out of a file until it commits.
    StartOther(std::string(test::OnTestServer() ? "" : "PRAGMA cache_size = 2; ") +
                   "BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i "
                   "< 20000) "
                   "INSERT INTO DataSets (DataName) SELECT 'other' || i FROM n;",
               600);
    test::RecordingSink sink;
    auto reader = OpenProject(Path());
    ASSERT_TRUE(reader);
    EXPECT_EQ(FindDataSetId(*reader, "SYS1"), m_dataSetId);
    EXPECT_EQ(sink.Count(), 0u);
    StopOther();

    // A program that keeps the file to itself (the one lock a reader must wait for; a server
    // has none).
    if (test::OnTestServer()) return;
    reader.reset();
    m_db.reset();
    StartOther("PRAGMA journal_mode = DELETE; PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;",
               600);
    EXPECT_EQ(OpenProject(Path()), nullptr);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{kFileInUse});
}

TEST_F(SharedFile, AReadOnlyFileIsRefusedBeforeAnyFit) {
    const int setId = ApplyGO(RunControl()).estimatesSetId;
    ASSERT_GT(setId, 0);
    // As the engine opens a write-protected file (file permissions would not stop root), or a
    // read-only session on a server.
    m_db = std::make_unique<Database>(Path(), Database::OpenMode::ReadOnlyFile);

    test::CancellingProgress progress;
    test::RecordingSink sink;
    EXPECT_EQ(ApplyModel(Db(), m_dataSetId, kMusaOkumoto, kDefaultRange, kMaximumLikelihood,
                         progress.Control(), 1)
                  .outcome,
              ApplyModelResult::Outcome::Failed);
    EXPECT_EQ(ApplyRecalibration(Db(), setId, kRecalibrationMethod, progress.Control()).outcome,
              RecalibrationResult::Outcome::Failed);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>(2, ReadOnlyText(test::OnTestServer())));
    EXPECT_EQ(progress.Starts(), 0) << "nothing was fitted";
}

}  // namespace
}  // namespace tamsel
