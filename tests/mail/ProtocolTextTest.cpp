#include <gtest/gtest.h>

#include "mail/ProtocolText.h"

// Headers arrive with CR LF, a server may send bare LF, and a lone CR is a
// line break of its own; no empty line is made up at the end.
TEST(ProtocolText, SplitLinesAtEveryKindOfBreak) {
    struct {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"abc", {"abc"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"\r\r\n\n", {"", "", ""}},
        {"Subject: x\r\n\tfolded\r\n\r\n", {"Subject: x", "\tfolded", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}
