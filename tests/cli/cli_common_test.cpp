#include "cli_common.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "test_support.h"

namespace tamsel::cli {
namespace {

RowSet SampleRows() {
    return RowSet{{"ID", "Name", "Time"},
                  {{std::int64_t{1}, std::string("SYS1"), 0.1},
                   {std::int64_t{12}, std::string("a, \"b\"\r\nc"), 88682.0},
                   {std::int64_t{3}, DbValue{}, DbValue{}}}};
}

TEST(PrintTable, EachFormatOfTheSameRows) {
    const RowSet sample = SampleRows();
    const RowSet empty{{"A", "B"}, {}};
    const RowSet wide{{"Name", "N"},
                      {{std::string("Zuverl\xC3\xA4ssig"), std::int64_t{1}},
                       {std::string("ab"), std::int64_t{22}}}};
    const RowSet controls{
        {"Text", "Value"},
        {{std::string("tab\tback\\slash\x01"), std::numeric_limits<double>::infinity()}}};
    struct Case {
        const RowSet& rows;
        TableFormat format;
        std::string expected;
    };
    const Case cases[] = {
        // Text aligns columns under their headings, counting characters, not bytes.
        {sample, TableFormat::Text,
         "ID  Name       Time\n"
         " 1  SYS1        0.1\n"
         "12  a, \"b\" c  88682\n"
         " 3\n"},
        {wide, TableFormat::Text,
         "Name          N\n"
         "Zuverl\xC3\xA4ssig   1\n"
         "ab           22\n"},
        {sample, TableFormat::Json,
         "[\n"
         "  {\"ID\": 1, \"Name\": \"SYS1\", \"Time\": 0.1},\n"
         "  {\"ID\": 12, \"Name\": \"a, \\\"b\\\"\\r\\nc\", \"Time\": 88682},\n"
         "  {\"ID\": 3, \"Name\": null, \"Time\": null}\n"
         "]\n"},
        {controls, TableFormat::Json,
         "[\n  {\"Text\": \"tab\\tback\\\\slash\\u0001\", \"Value\": null}\n]\n"},
        {empty, TableFormat::Text, "A  B\n"},
        {empty, TableFormat::Csv, "A,B\n"},
        {empty, TableFormat::Json, "[]\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        PrintTable(out, c.rows, c.format);
        EXPECT_EQ(out.str(), c.expected);
    }
}

TEST(CliMessageSink, QuestionsFollowThePolicy) {
    const auto yesNo = MessageButtons::YesNo;
    const auto okCancel = MessageButtons::OkCancel;
    const std::string ask = "[y/N] ";
    struct Case {
        AnswerPolicy policy;
        bool terminal;
        std::string input;
        MessageButtons buttons;
        MessageAnswer expected;
        std::string trailer;
    };
    for (const Case& c : std::vector<Case>{
             {AnswerPolicy::Yes, false, "", yesNo, MessageAnswer::Yes, "> yes (--yes)\n"},
             {AnswerPolicy::No, true, "y\n", yesNo, MessageAnswer::No, "> no (--no)\n"},
             {AnswerPolicy::Ask, false, "y\n", yesNo, MessageAnswer::No,
              "> no (no terminal to ask: use --yes or --no)\n"},
             {AnswerPolicy::Ask, true, "y\n", yesNo, MessageAnswer::Yes, ask},
             {AnswerPolicy::Ask, true, " YES \n", yesNo, MessageAnswer::Yes, ask},
             {AnswerPolicy::Ask, true, "yeah\n", yesNo, MessageAnswer::No, ask},
             {AnswerPolicy::Ask, true, "\n", yesNo, MessageAnswer::No, ask},
             {AnswerPolicy::Ask, true, "", yesNo, MessageAnswer::No, ask},
             {AnswerPolicy::Yes, false, "", okCancel, MessageAnswer::Ok, "> ok (--yes)\n"},
             {AnswerPolicy::No, false, "", okCancel, MessageAnswer::Cancel, "> cancel (--no)\n"},
             {AnswerPolicy::Ask, false, "", okCancel, MessageAnswer::Cancel,
              "> cancel (no terminal to ask: use --yes or --no)\n"},
             {AnswerPolicy::Ask, true, "ok\n", okCancel, MessageAnswer::Ok, "[o/C] "}}) {
        SCOPED_TRACE(c.input);
        std::ostringstream err;
        std::istringstream in(c.input);
        CliMessageSink sink(err, in, c.terminal);
        sink.SetPolicy(c.policy);
        EXPECT_EQ(sink.Show("Read them?\r\nSure?", c.buttons, MessageIcon::Question), c.expected);
        EXPECT_EQ(err.str(), "Read them?\nSure?\n" + c.trailer);
    }
}

TEST(TerminalProgress, SilentWithoutTerminalAndClampedOutsideTheRange) {
    for (bool terminal : {false, true}) {
        std::ostringstream out;
        TerminalProgress progress(out, terminal, 4);
        progress.OnStart(5, 5);
        progress.OnStep(99);
        progress.OnEnd();
        EXPECT_EQ(out.str(), terminal ? "\r[====] 5/5\n" : "");
    }
}

}  // namespace
}  // namespace tamsel::cli
