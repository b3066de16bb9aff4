// tamsel-cli report: the evidence report holds the numbers the other commands print, stands
// alone, renders in a real browser, opens as a PDF of numbered pages, and stays complete when
// parts of the analysis are missing.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

#include "cli_run.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;

// The sections every report has, in order.
const std::vector<std::string> kSections = {"summary",  "data",      "trend",     "league",
                                            "plots",    "quartiles", "forecasts", "outcomes",
                                            "settings", "provenance"};

// v as a report of 4 significant digits writes it (every integer digit from 10^4 on).
double Rounded(double v) {
    if (std::fabs(v) >= 1e4) return std::round(v);
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return std::strtod(text, nullptr);
}

std::optional<double> Number(const std::string& field) {
    char* end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    if (field.empty() || end != field.c_str() + field.size()) return std::nullopt;
    return value;
}

// The numbers of the CSV rows (after the heading line), from row firstRow on.
std::vector<double> CsvNumbers(const std::string& csv, std::size_t firstRow = 0) {
    std::vector<double> numbers;
    const std::vector<std::string> lines = test::Lines(csv);
    for (std::size_t r = 1 + firstRow; r < lines.size(); ++r) {
        for (const std::string& field : test::Fields(lines[r])) {
            if (const std::optional<double> value = Number(field)) numbers.push_back(*value);
        }
    }
    return numbers;
}

// The numbers in the table cells of html.
std::set<double> CellNumbers(const std::string& html) {
    std::set<double> numbers;
    const std::regex cell("<td[^>]*>([^<]*)</td>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), cell);
         it != std::sregex_iterator(); ++it) {
        if (const std::optional<double> value = Number((*it)[1].str())) numbers.insert(*value);
    }
    return numbers;
}

// The field of column in the first CSV row whose field kindColumn is kind.
std::string FirstOfKind(const std::string& csv, std::size_t kindColumn, const std::string& kind,
                        std::size_t column) {
    for (const std::string& line : test::Lines(csv)) {
        const std::vector<std::string> fields = test::Fields(line);
        if (fields.size() > kindColumn && fields[kindColumn] == kind) return fields[column];
    }
    return {};
}

// Starts an outside program in dir and waits for it; its output in out.txt and err.txt.
int RunOutside(const test::TempDir& dir, const std::string& program,
               std::vector<std::string> args) {
    return test::WaitForProgram(test::StartProgram(program, std::move(args), dir.Path().string(),
                                                   dir.File("out.txt"), dir.File("err.txt"),
                                                   {"HOME=" + dir.Path().string()}));
}

class ReportCommand : public test::CliProject {
  protected:
    void SetUp() override {
        CliProject::SetUp();
        if (!HasFatalFailure()) {
            ImportSys1({{"apply", "x.db", "SYS1", "all"}, {"recalibrate", "x.db", "1"}});
        }
    }

    std::string Report(const std::string& out) {
        CliRun run = Run(
            {"report", "x.db", "SYS1", "--mission", "1000", "--target-mttf", "5000", "--out", out});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return test::ReadBytes(m_dir.File(out));
    }
};

TEST_F(ReportCommand, HoldsTheNumbersThatEvaluateTrendAndForecastPrint) {
    const std::set<double> cells = CellNumbers(Report("r.html"));
    const std::string evaluation = Run({"evaluate", "x.db", "SYS1", "--format", "csv"}).out;
    const std::string trend = Run({"trend", "x.db", "SYS1", "--format", "csv"}).out;
    std::vector<std::pair<std::string, std::vector<double>>> printed = {
        {"evaluate", CsvNumbers(evaluation)},
        {"trend", CsvNumbers(trend, test::Lines(trend).size() - 2)}};
    // The forecasts of the best raw and the best recalibrated set (Kind is column 3).
    for (const char* kind : {"raw", "recalibrated"}) {
        const std::string set = FirstOfKind(evaluation, 3, kind, 1);
        ASSERT_FALSE(set.empty()) << kind;
        printed.push_back(
            {"forecast " + set, CsvNumbers(Run({"forecast", "x.db", set, "--mission", "1000",
                                                "--target-mttf", "5000", "--format", "csv"})
                                               .out)});
    }
    for (const auto& [command, numbers] : printed) {
        SCOPED_TRACE(command);
        EXPECT_GE(numbers.size(), 2u);
        for (double value : numbers) {
            EXPECT_TRUE(cells.contains(Rounded(value))) << value << " as " << Rounded(value);
        }
    }
}

TEST_F(ReportCommand, HtmlStandsAloneAndABrowserRendersItToTheEnd) {
    const std::string html = Report("r.html");
    for (const char* outside : {"<link", "<script", "<iframe", "<img", "@import"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }
    const std::regex reference(R"((?:href|src)\s*=\s*"([^"]*)\"|url\(([^)]*)\))");
    int references = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
         it != std::sregex_iterator(); ++it, ++references) {
        const std::string target = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
        EXPECT_EQ(target.substr(0, 1), "#") << target;
    }
    EXPECT_GT(references, 0);  // the charts' own gradients, referenced inside the file

    // The end mark follows the provenance: every band of the page down to it shows something.
    const std::string shot = m_dir.File("shot.png");
    ASSERT_EQ(RunOutside(m_dir, "chromium",
                         {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                          "--screenshot=" + shot, "--window-size=1240,20000",
                          "file://" + m_dir.File("r.html")}),
              0)
        << "chromium is needed (scripts/install-deps installs it): "
        << test::ReadBytes(m_dir.File("err.txt"));
    const QImage image(QString::fromStdString(shot));
    ASSERT_EQ(image.size(), QSize(1240, 20000));
    const auto count = [&image](int y, auto pixelCounts) {
        int n = 0;
        for (int x = 0; x < image.width(); ++x) n += pixelCounts(image.pixel(x, y)) ? 1 : 0;
        return n;
    };
    int endMark = 0;
    for (int y = 0; y < image.height() && endMark == 0; ++y) {
        if (count(y, [](QRgb p) { return p == qRgb(0, 128, 96); }) > 500) endMark = y;
    }
    ASSERT_GT(endMark, 4000) << "no end mark below the provenance";
    constexpr int kBand = 400;
    for (int top = 0; top < endMark; top += kBand) {
        bool ink = false;
        for (int y = top; y < std::min(top + kBand, endMark) && !ink; ++y) {
            ink = count(y, [](QRgb p) { return qGray(p) < 128; }) > 0;
        }
        EXPECT_TRUE(ink) << "blank from y = " << top;
    }
}

TEST_F(ReportCommand, PdfOpensWithItsNumberedPages) {
    Report("r.pdf");
    ASSERT_EQ(RunOutside(m_dir, "pdfinfo", {"r.pdf"}), 0)
        << "pdfinfo (poppler-utils) is needed: " << test::ReadBytes(m_dir.File("err.txt"));
    std::smatch pages;
    const std::string info = test::ReadBytes(m_dir.File("out.txt"));
    ASSERT_TRUE(std::regex_search(info, pages, std::regex(R"(Pages:\s+(\d+))"))) << info;
    const int n = std::stoi(pages[1]);
    // Each section after the summary begins a page.
    EXPECT_GE(n, static_cast<int>(kSections.size()));
    ASSERT_EQ(RunOutside(m_dir, "pdftotext", {"r.pdf", "r.txt"}), 0);
    const std::string text = test::ReadBytes(m_dir.File("r.txt"));
    const std::string of = " of " + std::to_string(n);
    EXPECT_NE(text.find("page 1" + of), std::string::npos);
    EXPECT_NE(text.find("page " + std::to_string(n) + of), std::string::npos);
    EXPECT_EQ(text.find("page " + std::to_string(n + 1) + " "), std::string::npos);
    EXPECT_NE(text.find("SHA-256 of the failure times"), std::string::npos);
}

TEST_F(ReportCommand, RefusesWhatItCannotWrite) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"--out", "r.txt"}, 2, "The report file name must end in .html or .pdf.\n"},
        {{"--sets", "p99", "--out", "r.html"},
         1,
         "The set p99 is not a set of the dataset SYS1.\n"},
        {{"--mission", "-1", "--out", "r.html"},
         1,
         "The mission time must be a finite number above 0.\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"report", "x.db", "SYS1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("r.html"))) << c.err;
    }
}

// A dataset of 30 failures growing further apart: every fit of JM and GO ends at a limit, and
// the default start lies beyond the data, so no league table can be drawn up.
TEST(ReportWithoutRanking, EverySectionIsThereWithNotes) {
    const struct {
        std::vector<std::string> models;
        std::vector<std::string> notes;
    } cases[] = {
        {{}, {"No model has been applied to this dataset."}},
        {{"JM", "GO"},
         {"The league table could not be computed: The sets of the dataset D predict no "
          "failure in common from failure 35 on.",
          "Jelinski-Moranda (set 1) is not fully converged: 11 fits: 0 converged, 11 at a "
          "limit.",
          "Without a league table no set is the best"}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        std::ofstream(dir.File("d.txt")) << [] {
            std::string values;
            for (int i = 0; i < 30; ++i) values += std::to_string(50 - i) + "\n";
            return values;
        }();
        ASSERT_EQ(test::RunCli(dir, {"new", "x.db"}).exitCode, 0);
        ASSERT_EQ(test::RunCli(dir, {"import", "x.db", "D", "d.txt"}).exitCode, 0);
        if (!c.models.empty()) {
            std::vector<std::string> apply = {"apply", "x.db", "D"};
            apply.insert(apply.end(), c.models.begin(), c.models.end());
            ASSERT_EQ(test::RunCli(dir, apply).exitCode, 0);
        }
        const CliRun run = test::RunCli(dir, {"report", "x.db", "D", "--out", "r.html"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::string html = test::ReadBytes(dir.File("r.html"));
        std::size_t at = 0;
        for (const std::string& id : kSections) {
            at = html.find("<section id=\"" + id + "\">", at);
            EXPECT_NE(at, std::string::npos) << id;
        }
        for (const std::string& note : c.notes) {
            EXPECT_NE(html.find("<b>Note:</b> " + note), std::string::npos) << note;
        }
    }
}

}  // namespace
}  // namespace tamsel
