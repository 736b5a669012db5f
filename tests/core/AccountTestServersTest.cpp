// The account test against the loopback Dovecot and SMTP server.
#include "core/DataModule.h"
#include "servers/MailServers.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class TAccountTestTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};

    void SetUp() override {
        // No mail client of this machine may stop the test.
        setenv("XDG_DATA_HOME", home.File("xdg").c_str(), 1);
        setenv("XDG_DATA_DIRS", home.File("xdg").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_DATA_DIRS");
    }
};

TEST_F(TAccountTestTest, ReportsBothServers) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_NE(servers, nullptr);
    TTestMailbox box({"From: a@b\r\nSubject: one\r\n\r\nbody\r\n"});
    struct Case {
        std::string smtpHost, password, expected;
        bool incomingOk, smtpOk;
    } cases[] = {
        {servers->Host, box.Password(), "TEST POP3 SERVER OK\r\nTEST SMTP SERVER OK", true, true},
        {"", box.Password(), "TEST POP3 SERVER OK\r\nTEST SMTP SERVER ERR", true, false},
        {servers->Host, "wrong", "TEST POP3 SERVER ERROR\r\nTEST SMTP SERVER OK", false, true},
    };
    TDM dm;
    dm.DataModuleCreate();
    ASSERT_TRUE(dm.CreateIdentity("anna", ""));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        dm.Actions["AddAccount"].Execute();
        auto& a = dm.cdsAccounts;
        a.SetValue("host", servers->Host);
        a.SetValue("port", std::int64_t{std::stoi(servers->Pop3Port)});
        a.SetValue("login", box.User());
        a.SetValue("email", box.User() + "@example.test");
        a.SetValue("smtp_host", c.smtpHost);
        a.SetValue("smtp_host_port", std::int64_t{std::stoi(servers->SmtpPort)});
        ASSERT_TRUE(dm.SetAccountPassword(c.password));
        ASSERT_TRUE(dm.Actions["ApplyAcc"].Execute());
        ui.messages.clear();
        ASSERT_TRUE(dm.Actions["Test"].Execute());
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.expected);
        EXPECT_EQ(ui.messages[0].caption, "TEST INFO");
        EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Information);
        EXPECT_EQ(ui.cursor, TCursor::Default);
        const TAccountTestResult result = dm.TestAccount();
        EXPECT_EQ(result.IncomingOk, c.incomingOk);
        EXPECT_EQ(result.SmtpOk, c.smtpOk);
    }
    // Nothing was deleted by the test.
    EXPECT_EQ(box.Messages().size(), 1u);
}

}  // namespace
