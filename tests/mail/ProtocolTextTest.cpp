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
        {"a\nb\nc\r\nd", {"a", "b", "c", "d"}},  // bare LFs before the first CR
        {"a\nb\rc\n\r\n", {"a", "b", "c", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
        // Lines split before leave nothing behind, whether there were fewer or more.
        for (std::vector<std::string> reused : {std::vector<std::string>{"stale"},
                                                std::vector<std::string>(6, "a stale line longer than a short one")}) {
            SplitLinesInto(c.text, reused);
            EXPECT_EQ(reused, c.lines) << c.text;
        }
    }
}

// Server words come in any letter case ("* 3 fetch (uid 7 ...").
TEST(ProtocolText, ComparisonsIgnoreAsciiCaseOnly) {
    struct {
        const char* text;
        const char* word;
        std::size_t found;  // FindNoCase
        bool starts, equals;
    } cases[] = {
        {"* 3 fetch (uid 7 {12}", " FETCH ", 3, false, false},
        {"FETCH ", "fetch ", 0, true, true},
        {"Exists", "EXISTS", 0, true, true},
        {"EXISTSX", "EXISTS", 0, true, false},
        {"EXIST", "EXISTS", std::string_view::npos, false, false},
        {"xuid", "UID ", std::string_view::npos, false, false},
        {"\xC4uid 5", "\xE4UID", std::string_view::npos, false, false},  // no folding beyond ASCII
        {"abc", "", 0, true, false},
        // Past the first sixteen bytes, after near misses, and at the very end.
        {"* 12345 FETCH (Uid 1 uiD 2 RFC822.HEADER {2} u", "UID 2", 21, false, false},
        {"* 12345 FETCH (RFC822.HEADER {20} UID 77", "uid 77", 34, false, false},
        {"* 12345 FETCH (RFC822.HEADER {20} UID 7", "uid 77", std::string_view::npos, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindNoCase(c.text, c.word), c.found) << c.text << " / " << c.word;
        EXPECT_EQ(StartsWithNoCase(c.text, c.word), c.starts) << c.text << " / " << c.word;
        EXPECT_EQ(EqualsNoCase(c.text, c.word), c.equals) << c.text << " / " << c.word;
    }
}
