// tamsel-cli plot: each kind drawn headless into the image format its file name asks for.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;

// The width and height stored in a PNG file's header chunk.
std::pair<int, int> PngSize(const std::string& bytes) {
    auto word = [&](size_t at) {
        int value = 0;
        for (size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {word(16), word(20)};
}

class PlotCommand : public test::CliProject {
  protected:
    void SetUp() override {
        CliProject::SetUp();
        if (!HasFatalFailure()) ImportSys1({{"apply", "x.db", "SYS1", "JM", "Du"}});
    }

    std::string Read(const std::string& name) { return test::ReadBytes(m_dir.File(name)); }
};

TEST_F(PlotCommand, EachKindWritesAnImageOfTheAskedSize) {
    for (const char* kind : {"failures", "cumulative", "quartiles", "medians", "yplot", "uplot",
                             "plr", "laplace", "average"}) {
        SCOPED_TRACE(kind);
        const std::string out = std::string(kind) + ".png";
        CliRun run = Run(
            {"plot", "x.db", "SYS1", kind, "--reference", "2", "--out", out, "--size", "640x400"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::string png = Read(out);
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(PngSize(png), std::make_pair(640, 400));
    }
}

TEST_F(PlotCommand, SuffixChoosesTheFormat) {
    ASSERT_EQ(Run({"plot", "x.db", "SYS1", "uplot", "--set", "1", "--set", "2", "--out", "u.svg"})
                  .exitCode,
              0);
    const std::string svg = Read("u.svg");
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("U-plots for dataset SYS1"), std::string::npos);
    EXPECT_NE(svg.find("Du ks="), std::string::npos);
    ASSERT_EQ(Run({"plot", "x.db", "SYS1", "laplace", "--out", "l.svg"}).exitCode, 0);
    EXPECT_NE(Read("l.svg").find("Laplace trend test for dataset SYS1"), std::string::npos);
    ASSERT_EQ(Run({"plot", "x.db", "SYS1", "failures", "--out", "f.pdf"}).exitCode, 0);
    EXPECT_EQ(Read("f.pdf").substr(0, 5), "%PDF-");
    ASSERT_EQ(Run({"plot", "x.db", "SYS1", "failures", "--out", "f.jpg"}).exitCode, 0);
    EXPECT_EQ(Read("f.jpg").substr(0, 3), "\xFF\xD8\xFF");
}

TEST_F(PlotCommand, RefusedRequests) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"plr", "--out", "p.png"}, 2, "A log(PLR) plot needs --reference.\n"},
        {{"uplot", "--out", "u.gif"},
         2,
         "The image file name must end in .png, .jpg, .svg or .pdf.\n"},
        {{"uplot", "--out", "u.png", "--size", "20x10"},
         2,
         "The size must be WIDTHxHEIGHT in pixels, from 200x150 to 10000x10000.\n"},
        {{"uplot", "--set", "q3", "--out", "u.png"},
         2,
         "\"q3\" is not a set: give an estimates set key, or p and a predictions set key.\n"},
        {{"uplot", "--set", "9", "--out", "u.png"},
         1,
         "Dataset SYS1 has no estimates set with the key 9.\n"},
        // What the desktop program does not offer is refused, not drawn as something else.
        {{"quartiles", "--set", "p1", "--out", "u.png"},
         1,
         "The quartiles plot shows a raw estimates set; p1 is a recalibrated set.\n"},
        {{"uplot", "--set", "1", "--start", "100000", "--out", "u.png"},
         1,
         "The plot start must be from failure 20 to failure 135, not failure 100000.\n"},
        {{"yplot", "--set", "1", "--start", "3", "--out", "u.png"},
         1,
         "The plot start must be from failure 20 to failure 135, not failure 3.\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"plot", "x.db", "SYS1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("u.png")));
    }
}

}  // namespace
}  // namespace tamsel
