#include "parsing/ConvertError.h"
#include "parsing/MailDate.h"

#include "TimeZoneGuard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

class MailDateTest : public ::testing::Test {
protected:
    TTimeZoneGuard zone_{"XXX-1"};
};

std::string Format(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}

}  // namespace

TEST_F(MailDateTest, DatesBecomeLocalTime) {
    ASSERT_EQ(LocalZoneOffset(), 60);
    const std::pair<const char*, const char*> cases[] = {
        {"Tue, 3 Jun 2003 10:00:00 +0200", "2003-06-03 09:00:00"},
        {"Tue, 3 Jun 2003 10:00:00 BST", "2003-06-03 12:00:00"},  // BST is UTC-1 here
        {"3 Jun 03 10:00:00 GMT", "2003-06-03 11:00:00"},
        {"3 Jun 99 10:00:00 GMT", "1999-06-03 11:00:00"},
        {"3 Jun 00 10:00:00 GMT", "2000-06-03 11:00:00"},
        {"3 Jun 2003 10:00 GMT", "2003-06-03 01:00:00"},  // one colon: no time
        {"3 Jun 2003 25:00:00 GMT", "2003-06-03 01:00:00"},  // unreadable time
        {"1-Jan-2003 10:00:00 -0500", "2003-01-01 16:00:00"},
        {"3 Jun 2003 10:00:00 -0000", "2003-06-03 10:00:00"},  // local zone
        {"3 Jun 2003 10:00:00", "2003-06-03 10:00:00"},  // no zone: local time
        {"3 jun 2003 10:00:00 pst dst", "2003-06-03 18:00:00"},
        {"3 jun 2003 10:00:00 cest", "2003-06-03 09:00:00"},  // four letters
        {"Mon, 2 Jun 2003 10:00:00 +0200 (CEST)", "2003-06-02 09:00:00"},
        {"Wed, 31 Dec 2003 23:30:00 -0100", "2004-01-01 01:30:00"},
        {"Thu, 1 Jan 2004 00:30:00 +0500", "2003-12-31 20:30:00"},
        {"2003 Jun 3 10:00:00 UT", "2003-06-03 11:00:00"},
        {"Tue,\t3 Jun 2003\t10:00:00 +0100", "2003-06-03 10:00:00"},
        {"Tue, 3 Jun 2003 10:00:00\t-0500", "2003-06-03 16:00:00"},
        {"1 Jan 1850 06:00:00 +0100", "1850-01-01 06:00:00"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Format(ParseMailDate(text)), expected) << text;
}

TEST_F(MailDateTest, InvalidDatesRaiseTheConversionError) {
    const char* cases[] = {
        "",
        "Tue, 3 2003 10:00:00 +0000",        // no month
        "Jun 2003 10:00:00",                  // no day
        "3 Jun",                              // no year
        "31 Feb 2003 10:00:00 GMT",           // no such day
        "3 Jun 2003 10:00:00 +9959",          // zone a day away
        "3 Jun 99999999999999999999999 12:00:00",
        "99999999999999999999 Jun 2003",
        "3 Jun 2003 10:00:00 GMT DST DST DST DST DST DST DST DST DST DST DST DST DST DST DST DST DST DST DST DST "
        "DST DST DST DST DST",
    };
    for (const char* text : cases) EXPECT_THROW(ParseMailDate(text), TConvertError) << text;
}

TEST_F(MailDateTest, Zones) {
    struct Case {
        const char* token;
        bool accepted;
        int minutes;
    };
    const Case cases[] = {
        {"+0200", true, 120}, {"-0130", true, -90}, {"+0000", true, 0},  {"-0000", true, 60},
        {"+02", true, 7},     {"-", true, 7},       {"+ab30", true, 30}, {"BST", true, -60},
        {"NZDT", true, 780},  {"cest", true, 120},  {"IDLW", true, -720}, {"XYZ", false, 7},
        {"", false, 7},
    };
    for (const Case& c : cases) {
        int minutes = 7;
        EXPECT_EQ(ParseZone(c.token, minutes), c.accepted) << c.token;
        EXPECT_EQ(minutes, c.minutes) << c.token;
    }
}
