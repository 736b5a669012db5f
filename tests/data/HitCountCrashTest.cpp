// A scan killed while it catches with a hit-count batch open loses at most the
// hits since the last flush: each filter file holds the old or a flushed
// state and loads fine.
#include "KilledChild.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int kCatchesPerFlush = 7;
const char kCaught[] = "Subject: a special offer\r\n";

// Catches forever in one batch, flushing after every kCatchesPerFlush catches;
// under way after the first flush.
[[noreturn]] void Scan(int underWayFd) {
    TFilterDM dm;
    THitCountBatch batch(dm);
    for (int flushes = 0;; ++flushes) {
        for (int i = 0; i < kCatchesPerFlush; ++i)
            if (dm.Engine().Evaluate(kCaught) != 1) _exit(4);
        batch.Flush();
        if (flushes == 0) TellUnderWay(underWayFd);
    }
}

std::int64_t FirstHits(TTable& table) {
    table.First();
    return table.AsInteger("Hits");
}

TEST(TFilterHitCountCrashTest, AScanKilledWithABatchOpenLeavesFlushedCounts) {
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope(ui);
    {
        TFilterDM dm;
        dm.cdsFilterCategory.Append();
        dm.cdsFilterCategory.SetValue("NameCategory", std::string("Spam"));
        dm.cdsFilterCategory.SetValue("idAction", std::int64_t{1});
        dm.cdsFilterCategory.Post();
        dm.cdsExpr.Append();
        dm.cdsExpr.SetValue("Fields", std::string("3"));
        dm.cdsExpr.SetValue("idRule", std::int64_t{1});
        dm.cdsExpr.SetValue("Content", std::string("offer"));
        dm.cdsExpr.Post();
        dm.Close();
    }
    std::mt19937 random(4711);
    std::int64_t before = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        KillDuringWork(Scan, random() % 30000);
        if (HasFatalFailure()) return;

        TFilterDM dm;
        EXPECT_TRUE(ui.messages.empty());
        const std::int64_t categoryHits = FirstHits(dm.cdsFilterCategory);
        const std::int64_t expressionHits = FirstHits(dm.cdsExpr);
        // The categories are flushed first; the kill may come between the two files.
        EXPECT_GT(expressionHits, before);
        EXPECT_EQ(expressionHits % kCatchesPerFlush, 0);
        EXPECT_TRUE(categoryHits == expressionHits || categoryHits == expressionHits + kCatchesPerFlush)
            << categoryHits << " category hits, " << expressionHits << " expression hits";
        // The next round starts from counts that agree.
        dm.cdsFilterCategory.Edit();
        dm.cdsFilterCategory.SetValue("Hits", expressionHits);
        dm.cdsFilterCategory.Post();
        before = expressionHits;
    }
}

}  // namespace
