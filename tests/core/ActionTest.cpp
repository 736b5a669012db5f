#include "base/TAction.h"

#include <gtest/gtest.h>

TEST(TActionTest, ExecuteAppliesTheUpdateRuleFirst) {
    TActionList actions;
    TAction& process = actions.Add("ProcessMail", "Process Mail", "InBox");
    bool allowed = false;
    int runs = 0, changes = 0;
    process.OnUpdate = [&](TAction& a) { a.SetEnabled(allowed); };
    process.OnExecute = [&](TAction&) { ++runs; };
    process.OnChanged = [&](const TAction&) { ++changes; };
    EXPECT_FALSE(process.Execute());
    EXPECT_EQ(runs, 0);
    allowed = true;
    EXPECT_TRUE(actions["ProcessMail"].Execute());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(changes, 2);  // disabled, then enabled again
    EXPECT_EQ(actions.Find("Nothing"), nullptr);
    EXPECT_THROW(actions["Nothing"], std::out_of_range);
}
