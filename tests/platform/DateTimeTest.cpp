#include "platform/DateTime.h"
#include "platform/TimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(DateTimeTest, EncodeDecodeRoundTrip) {
    struct Case {
        TDateTimeParts parts;
        double value;
    } cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 12, 0, 0, 0}, 2.5},
        {{2000, 2, 29, 6, 0, 0, 0}, 36585.25},
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
    };
    for (const Case& c : cases) {
        TDateTime value = 0;
        ASSERT_TRUE(TryEncodeDateTime(c.parts, value));
        EXPECT_DOUBLE_EQ(value, c.value);
        const TDateTimeParts back = DecodeDateTime(value);
        EXPECT_EQ(back.year, c.parts.year);
        EXPECT_EQ(back.month, c.parts.month);
        EXPECT_EQ(back.day, c.parts.day);
        EXPECT_EQ(back.hour, c.parts.hour);
    }
    TDateTime value = 0;
    EXPECT_FALSE(TryEncodeDateTime({2001, 2, 29, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2001, 13, 1, 0, 0, 0, 0}, value));
    EXPECT_FALSE(TryEncodeDateTime({2001, 1, 1, 24, 0, 0, 0}, value));
}

class TTzScope {
public:
    explicit TTzScope(const char* tz) {
        if (const char* old = std::getenv("TZ")) had_ = true, old_ = old;
        setenv("TZ", tz, 1);
    }
    ~TTzScope() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(TimeZoneTest, OffsetEastOfUtcWithDaylightTime) {
    const std::time_t january = 1704110400;  // 2024-01-01 12:00 UTC
    const std::time_t july = 1719835200;     // 2024-07-01 12:00 UTC
    struct Case {
        const char* tz;
        int winter, summer;
    } cases[] = {
        {"UTC0", 0, 0},
        {"IST-5:30", 330, 330},
        {"EST5EDT,M3.2.0,M11.1.0", -300, -240},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 60, 120},
    };
    for (const Case& c : cases) {
        TTzScope scope(c.tz);
        EXPECT_EQ(LocalUtcOffsetMinutesAt(january), c.winter) << c.tz;
        EXPECT_EQ(LocalUtcOffsetMinutesAt(july), c.summer) << c.tz;
    }
    TTzScope scope("JST-9");
    EXPECT_EQ(LocalUtcOffsetMinutes(), 540);
}

// The offset is remembered between calls; a change of TZ must still show at
// once, without anyone calling tzset.
TEST(TimeZoneTest, OffsetFollowsAChangeOfTz) {
    struct {
        const char* tz;
        int offset;
    } steps[] = {{"UTC0", 0}, {"JST-9", 540}, {"IST-5:30", 330}, {"UTC0", 0}, {"JST-9", 540}};
    for (const auto& step : steps) {
        TTzScope scope(step.tz);
        EXPECT_EQ(LocalUtcOffsetMinutes(), step.offset) << step.tz;
        EXPECT_EQ(LocalUtcOffsetMinutesAt(std::time(nullptr)), step.offset) << step.tz;
    }
    {
        TTzScope scope("UTC0");
        unsetenv("TZ");  // the system's zone, whatever it is
        LocalUtcOffsetMinutes();
    }
    TTzScope scope("JST-9");
    EXPECT_EQ(LocalUtcOffsetMinutes(), 540);
}

}  // namespace
