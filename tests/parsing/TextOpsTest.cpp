#include "parsing/TextOps.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TextOps, BeforeAndAfterTrimBlanksAndControlCharacters) {
    EXPECT_EQ(TextBefore("  Subject\t: Hello \r", ":"), "Subject");
    EXPECT_EQ(TextAfter("  Subject\t: Hello \r", ":"), "Hello");
    EXPECT_EQ(TextAfter("Date: 10:00:00", ":"), "10:00:00");  // first occurrence only
    EXPECT_EQ(TextBefore(" no delimiter ", ":"), "no delimiter");
    EXPECT_EQ(TextAfter(" no delimiter ", ":"), "no delimiter");
    EXPECT_EQ(TextAfter("a::b", "::"), "b");
}

TEST(TextOps, TakeItemSplitsAListAndEmptiesTheRest) {
    std::string list = " a@x , b@y ,, c@z";
    std::vector<std::string> items;
    while (!list.empty()) items.push_back(TakeItem(list, ","));
    EXPECT_EQ(items, (std::vector<std::string>{"a@x", "b@y", "", "c@z"}));

    std::string single = "  only ";
    EXPECT_EQ(TakeItem(single, ","), "only");
    EXPECT_EQ(single, "");

    std::string anything = "abc";
    EXPECT_EQ(TakeItem(anything, ""), "abc");  // an empty delimiter never loops
    EXPECT_EQ(anything, "");
}

TEST(TextOps, LastPosOfIsOneBased) {
    EXPECT_EQ(LastPosOf("ab", "xabyab"), 5u);
    EXPECT_EQ(LastPosOf("ab", "ab"), 1u);
    EXPECT_EQ(LastPosOf("q", "ab"), 0u);
    EXPECT_EQ(LastPosOf("", "ab"), 0u);
}

TEST(TextOps, ReplaceAllDoesNotRescanReplacedText) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("a-b-c", "-", ""), "abc");
    EXPECT_EQ(ReplaceAll("Abc abc", "abc", "x"), "Abc x");  // case-sensitive
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(TextOps, AddressAndDisplayName) {
    struct Case {
        const char* from;
        const char* address;
        const char* display;
    };
    const Case cases[] = {
        {"\"Smith, John\" <john@example.com>", "john@example.com", "Smith, John"},
        {"John Smith < john@example.com >", "john@example.com", "John Smith"},
        {" john@example.com (John Smith) ", "john@example.com (John Smith)", "John Smith"},
        {"john@example.com", "john@example.com", ""},
        {"Broken <john@example.com", "john@example.com", "Broken"},
        {"\"Unclosed <a@b>", "a@b", "Unclosed <a@b>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AddressOf(c.from), c.address) << c.from;
        EXPECT_EQ(DisplayNameOf(c.from), c.display) << c.from;
    }
}
