#include "parsing/ConvertError.h"
#include "parsing/TMailHeader.h"
#include "parsing/TMailMessage.h"
#include "parsing/TextOps.h"

#include "CodePageGuard.h"
#include "TimeZoneGuard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Lines = std::vector<std::string>;

namespace {

class MailHeaderTest : public ::testing::Test {
protected:
    TTimeZoneGuard zone_{"XXX-1"};
    TCodePageGuard codePage_{1252};
};

}  // namespace

TEST_F(MailHeaderTest, ParsesTheKnownLinesAndKeepsTheOthers) {
    TMailMessage message;
    message.RawLines = {
        "Return-Path: <bounce@example.com>",
        "From: \"Smith, John\" <john@example.com>",
        "To: \"Smith, John\" <john@example.com>",
        "cc: a@example.com, , =?ISO-8859-1?Q?J=F6rg?= <b@example.com>",
        "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= aus",
        "\tWien",
        "ORGANIZATION: Example Ltd.",
        "Date: Tue, 3 Jun 2003 10:00:00 +0200",
        "X-Tarnwick: Filtered",
        "no colon here",
        "",
        "From: body@example.com",
    };
    message.Parse();
    const TMailHeader& h = message.HeaderInfo;
    EXPECT_EQ(h.FromText, "\"Smith, John\" <john@example.com>");
    EXPECT_EQ(AddressOf(h.FromText), "john@example.com");
    EXPECT_EQ(h.ToItems, (Lines{"\"Smith", "John\" <john@example.com>"}));
    EXPECT_EQ(h.CcItems, (Lines{"a@example.com", "J\xF6rg <b@example.com>"}));
    EXPECT_EQ(h.SubjectText, "Gr\xFC\xDF" "e aus Wien");
    EXPECT_EQ(h.OrganizationText, "Example Ltd.");
    const TDateTimeParts date = DecodeDateTime(h.DateValue);
    EXPECT_EQ((std::vector<int>{date.year, date.month, date.day, date.hour}), (std::vector<int>{2003, 6, 3, 9}));
    EXPECT_EQ(h.OtherLines.List(), (Lines{"Return-Path: <bounce@example.com>", "X-Tarnwick: Filtered", "no colon here"}));

    message.Reset();
    EXPECT_TRUE(message.RawLines.empty());
    EXPECT_TRUE(message.HeaderInfo.FromText.empty());
    EXPECT_TRUE(message.HeaderInfo.FromAddress.empty());
    EXPECT_TRUE(message.HeaderInfo.OtherLines.empty());
    EXPECT_EQ(message.HeaderInfo.DateValue, 0);
    // Nothing of one header may pass to the next.
    EXPECT_TRUE(message.HeaderInfo.SubjectText.empty());
    EXPECT_TRUE(message.HeaderInfo.OrganizationText.empty());
    EXPECT_TRUE(message.HeaderInfo.ToItems.empty());
    EXPECT_TRUE(message.HeaderInfo.CcItems.empty());
    EXPECT_EQ(message.HeaderInfo.CustomValue("X-Tarnwick"), "");
}

// A spammer may write a friend's address into an encoded display name: the
// decoded text would then name the friend as the sender.
TEST_F(MailHeaderTest, SenderAddressIsTakenBeforeDecoding) {
    struct {
        Lines from;
        const char* address;
        const char* text;
    } cases[] = {
        {{"From: =?us-ascii?Q?=3Cboss=40friend.example=3E?= <bulk@spam.example>"}, "bulk@spam.example",
         "<boss@friend.example> <bulk@spam.example>"},
        {{"From: =?us-ascii?Q?boss=40friend.example?="}, "=?us-ascii?Q?boss=40friend.example?=", "boss@friend.example"},
        {{"From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <joerg@example.com>"}, "joerg@example.com",
         "J\xF6rg M\xFCller <joerg@example.com>"},
        {{"From:  sender@example.com "}, "sender@example.com", "sender@example.com"},
        {{"From: sender@example.com (Sender)"}, "sender@example.com (Sender)", "sender@example.com (Sender)"},
        {{"FROM: =?us-ascii?Q?=3Cboss=40friend.example=3E?=", "\t<bulk@spam.example>"}, "bulk@spam.example",
         "<boss@friend.example> <bulk@spam.example>"},
        // A quoted name or a comment is text the sender chose, too.
        {{"From: \"<boss@friend.example>\" <bulk@spam.example>"}, "bulk@spam.example",
         "\"<boss@friend.example>\" <bulk@spam.example>"},
        {{"From: \"a \\\" <boss@friend.example>\" <bulk@spam.example>"}, "bulk@spam.example",
         "\"a \\\" <boss@friend.example>\" <bulk@spam.example>"},
        {{"From: (see <boss@friend.example>) <bulk@spam.example>"}, "bulk@spam.example",
         "(see <boss@friend.example>) <bulk@spam.example>"},
        {{"From: \"<boss@friend.example>\""}, "\"<boss@friend.example>\"", "\"<boss@friend.example>\""},
    };
    for (const auto& c : cases) {
        TMailHeader h;
        Lines lines = c.from;
        lines.insert(lines.end(), {"Subject: s", ""});
        h.ParseLines(lines);
        EXPECT_EQ(h.FromAddress, c.address) << c.from[0];
        EXPECT_EQ(h.FromText, c.text) << c.from[0];
    }
    TMailHeader none;
    none.ParseLines({"Subject: no sender", ""});
    EXPECT_EQ(none.FromAddress, "");
}

TEST_F(MailHeaderTest, CustomValueIsExactAndCaseSensitive) {
    TMailHeader h;
    h.ParseLines({"x-tarnwick: lower", "X-Tarnwick-Version: 2", "X-Tarnwick : Filtered", "X-Tarnwick: second",
                  "Content-Type: multipart/mixed;", " boundary=\"b\"", ""});
    EXPECT_EQ(h.CustomValue("X-Tarnwick"), "Filtered");
    EXPECT_EQ(h.CustomValue("X-Tarnwick-Version"), "2");
    EXPECT_EQ(h.CustomValue("Content-Type"), "multipart/mixed; boundary=\"b\"");
    EXPECT_EQ(h.CustomValue("X-TARNWICK"), "");
    EXPECT_EQ(h.CustomValue("X-Missing"), "");
}

TEST_F(MailHeaderTest, AnInvalidDateStopsTheParseAndKeepsWhatWasRead) {
    TMailMessage message;
    message.RawLines = {"From: a@example.com", "Date: sometime soon", "Subject: never read", ""};
    EXPECT_THROW(message.Parse(), TConvertError);
    EXPECT_EQ(message.HeaderInfo.FromText, "a@example.com");
    EXPECT_EQ(message.HeaderInfo.SubjectText, "");
    EXPECT_EQ(message.HeaderInfo.DateValue, 0);
}

TEST(UnfoldHeaderLine, JoinsContinuationsExceptTheLastLineOfTheList) {
    struct Case {
        const char* what;
        Lines lines;
        Lines expected;
    };
    const Case cases[] = {
        {"blank and tab continuations", {"Subject: a", "   b ", "\tc\td", "To: x", ""},
         {"Subject: a b c d", "To: x", ""}},
        {"last line is never a continuation", {"Subject: a", " b", " c"}, {"Subject: a b", " c"}},
        {"an empty line ends the continuation", {"Subject: a", "", " b", ""}, {"Subject: a", "", " b", ""}},
        {"an empty line is not unfolded", {"", " b", "x"}, {"", " b", "x"}},
        {"a tab stays in the first line", {"A:\tb", "c"}, {"A:\tb", "c"}},
    };
    for (const Case& c : cases) {
        Lines result;
        for (std::size_t index = 0; index < c.lines.size();) result.push_back(UnfoldHeaderLine(c.lines, index));
        EXPECT_EQ(result, c.expected) << c.what;
    }
}

TEST_F(MailHeaderTest, MalformedHugeInputEndsWithLinearWork) {
    TMailHeader h;
    Lines lines = {"Subject: " + std::string(1 << 20, 'x') + "=?"};
    lines.push_back("To: " + std::string(1 << 20, ','));
    lines.push_back("X-Long: start");
    for (int i = 0; i < 100000; ++i) lines.push_back(" =?UTF-8?B?w6k=?= \xFF=?UCS-2?B?AEEA?=");
    lines.push_back("");
    h.ParseLines(lines);
    EXPECT_EQ(h.SubjectText.size(), (1u << 20) + 2);
    EXPECT_TRUE(h.ToItems.empty());
    ASSERT_EQ(h.OtherLines.size(), 1u);
    EXPECT_GT(h.OtherLines[0].size(), 3000000u);  // unfolded, not decoded
}
