// The project file changing under an open project: another program deletes, moves or replaces
// it, or its folder does not let the engine keep a journal there.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "store_fixture.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

// A project holding SYS1, opened as the front ends open it.
std::unique_ptr<Database> OpenSys1(test::FreshDatabase& fresh) {
    test::AddDataSet(fresh.Db(), "SYS1", test::ReadDataValues("sys1.txt"));
    fresh.Close();
    return OpenProject(fresh.Path());
}

bool ApplyGOFails(Database& db, test::CancellingProgress& progress) {
    return ApplyModel(db, 1, 4, 1, 1, progress.Control(), 1).outcome ==
           ApplyModelResult::Outcome::Failed;
}

TEST(ProjectFileChange, NothingIsStoredInAFileThePathNoLongerLeadsTo) {
    for (const std::string change : {"deleted", "moved", "replaced"}) {
        SCOPED_TRACE(change);
        test::FreshDatabase fresh;
        std::unique_ptr<Database> db = OpenSys1(fresh);
        const std::string path = fresh.Path();
        test::RecordingSink sink;
        if (change == "replaced") {
            ASSERT_TRUE(CreateProject(path));  // as `tamsel-cli new --force` does
        } else if (change == "moved") {
            std::filesystem::rename(path, path + ".moved");
        } else {
            std::filesystem::remove(path);
        }
        EXPECT_THROW(Transaction unit(*db), DatabaseError);
        test::CancellingProgress progress;
        EXPECT_TRUE(ApplyGOFails(*db, progress));
        EXPECT_EQ(progress.Starts(), 0) << "refused before fitting";
        EXPECT_FALSE(RemoveDataSet(*db, "SYS1"));  // the store's own check
        const std::string told = "The project file \"" + path + "\" was " +
                                 (change == "replaced" ? change : "deleted or moved") + " by ";
        ASSERT_EQ(sink.Count(), 2u);
        for (const std::string& text : sink.Texts()) EXPECT_EQ(text.rfind(told, 0), 0u) << text;
        db.reset();
        if (change == "moved") {
            Database moved(path + ".moved", Database::OpenMode::ExistingFile);
            EXPECT_EQ(test::CountRows(moved, "FailureTimes"), 136);
        }
    }
}

// What work returns, run in a child process as an ordinary user: root may write into any
// folder, so a child of root gives root up.
std::string RunAsOrdinaryUser(const std::function<std::string()>& work) {
    int ends[2];
    if (pipe(ends) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
        const std::string seen = work();
        _exit(write(ends[1], seen.data(), seen.size()) < 0 ? 3 : 0);
    }
    close(ends[1]);
    std::string seen;
    char buffer[512];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return seen;
}

TEST(ProjectFileChange, AWritableFileInAFolderThatIsNotIsRefusedBeforeAnyFit) {
    // A file that keeps a write-ahead log cannot even be read there; one with a rollback
    // journal can, and is refused when a fit would start.
    for (const std::string mode : {"wal", "delete"}) {
        SCOPED_TRACE(mode);
        test::FreshDatabase fresh;
        OpenSys1(fresh)->Execute("PRAGMA journal_mode = " + mode + ";");
        namespace fs = std::filesystem;
        fs::permissions(fresh.Path(), fs::perms::all);
        fs::permissions(fresh.Dir().Path(), fs::perms::owner_write, fs::perm_options::remove);
        const std::string seen = RunAsOrdinaryUser([&] {
            test::RecordingSink sink;
            std::unique_ptr<Database> db = OpenProject(fresh.Path());
            test::CancellingProgress progress;
            const bool refused = db && ApplyGOFails(*db, progress) && progress.Starts() == 0;
            return (db ? refused ? "refused at the fit: " : "fitted: " : "refused at open: ") +
                   (sink.Count() == 1 ? sink.Texts()[0] : std::to_string(sink.Count()));
        });
        fs::permissions(fresh.Dir().Path(), fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(seen, (mode == "wal" ? "refused at open: " : "refused at the fit: ") +
                            FolderReadOnlyText(fresh.Path()));
    }
}

}  // namespace
}  // namespace tamsel
