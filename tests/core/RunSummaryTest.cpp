#include "core/RunSummary.h"

#include <gtest/gtest.h>

TEST(RunSummaryTest, CountsWhatWasReallyDeleted) {
    const auto outcome = [](bool deleted) {
        TMailCommands::TRowOutcome o;
        o.deleted = deleted;
        return o;
    };
    struct {
        std::vector<TMailCommands::TRowOutcome> outcomes;
        const char* text;
    } cases[] = {
        {{}, ""},
        {{outcome(true), outcome(true)}, "2 deleted, 0 kept"},
        {{outcome(true), outcome(false), outcome(true)}, "2 deleted, 1 kept"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProcessSummary(c.outcomes), c.text);
}
