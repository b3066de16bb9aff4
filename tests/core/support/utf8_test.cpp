#include "tamsel/support/utf8.h"

#include <gtest/gtest.h>

namespace tamsel {
namespace {

// The forms RFC 3629 rules out, each where it starts, and the text kept with U+FFFD for each
// of its stray bytes.
TEST(Utf8, StrayBytesAreFoundAndReplaced) {
    struct Case {
        const char* what;
        std::string text;
        std::optional<std::size_t> stray;
        std::string kept;
    };
    const std::string r = "\uFFFD";
    for (const Case& c : std::vector<Case>{
             {"empty", "", std::nullopt, ""},
             {"one to four bytes a character", "a\u00B5\u20AC\U0001F600", std::nullopt,
              "a\u00B5\u20AC\U0001F600"},
             {"Latin-1",
              "Ma\xDF"
              "e",
              2, "Ma" + r + "e"},
             {"a continuation byte alone", "x\x80y", 1, "x" + r + "y"},
             {"overlong", "\xC0\x80", 0, r + r},
             {"a surrogate", "\xED\xA0\x80", 0, r + r + r},
             {"beyond U+10FFFF", "\xF4\x90\x80\x80", 0, r + r + r + r},
             {"cut off at the end", "ab\xE2\x82", 2, "ab" + r + r},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FirstNonUtf8Byte(c.text), c.stray);
        EXPECT_EQ(AsUtf8(c.text), c.kept);
    }
}

}  // namespace
}  // namespace tamsel
