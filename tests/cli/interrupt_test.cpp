// Ctrl-C (SIGINT) during import and delete: the command stops, exits 1 with its cancel
// message, and the project keeps nothing of what was under way.

#include <charconv>
#include <fstream>

#include "cli_run.h"

namespace tamsel {
namespace {

class InterruptedCommand : public test::CliProject {
  protected:
    // A million interfailure times: reading and storing them takes about a second.
    std::string MillionValues() {
        const std::string path = m_dir.File("million.txt");
        std::ofstream out(path);
        char text[32];
        for (int i = 0; i < 1'000'000; ++i) {
            const double value = 1.0 + (i % 997) / 8.0;
            char* end = std::to_chars(text, text + sizeof text - 1, value).ptr;
            *end++ = '\n';
            out.write(text, end - text);
        }
        return path;
    }
};

TEST_F(InterruptedCommand, StopsImportWithNothingStored) {
    test::ExpectRun(test::InterruptCli(m_dir, {"import", m_db, "Big", MillionValues()}), 1, "",
                    "The import was cancelled by user action\n");
    EXPECT_EQ(Count("DataSets"), 0);
    EXPECT_EQ(Count("FailureTimes"), 0);
}

TEST_F(InterruptedCommand, StopsDeleteWithNothingChanged) {
    if (test::OnTestServer()) {
        GTEST_SKIP()
            << "a server deletes the dataset by itself, often before it can be interrupted";
    }
    ASSERT_EQ(Run({"import", m_db, "Big", MillionValues()}).exitCode, 0);
    test::ExpectRun(test::InterruptCli(m_dir, {"delete", m_db, "Big"}), 1, "",
                    "The deletion was cancelled by user action\n");
    EXPECT_EQ(Count("FailureTimes"), 1'000'000);
}

}  // namespace
}  // namespace tamsel
