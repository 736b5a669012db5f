#include "complaints/ComplaintTemplates.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(ErrorMessageTest, PlaceholdersAreFilledInOrderWithoutRegardToCase) {
    const std::vector<std::string> tmpl = {"From: <MAILER-DAEMON@%pop3>", "To: %Spamer", "at %DATETIME",
                                           "<%EMAIL> %email", "%MSG"};
    const auto lines = BuildErrorMessage(
        tmpl, {"pop.example.org", "\"Spam King\" <king@spam.test>", "2003-06-03 09:00:00", "me@pop.example.org",
               "Subject: buy %POP3 now\r\n\r\nbody"});
    EXPECT_EQ(lines, (std::vector<std::string>{"From: <MAILER-DAEMON@pop.example.org>", "To: king@spam.test",
                                               "at 2003-06-03 09:00:00",
                                               "<me@pop.example.org> me@pop.example.org",
                                               "Subject: buy %POP3 now", "", "body"}));
}

TEST(ErrorMessageTest, FromWithoutAngleBracketsIsUsedWholeAndTrimmed) {
    const auto lines = BuildErrorMessage({"To: %SPAMER"}, {"", "  king@spam.test ", "", "", ""});
    EXPECT_EQ(lines, std::vector<std::string>{"To: king@spam.test"});
}

TEST(ErrorMessageTest, DefaultTemplateHasItsNineteenLines) {
    const auto t = TComplaintTemplates::Defaults();
    ASSERT_EQ(t.error.size(), 19u);
    EXPECT_EQ(t.error[0], "From: Mail Delivery Subsystem <MAILER-DAEMON@%POP3>");
    EXPECT_EQ(t.error[7], "   ----- The following addresses had permanent fatal errors -----");
    EXPECT_EQ(t.error[18], "%MSG");
    EXPECT_EQ(t.admin.text[0], "One of your users is sending SPAM. Take ");
}

TEST(ComplaintTemplatesTest, MissingFilesAreWrittenAndExistingOnesRead) {
    TTempHome home;
    WriteFile(home.File("admin.txt"), "Abuse!\r\nStop it.\r\nNow.\r\n");
    const auto t = TComplaintTemplates::LoadOrCreate();
    EXPECT_EQ(t.admin.subject, "Abuse!");
    EXPECT_EQ(t.admin.text, (std::vector<std::string>{"Stop it.", "Now."}));
    EXPECT_EQ(t.user.subject, "UCE Complaint");
    EXPECT_EQ(t.error, TComplaintTemplates::Defaults().error);
    const std::string error = ReadFile(home.File("error.txt"));
    EXPECT_EQ(error.substr(0, 2), "\r\n");  // the ignored first line
    EXPECT_EQ(error.substr(2, 51), "From: Mail Delivery Subsystem <MAILER-DAEMON@%POP3>");
    EXPECT_EQ(ReadFile(home.File("admin.txt")), "Abuse!\r\nStop it.\r\nNow.\r\n");  // left as it was

    WriteFile(home.File("error.txt"), "ignored\nTo: %SPAMER\n.dot\n");
    EXPECT_EQ(TComplaintTemplates::LoadOrCreate().error, (std::vector<std::string>{"To: %SPAMER", ".dot"}));
    WriteFile(home.File("user.txt"), "");
    EXPECT_EQ(TComplaintTemplates::LoadOrCreate().user.subject, "UCE Complaint");
}

}  // namespace
