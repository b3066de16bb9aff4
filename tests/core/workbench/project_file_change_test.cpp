// The project file changing under an open project: another program deletes, moves or replaces
// it, or its folder does not let the engine keep a journal there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "store_fixture.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

constexpr int kGoelOkumoto = 4;
constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;

// Runs change at the first step of a fit, as another program might while this one fits.
class ChangingProgress : public ProgressSink {
  public:
    explicit ChangingProgress(std::function<void()> change) : m_change(std::move(change)) {}
    void OnStart(int, int) override { ++m_starts; }
    void OnStep(int) override { std::call_once(m_once, m_change); }
    void OnEnd() override {}
    int Starts() const { return m_starts; }

  private:
    std::function<void()> m_change;
    std::once_flag m_once;
    std::atomic<int> m_starts{0};
};

ApplyModelResult ApplyGO(Database& db, ProgressSink* progress) {
    return ApplyModel(db, 1, kGoelOkumoto, kDefaultRange, kMaximumLikelihood,
                      RunControl(progress, nullptr), 1);
}

TEST(ProjectFileChange, NothingIsStoredInAFileThePathNoLongerLeadsTo) {
    enum class Change { Deleted, Moved, Replaced };
    for (const Change change : {Change::Deleted, Change::Moved, Change::Replaced}) {
        for (const bool duringFit : {false, true}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(change)) + (duringFit ? " during" : ""));
            test::FreshDatabase fresh;
            test::AddDataSet(fresh.Db(), "SYS1", test::ReadDataValues("sys1.txt"));
            fresh.Close();
            const std::string path = fresh.Path();
            std::unique_ptr<Database> db = OpenProject(path);
            ASSERT_TRUE(db);

            const auto makeChange = [&] {
                switch (change) {
                    case Change::Deleted:
                        std::filesystem::remove(path);
                        break;
                    case Change::Moved:
                        std::filesystem::rename(path, path + ".moved");
                        break;
                    case Change::Replaced:
                        // As `tamsel-cli new --force` replaces it.
                        ASSERT_TRUE(CreateProject(path));
                        break;
                }
            };
            const std::string expected =
                "The project file \"" + path +
                (change == Change::Replaced
                     ? "\" was replaced by another program after it was opened, so nothing more "
                       "is stored in the file that was opened. Open the file again to work on the "
                       "one there now."
                     : "\" was deleted or moved by another program after it was opened, so "
                       "nothing more is stored in it. Open the file again where it is now, or "
                       "restore it from a backup.");

            test::RecordingSink sink;
            ChangingProgress progress(duringFit ? std::function<void()>(makeChange) : [] {});
            if (!duringFit) makeChange();
            const ApplyModelResult result = ApplyGO(*db, &progress);
            EXPECT_EQ(result.outcome, ApplyModelResult::Outcome::Failed);
            EXPECT_EQ(progress.Starts(), duringFit ? 1 : 0) << "refused before fitting";
            // A write that has no check of its own is refused by the store.
            EXPECT_FALSE(RemoveDataSet(*db, "SYS1"));
            EXPECT_EQ(sink.Texts(), std::vector<std::string>(2, expected));
            db.reset();
            if (change == Change::Moved) {
                Database moved(path + ".moved", Database::OpenMode::ExistingFile);
                EXPECT_EQ(test::CountRows(moved, "EstimatesSets"), 0);
                EXPECT_EQ(test::CountRows(moved, "DataSets"), 1);
            }
        }
    }
}

// Runs work in a child process as an ordinary user (root may write into any folder, so a
// child of root gives root up) and returns what work wrote.
std::string RunAsOrdinaryUser(const std::function<std::string()>& work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
        const std::string seen = work();
        (void)!write(pipeEnds[1], seen.data(), seen.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string seen;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return seen;
}

TEST(ProjectFileChange, AWritableFileInAFolderThatIsNotIsRefusedBeforeAnyFit) {
    // A file that keeps a write-ahead log cannot be read there; one with a rollback journal
    // can, and is refused when a fit would start.
    for (const std::string mode : {"wal", "delete"}) {
        SCOPED_TRACE(mode);
        test::FreshDatabase fresh;
        test::AddDataSet(fresh.Db(), "SYS1", test::ReadDataValues("sys1.txt"));
        fresh.Close();
        const std::string path = fresh.Path();
        OpenProject(path)->Execute("PRAGMA journal_mode = " + mode + ";");
        std::filesystem::permissions(path, std::filesystem::perms::all);
        std::filesystem::permissions(fresh.Dir().Path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);

        const std::string seen = RunAsOrdinaryUser([&] {
            test::RecordingSink sink;
            std::unique_ptr<Database> db = OpenProject(path);
            test::CancellingProgress progress;
            const bool fitted =
                db && ApplyGO(*db, &progress).outcome != ApplyModelResult::Outcome::Failed;
            return std::string(db ? "opened" : "refused") + (fitted ? " stored" : "") +
                   (progress.Starts() > 0 ? " fitted" : "") + ": " +
                   (sink.Count() == 1 ? sink.Texts()[0] : std::to_string(sink.Count()));
        });
        std::filesystem::permissions(fresh.Dir().Path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        EXPECT_EQ(seen, (mode == "wal" ? "refused: " : "opened: ") + FolderReadOnlyText(path));
    }
}

}  // namespace
}  // namespace tamsel
