#include "core/DataModule.h"
#include "core/Scramble.h"
#include "platform/IniFile.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TAccountsTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};

    static std::unique_ptr<TDM> Start() {
        auto dm = std::make_unique<TDM>();
        dm->DataModuleCreate();
        return dm;
    }
};

TEST_F(TAccountsTest, TimerComesFromMiscIniClamped) {
    struct Case {
        const char* minutes;
        const char* hours;
        const char* enable;
        int interval;
        bool enabled;
    } cases[] = {
        {nullptr, nullptr, nullptr, 15 * 60000, false},  // no file: "05" clamped to 15
        {"30", "1", "1", 5400000, true},
        {"05", "00", "0", 15 * 60000, false},
        {"99", "40", "1", 55 * 60000 + 23 * 3600000, true},
        {"-3", "-1", "0", 15 * 60000, false},
        {"soon", "x", "1", 15 * 60000, true},  // no number: as if missing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.minutes ? c.minutes : "(none)"));
        std::remove("misc.ini");
        if (c.minutes) {
            TIniFile ini("misc.ini");
            ini.WriteString("timer", "minuts", c.minutes);
            ini.WriteString("timer", "hours", c.hours);
            ini.WriteString("timer", "enable", c.enable);
        }
        auto dm = Start();
        EXPECT_EQ(dm->Timer.Interval(), c.interval);
        EXPECT_EQ(dm->Timer.Enabled(), c.enabled);
        EXPECT_EQ(dm->TimerMinutes * 60000 + dm->TimerHours * 3600000, c.interval);
    }
}

TEST_F(TAccountsTest, TickRunsScanThenProcessingOnlyWhenIdle) {
    auto dm = Start();
    std::vector<std::string> ran;
    dm->Actions.Add("ReceiveIdentityMail", "Receive Mail", "InBox").OnExecute = [&](TAction&) { ran.push_back("scan"); };
    auto& process = dm->Actions.Add("ProcessMail", "Process Mail", "InBox");
    process.OnExecute = [&](TAction&) { ran.push_back("process"); };
    dm->Timer.Tick();  // disabled
    EXPECT_TRUE(ran.empty());
    dm->Timer.SetEnabled(true);
    dm->Idle = false;  // a scan runs
    dm->Timer.Tick();
    EXPECT_TRUE(ran.empty());
    dm->Idle = true;
    dm->Timer.Tick();
    EXPECT_EQ(ran, (std::vector<std::string>{"scan", "process"}));
    // Process Mail keeps its own availability rule.
    process.OnUpdate = [](TAction& a) { a.SetEnabled(false); };
    dm->Timer.Tick();
    EXPECT_EQ(ran, (std::vector<std::string>{"scan", "process", "scan"}));
}

TEST_F(TAccountsTest, AddApplyAndDeleteAccounts) {
    auto dm = Start();
    EXPECT_FALSE(dm->Actions["AddAccount"].Update());  // no identity to own it
    ASSERT_TRUE(dm->CreateIdentity("anna", ""));
    auto& a = dm->cdsAccounts;
    EXPECT_FALSE(dm->Actions["ApplyAcc"].Update());
    EXPECT_FALSE(dm->Actions["DeleteAccount"].Update());
    ASSERT_TRUE(dm->Actions["AddAccount"].Execute());
    EXPECT_EQ(a.AsString("proto"), "POP3");
    EXPECT_EQ(a.AsInteger("port"), 110);
    EXPECT_EQ(a.AsString("authtype"), "Login");
    EXPECT_EQ(a.AsString("description"), "<New account>");
    EXPECT_TRUE(dm->Actions["ApplyAcc"].Update());
    EXPECT_FALSE(dm->Actions["Test"].Update());
    a.SetValue("login", std::string("mailuser"));
    a.SetValue("email", std::string("me@example.org"));
    EXPECT_FALSE(dm->SetAccountPassword(std::string(50, 'p')));
    EXPECT_EQ(ui.messages.back().text, "The password is longer than 49 characters.");
    EXPECT_TRUE(a.IsNull("password"));
    ASSERT_TRUE(dm->SetAccountPassword(std::string(49, 'p')));
    ASSERT_TRUE(dm->Actions["ApplyAcc"].Execute());
    EXPECT_EQ(a.State(), TTable::TState::Browse);
    EXPECT_TRUE(dm->Actions["Test"].Update());
    EXPECT_FALSE(dm->Actions["ApplyAcc"].Update());

    dm = Start();
    dm->cdsIdentities.First();
    ASSERT_EQ(dm->cdsAccounts.RecordCount(), 1);
    const std::string stored = dm->cdsAccounts.AsString("password");
    EXPECT_EQ(stored[0], kScrambledPasswordMark);
    EXPECT_EQ(TDM::ScramblePassword(stored, "mailuser", false), std::string(49, 'p'));
    // The login is the key: another login no longer opens it.
    EXPECT_NE(TDM::ScramblePassword(stored, "mailuser2", false), std::string(49, 'p'));
    // Blank typing leaves the stored password alone.
    EXPECT_TRUE(dm->SetAccountPassword("   "));
    EXPECT_EQ(dm->cdsAccounts.AsString("password"), stored);

    ASSERT_TRUE(dm->Actions["DeleteAccount"].Execute());
    EXPECT_TRUE(dm->cdsAccounts.IsEmpty());
}

TEST_F(TAccountsTest, RefusedApplyKeepsThePasswordAsTyped) {
    auto dm = Start();
    ASSERT_TRUE(dm->CreateIdentity("anna", ""));
    dm->Actions["AddAccount"].Execute();
    ASSERT_TRUE(dm->SetAccountPassword("pw"));
    // No login and no e-mail address: the table refuses the row.
    EXPECT_ANY_THROW(dm->Actions["ApplyAcc"].Execute());
    EXPECT_EQ(dm->cdsAccounts.AsString("password"), "\x03pw");
    dm->cdsAccounts.SetValue("login", std::string("late"));
    dm->cdsAccounts.SetValue("email", std::string("a@b"));
    dm->Actions["ApplyAcc"].Execute();
    EXPECT_EQ(TDM::ScramblePassword(dm->cdsAccounts.AsString("password"), "late", false), "pw");
}

TEST_F(TAccountsTest, StatusLogLinesAndAccountValues) {
    auto dm = Start();
    TStatusLog& log = dm->StatusLog;
    std::vector<TStatusLog::TChange> changes;
    log.OnChanged = [&](TStatusLog::TChange change, int) { changes.push_back(change); };
    EXPECT_EQ(log.AccountDesc(), "N/A");
    EXPECT_EQ(log.MsgNumber(), "N/A");
    EXPECT_EQ(log.MsgTotalSize(), "N/A");
    log.Append("Ok");  // no line yet: nothing happens
    EXPECT_EQ(log.Count(), 0);
    const int login = log.Add("Login user@host");
    log.Add("Status Information");
    log.Append(login, "Ok");
    log.Append("Error");
    log.Append("Done");
    log.ScrollToEnd();
    EXPECT_EQ(log.Lines()[0].StatusText(), "Ok");
    EXPECT_EQ(log.Lines()[1].StatusText(), "Error Done");
    log.SetAccountDesc("Work");
    log.SetMessageCount(3);
    log.SetTotalSize(4500);
    log.Clear();
    EXPECT_EQ(log.Count(), 0);
    EXPECT_EQ(log.AccountDesc(), "Work");
    EXPECT_EQ(log.MsgNumber(), "3");
    EXPECT_EQ(log.MsgTotalSize(), "4500");
    using C = TStatusLog::TChange;
    EXPECT_EQ(changes, (std::vector<C>{C::Added, C::Added, C::Appended, C::Appended, C::Appended, C::Scrolled,
                                       C::AccountValues, C::AccountValues, C::AccountValues, C::Cleared}));
}

}  // namespace
