// --version of both programs: the build's version, printed without a display.
#include <gtest/gtest.h>

#include <regex>

#include "cli_run.h"
#include "tamsel/version.h"

namespace tamsel {
namespace {

TEST(Version, BothProgramsPrintTheBuildVersionWithoutADisplay) {
    // The version is the project's, with what git says of the checkout where there is one.
    EXPECT_TRUE(std::regex_match(TAMSEL_VERSION, std::regex(R"(\d+\.\d+\.\d+( \(git \S+\))?)")))
        << TAMSEL_VERSION;
    const std::vector<std::string> noDisplay{"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=xcb"};
    for (const std::string program : {TAMSEL_CLI_PATH, TAMSEL_GUI_PATH}) {
        test::TempDir dir;
        const pid_t pid = test::StartProgram(program, {"--version"}, dir.Path().string(),
                                             dir.File("out"), dir.File("err"), noDisplay);
        EXPECT_EQ(test::WaitForProgram(pid), 0) << program;
        EXPECT_EQ(test::ReadBytes(dir.File("out")), std::string("Tamsel ") + TAMSEL_VERSION + "\n")
            << program;
    }
}

}  // namespace
}  // namespace tamsel
