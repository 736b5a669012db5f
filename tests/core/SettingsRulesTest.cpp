#include "core/SettingsRules.h"

#include "core/DataModule.h"
#include "i18n/Translator.h"
#include "platform/IniFile.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

class TSettingsRulesTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TSettingsRules> rules;

    void Start() {
        rules.reset();
        dm = std::make_unique<TDM>();
        dm->DataModuleCreate();
        rules = std::make_unique<TSettingsRules>(*dm);
    }

    void StartWithAccount() {
        Start();
        ASSERT_TRUE(dm->CreateIdentity("anna", ""));
        rules->AddAccount(0);
    }
};

TEST_F(TSettingsRulesTest, HidingWritesTheBoxesAsShownAndSetsTheTimer) {
    std::remove("misc.ini");
    Start();
    EXPECT_EQ(rules->Hours(), 0);
    EXPECT_EQ(rules->Minutes(), 15);
    EXPECT_FALSE(rules->TimerEnabled());

    rules->SetTimerEnabled(true);  // "Enabled" acts at once
    EXPECT_TRUE(dm->Timer.Enabled());

    rules->DialogHidden(true, "0", "15");
    TIniFile ini("misc.ini");
    EXPECT_EQ(ini.ReadString("timer", "hours", "?"), "0");
    EXPECT_EQ(ini.ReadString("timer", "minuts", "?"), "15");
    EXPECT_EQ(ini.ReadString("timer", "enable", "?"), "1");
    EXPECT_EQ(dm->Timer.Interval(), 15 * 60000);

    rules->DialogHidden(false, "2", "35");
    EXPECT_FALSE(dm->Timer.Enabled());
    EXPECT_EQ(dm->Timer.Interval(), 2 * 3600000 + 35 * 60000);
    EXPECT_EQ(TIniFile("misc.ini").ReadString("timer", "enable", "?"), "0");

    // The next start shows what was written.
    Start();
    EXPECT_EQ(rules->Hours(), 2);
    EXPECT_EQ(rules->Minutes(), 35);
}

TEST_F(TSettingsRulesTest, ARefusedAccountDoesNotCostTheTimerSettings) {
    std::remove("misc.ini");
    StartWithAccount();
    // No login and no address: the table refuses the row when the dialog closes.
    EXPECT_ANY_THROW(rules->DialogHidden(true, "1", "20"));
    EXPECT_EQ(dm->cdsAccounts.State(), TTable::TState::Insert);
    EXPECT_EQ(TIniFile("misc.ini").ReadString("timer", "minuts", "?"), "20");
    EXPECT_TRUE(dm->Timer.Enabled());
}

TEST_F(TSettingsRulesTest, OnlyAFreshAccountSwitchesProtocol) {
    StartWithAccount();
    const char* const filled[] = {"host", "login", "password", "smtp_host", "email"};
    for (const char* field : filled) {
        SCOPED_TRACE(field);
        dm->cdsAccounts.Cancel();
        rules->AddAccount(0);
        EXPECT_TRUE(rules->CanSwitchProtocol());
        dm->cdsAccounts.SetValue(field, std::string("x"));
        EXPECT_FALSE(rules->CanSwitchProtocol());
    }
}

TEST_F(TSettingsRulesTest, TabsSetProtocolAndUsualPort) {
    StartWithAccount();
    TTable& a = dm->cdsAccounts;
    struct Step {
        int tab;
        const char* proto;
        int port;
    } steps[] = {{2, "IMAP", 143}, {1, "AOL", 143}, {0, "POP3", 143}, {2, "IMAP", 143}, {0, "POP3", 110}};
    // AOL keeps whatever port was set; POP3 and IMAP swap their usual ports only.
    for (const Step& step : steps) {
        rules->ProtocolTabChanged(step.tab);
        EXPECT_EQ(a.AsString("proto"), step.proto);
        EXPECT_EQ(a.AsInteger("port"), step.port) << step.proto;
    }
    a.SetValue("port", std::int64_t{1110});
    rules->ProtocolTabChanged(2);
    EXPECT_EQ(a.AsInteger("port"), 1110);  // a port of the user's own stays

    // The tab follows the current account's protocol; an unknown one keeps the tab.
    struct Shown {
        const char* proto;
        int current, expected;
    } shown[] = {{"AOL", 0, 1}, {"IMAP", 0, 2}, {"POP3", 1, 0}, {"XYZ", 1, 1}};
    for (const Shown& s : shown) {
        a.SetValue("proto", std::string(s.proto));
        EXPECT_EQ(rules->TabOfCurrentAccount(s.current), s.expected) << s.proto;
    }
}

TEST_F(TSettingsRulesTest, AddOnATabTakesItsProtocolAndDeleteShowsTheNextAccount) {
    StartWithAccount();
    TTable& a = dm->cdsAccounts;
    a.SetValue("description", std::string("mail"));
    a.SetValue("login", std::string("anna"));
    a.SetValue("email", std::string("anna@example.org"));
    rules->ApplyAccount(1);
    EXPECT_EQ(a.AsString("proto"), "AOL");
    rules->AddAccount(2);
    EXPECT_EQ(a.AsString("proto"), "IMAP");
    EXPECT_EQ(a.AsInteger("port"), 143);
    a.SetValue("login", std::string("anna"));
    a.SetValue("email", std::string("anna@example.org"));
    rules->ApplyAccount(2);
    EXPECT_EQ(a.RecordCount(), 2);
    a.First();
    EXPECT_EQ(rules->DeleteAccount(0), 2);
    EXPECT_EQ(a.AsString("proto"), "IMAP");
}

TEST_F(TSettingsRulesTest, PasswordBoxesAndSmtpDefault) {
    StartWithAccount();
    TTable& a = dm->cdsAccounts;
    rules->PasswordTyped("  \t ");
    EXPECT_TRUE(a.IsNull("password"));
    rules->PasswordTyped("secret");
    EXPECT_EQ(a.AsString("password"), "\x03secret");
    EXPECT_STREQ(TSettingsRules::PasswordMask(), "************");

    EXPECT_EQ(TSettingsRules::SmtpHostOnEnter("", "pop.example.org"), "pop.example.org");
    EXPECT_EQ(TSettingsRules::SmtpHostOnEnter("smtp.example.org", "pop.example.org"), "smtp.example.org");
}

TEST_F(TSettingsRulesTest, SecurityChoicesReadEveryStoredWord) {
    const struct {
        const char* stored;
        int index;
    } cases[] = {{"", 0}, {"auto", 0}, {"tls", 1}, {"SSL", 1}, {"starttls", 2}, {"none", 3}, {"bogus", 0}};
    for (const auto& c : cases) EXPECT_EQ(TSettingsRules::SecurityIndex(c.stored), c.index) << c.stored;
    ASSERT_EQ(TSettingsRules::SecurityWords().size(), TSettingsRules::SecurityNames().size());
}

TEST_F(TSettingsRulesTest, SslTlsMovesAUsualPortToItsTlsPortAndBack) {
    StartWithAccount();
    TTable& a = dm->cdsAccounts;
    const struct {
        int tab;
        bool smtp;
        int index;  // auto, tls, starttls, none
        const char* stored;
        const char* portField;
        int port;
    } steps[] = {
        {0, false, 1, "tls", "port", 995},           {0, false, 2, "starttls", "port", 110},
        {2, false, 1, "tls", "port", 993},           {2, false, 3, "none", "port", 143},
        {2, true, 1, "tls", "smtp_host_port", 465},  {2, true, 0, "auto", "smtp_host_port", 25},
    };
    for (const auto& step : steps) {
        rules->ProtocolTabChanged(step.tab);
        rules->SecurityChosen(step.smtp, step.index);
        EXPECT_EQ(a.AsString(step.smtp ? "smtp_security" : "security"), step.stored);
        EXPECT_EQ(a.AsInteger(step.portField), step.port) << step.stored;
    }
    a.SetValue("port", std::int64_t{2110});  // the user's own port stays
    rules->SecurityChosen(false, 1);
    EXPECT_EQ(a.AsInteger("port"), 2110);
}

TEST_F(TSettingsRulesTest, LanguagesSortedWithTheCurrentOneOrItsPlace) {
    Start();
    TTranslator& translator = AppTranslator();
    const std::vector<std::string> names = TSettingsRules::LanguageNames(translator);
    // The shipped files, and English, which needs none.
    EXPECT_NE(std::find(names.begin(), names.end(), "German"), names.end());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    const int at = TSettingsRules::CurrentLanguageIndex(names, translator);
    ASSERT_LT(at, static_cast<int>(names.size()));
    EXPECT_EQ(names[static_cast<std::size_t>(at)], "English");
    // A current language without a file selects where it would stand.
    EXPECT_EQ(TSettingsRules::CurrentLanguageIndex({"Danish", "German"}, translator), 1);
}

TEST_F(TSettingsRulesTest, MailClientIsStoredAsTheWholeEntryAndFoundExactly) {
    Start();
    ASSERT_TRUE(dm->CreateIdentity("anna", ""));
    const std::vector<std::string> clients{"Mutt [mutt]", "Thunderbird [thunderbird %u]"};
    EXPECT_EQ(rules->CurrentMailClientIndex(clients), -1);
    rules->ChooseMailClient(clients[1]);
    rules->SetStartMailClient(true);
    rules->DialogHidden(false, "0", "15");
    EXPECT_EQ(dm->cdsIdentities.AsString("mailclient"), clients[1]);
    EXPECT_TRUE(dm->cdsIdentities.AsBoolean("startmailclient"));
    EXPECT_EQ(rules->CurrentMailClientIndex(clients), 1);
    EXPECT_EQ(rules->CurrentMailClientIndex({"thunderbird [thunderbird %u]"}), -1);
}

}  // namespace
