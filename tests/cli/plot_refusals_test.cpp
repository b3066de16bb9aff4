// tamsel-cli plot refuses what the desktop program does not offer, instead of drawing
// something else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"

namespace tamsel {
namespace {

class PlotRefusals : public test::CliProject {
  protected:
    void SetUp() override {
        CliProject::SetUp();
        if (!HasFatalFailure()) ImportSys1({{"apply", "x.db", "SYS1", "JM"}});
    }
};

TEST_F(PlotRefusals, ARecalibratedSetsQuartilesAndAStartOutOfRangeAreRefused) {
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"plot", "x.db", "SYS1", "quartiles", "--set", "p1", "--out", "q.png"},
         "The quartiles plot shows a raw estimates set; p1 is a recalibrated set.\n"},
        {{"plot", "x.db", "SYS1", "uplot", "--set", "1", "--start", "100000", "--out", "u.png"},
         "The plot start must be from failure 20 to failure 135, not failure 100000.\n"},
        {{"plot", "x.db", "SYS1", "yplot", "--set", "1", "--start", "3", "--out", "y.png"},
         "The plot start must be from failure 20 to failure 135, not failure 3.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[3]);
        test::ExpectRun(Run(c.args), 1, "", c.err);
        EXPECT_FALSE(std::filesystem::exists(m_dir.File(c.args.back())));
    }
}

}  // namespace
}  // namespace tamsel
