#include "core/ModeCaption.h"

#include <gtest/gtest.h>

TEST(ModeCaptionTest, TheCountIsReplacedNeverRepeated) {
    struct {
        const char* caption;
        int rows;
        const char* shown;
    } cases[] = {
        {"Incoming mail", 3, "Incoming mail(3)"},
        {"Incoming mail(3)", 12, "Incoming mail(12)"},
        {"Incoming mail(12)", 0, "Incoming mail"},
        {"Eingang (alt)(2)", 1, "Eingang (1)"},  // the first "(" ends the base text
        {"", 2, "(2)"},
    };
    for (const auto& c : cases) EXPECT_EQ(CountedModeCaption(c.caption, c.rows), c.shown) << c.caption;
}
