// The table reading options of import and the inspect command, run as a user would.
#include <gtest/gtest.h>

#include "cli_run.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::CliRun;
using test::Lines;

class DataCommands : public test::CliProject {
  protected:
    std::string File(const std::string& content) {
        return m_dir.WriteFile("log" + std::to_string(++m_files) + ".csv", content);
    }

    int m_files = 0;
};

TEST_F(DataCommands, InspectShowsHowAFileReadsAndStoresNothing) {
    std::string text = "\xEF\xBB\xBFindex,hours\r\n";
    for (int i = 1; i <= 22; ++i)
        text += std::to_string(i) + "," + std::to_string(i % 4 + 1) + "\r\n";
    CliRun run = Run({"inspect", File(text)});
    std::string rows;
    for (int i = 1; i <= 20; ++i)
        rows += "  " + std::to_string(i) + " | " + std::to_string(i % 4 + 1) + "\n";
    test::ExpectRun(run, 0,
                    "Delimiter: comma\nHeader line: yes\nDecimal comma: no\nColumns:\n"
                    "  1 index (numbers)\n  2 hours (numbers)  <- failure times\nFirst rows:\n" +
                        rows +
                        "Note: took line 1 as the header line (--no-header reads it as data)\n"
                        "Note: took column 2 ('hours'), column 1 ('index') is an index\n"
                        "Values: 22\nData type: interfailure times\n",
                    "");
    EXPECT_EQ(Count("DataSets"), 0);

    run = Run({"inspect", File("a;b\n1;2\n3;4\n")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "Delimiter: semicolon\nHeader line: yes\nDecimal comma: no\nColumns:\n"
              "  1 a (numbers)\n  2 b (numbers)\nFirst rows:\n  1 | 2\n  3 | 4\n"
              "Note: took line 1 as the header line (--no-header reads it as data)\n");
    EXPECT_EQ(run.err,
              "An error occurred while reading data from file.\n"
              "Data in unknown format. Please check format or select another file.\n"
              "Line 1: 2 columns could hold the failure times: 1 'a' (numbers), 2 'b' (numbers). "
              "Choose the column of failure times with --column NAME or --column NUMBER.\n");
}

TEST_F(DataCommands, ImportOptionsReachTheReader) {
    struct Case {
        std::string content;
        std::vector<std::string> options;
        std::string lastRow;  // of `failures --format csv`
    };
    std::string twenty;
    for (int i = 1; i <= 20; ++i)
        twenty += std::to_string(i) + " " + std::to_string(i % 3 + 5) + " " +
                  std::to_string(i * 2) + "\n";
    for (const Case& c : std::vector<Case>{
             {twenty, {"--column", "3"}, "20,2,40"},
             {twenty, {"--delimiter", "blanks", "--column", "2"}, "20,7,121"},
         }) {
        std::vector<std::string> args{"import", m_db, "D" + std::to_string(m_files),
                                      File(c.content)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliRun run = Run(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(Lines(Run({"failures", m_db, args[2], "--format", "csv"}).out).back(), c.lastRow);
    }

    // Header forced: its numbers are names, not failures.
    CliRun header = Run({"import", m_db, "H", File("5;6\n1,5;2\n2,5;3\n"), "--header",
                         "--decimal-comma", "--column", "5"});
    EXPECT_EQ(header.exitCode, 0) << header.err;
    EXPECT_EQ(Run({"failures", m_db, "H", "--format", "csv"}).out,
              "FailureIndex,InterfailureTime,CumulativeTime\n1,1.5,1.5\n2,1,2.5\n");
}

TEST_F(DataCommands, DateTimesImportWithTheirTimeBase) {
    std::string log = "id,opened\n";
    for (int day = 1; day <= 20; ++day)
        log += std::to_string(day) + ",2024-03-" + (day < 10 ? "0" : "") + std::to_string(day) +
               " 09:00\n";
    CliRun run = Run({"import", m_db, "Tracker", File(log), "--timestamps", "--origin",
                      "2024-03-01 08:00", "--unit", "days", "--timezone", "Europe/Berlin"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "Note: took line 1 as the header line (--no-header reads it as data)\n"
              "Note: took column 2 ('opened'), the only column of date-times\n"
              "Stored dataset \"Tracker\": 20 failures read as cumulative times.\n");
    std::vector<std::string> rows =
        Lines(Run({"failures", m_db, "Tracker", "--format", "csv"}).out);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[20].substr(0, 3), "20,");
    // Day 20 at 09:00 is 19 days and 1 hour after the origin.
    EXPECT_CLOSE(std::stod(rows[20].substr(rows[20].rfind(',') + 1)), 19 + 1.0 / 24, 1e-12);
    EXPECT_NE(Run({"datasets", m_db, "--format", "csv"})
                  .out.find("Times in days from 2024-03-01T07:00:00.000Z (Europe/Berlin)"),
              std::string::npos);

    CliRun noOrigin = Run({"import", m_db, "T2", File(log), "--timestamps"});
    EXPECT_EQ(noOrigin.exitCode, 1);
    EXPECT_EQ(Lines(noOrigin.err).back(),
              "Date-times are measured from the start of testing: give it with --origin "
              "TIMESTAMP (for example --origin \"2024-03-01 08:00\").");
}

// Equal times that never decrease: inspect and import agree on interfailure times, and say why.
TEST_F(DataCommands, EqualTimesReadAsInterfailureTimesWithANote) {
    const std::string file = File("5\n5\n5\n5\n5\n5\n");
    const std::string note =
        "Note: read the values as interfailure times although they never decrease: as cumulative "
        "times 5 of the 6 would repeat their predecessor, failures at the same moment, where at "
        "most one in ten may\n";
    CliRun inspect = Run({"inspect", file});
    EXPECT_EQ(inspect.exitCode, 0) << inspect.err;
    EXPECT_NE(inspect.out.find(note + "Values: 6\nData type: interfailure times\n"),
              std::string::npos)
        << inspect.out;
    CliRun run = Run({"import", m_db, "Equal", file, "--type", "auto"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, note + "Stored dataset \"Equal\": 6 failures read as interfailure times.\n");
    EXPECT_EQ(Lines(Run({"failures", m_db, "Equal", "--format", "csv"}).out).back(), "6,5,30");
}

}  // namespace
}  // namespace tamsel
