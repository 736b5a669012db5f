#include "parsing/TMessaging.h"

#include "CodePageGuard.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(Messaging, HeaderLinesDecodeEachRawLineAsItStands) {
    TCodePageGuard codePage(1251);
    TMailMessage message;
    message.RawLines = {
        "Subject: =?KOI8-R?B?8NLJ18XULCDNydI=?=",
        "X-Folded: =?ISO-8859-5?Q?=B0=B1?= =?ISO-8859-5?Q?",
        " =B2?=",
        "",
        "Body =?ISO-8859-5?B?sA==?=",
    };
    const Lines lines = TMessaging().HeaderLines(message);
    EXPECT_EQ(lines, (Lines{
                         "Subject: \xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0",
                         "X-Folded: \xC0\xC1 =?ISO-8859-5?Q?",
                         " =B2?=",
                         "",
                         "Body \xC0",
                     }));
    std::string joined;
    for (const std::string& line : lines) joined += line + "\r\n";
    EXPECT_EQ(TMessaging().HeaderText(message), joined);
}
