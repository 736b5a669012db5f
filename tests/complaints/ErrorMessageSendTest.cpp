#include "complaints/ComplaintForm.h"
#include "servers/MailServers.h"
#include "support/FakeUserInterface.h"

#include <gtest/gtest.h>

namespace {

TAccountValues Account(const TMailServerInfo& servers) {
    TAccountValues a;
    a.host = "pop.example.test";
    a.login = UniqueTestName("victim");
    a.smtpHost = servers.Host;
    a.smtpPort = std::stoi(servers.SmtpPort);
    return a;
}

TEST(SendErrorMessageTest, ArrivesFromMailerDaemonWithTheFilledTemplate) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_TRUE(servers);
    TFakeUserInterface ui;
    TUserInterfaceScope scope(ui);
    TComplaintForm form;
    int warnings = 0;
    form.WarnIfMailClientRunning = [&] { ++warnings; };
    form.MessageText = "Subject: cheap %POP3\r\n.leading dot\r\n";
    const std::string spammer = UniqueTestName("spammer") + "@spam.test";
    const TAccountValues account = Account(*servers);
    ASSERT_TRUE(form.SendErrorMessage(account, "Spam King <" + spammer + ">", "2003-06-03 09:00:00"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(warnings, 1);
    const auto mail = CapturedMail(spammer);
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].MailFrom, "MAILER-DAEMON@pop.example.test");
    const std::string& data = mail[0].Data;
    EXPECT_NE(data.find("From: Mail Delivery Subsystem <MAILER-DAEMON@pop.example.test>\r\nTo: " + spammer + "\r\n"),
              std::string::npos)
        << data;
    EXPECT_NE(data.find("<<< 550 <" + account.login + "@pop.example.test>... User unknown"), std::string::npos);
    EXPECT_NE(data.find("received at 2003-06-03 09:00:00"), std::string::npos);
    EXPECT_NE(data.find("Subject: cheap %POP3\r\n.leading dot\r\n"), std::string::npos) << data;
}

TEST(SendErrorMessageTest, FailuresAreShownAndNothingIsSent) {
    TFakeUserInterface ui;
    TUserInterfaceScope scope(ui);
    TComplaintForm form;
    TAccountValues account;
    account.smtpHost = "  ";
    EXPECT_FALSE(form.SendErrorMessage(account, "a@b.test", ""));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Because of SMTP Server absent (Settings->Accounts) this function is not available");
    EXPECT_EQ(ui.messages[0].caption, "Error");

    account.smtpHost = "127.0.0.1";
    account.smtpPort = 1;  // nothing listens there
    EXPECT_FALSE(form.SendErrorMessage(account, "a@b.test", ""));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "SMTP send error");
    EXPECT_EQ(ui.messages[1].icon, TMsgIcon::Error);
}

}  // namespace
