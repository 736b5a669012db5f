#include <gtest/gtest.h>

#include "mail/ImapClient.h"
#include "mail/Mailbox.h"
#include "mail/ServerMessages.h"
#include "servers/MailServers.h"

namespace {

std::unique_ptr<TPop3Client> Imap(const TTestMailbox& box) {
    auto mailbox = CreateMailbox("IMAP");
    const TMailServerInfo* servers = RequireMailServers();
    if (servers) {
        mailbox->Host = servers->Host;
        mailbox->Port = servers->ImapPort;
    }
    mailbox->Timeout = 5000;
    mailbox->Username = box.User();
    mailbox->Password = box.Password();
    return mailbox;
}


}  // namespace

TEST(ImapDovecot, TheContractOnImap) {
    TTestMailbox box(TestMessages(5));
    auto imap = Imap(box);
    ASSERT_TRUE(imap->Login()) << imap->ResultString;
    ASSERT_TRUE(imap->Stat());
    EXPECT_EQ(imap->StatCount, 5);
    EXPECT_EQ(imap->StatSize, 5);
    ASSERT_TRUE(imap->List(0));
    EXPECT_EQ(imap->FullResult.size(), 5u);
    EXPECT_EQ(imap->FullResult[4], "5 1");
    for (int i = 1; i <= 5; ++i) {
        ASSERT_TRUE(imap->Top(i, 0));
        EXPECT_EQ(SubjectOf(imap->FullResult), "Message " + std::to_string(i));
        EXPECT_EQ(imap->FullResult.size(), 5u);
    }
    ASSERT_TRUE(imap->Retr(3));
    ASSERT_EQ(imap->FullResult.size(), 7u);
    EXPECT_EQ(imap->FullResult[6], ".a line with a leading dot");
    EXPECT_TRUE(imap->NoOp());
    EXPECT_FALSE(imap->Top(9, 0));
    imap->Logout();
}

TEST(ImapDovecot, DeletingThreeAndFiveRemovesExactlyThoseAtLogout) {
    TTestMailbox box(TestMessages(6));
    auto imap = Imap(box);
    ASSERT_TRUE(imap->Login());
    ASSERT_TRUE(imap->Stat());
    EXPECT_TRUE(imap->Dele(3));
    // The caller selects again before every deletion: numbers stay valid.
    ASSERT_TRUE(imap->Stat());
    EXPECT_EQ(imap->StatCount, 6);
    EXPECT_TRUE(imap->Dele(5));
    ASSERT_TRUE(imap->Retr(5));
    EXPECT_EQ(SubjectOf(imap->FullResult), "Message 5");
    ASSERT_TRUE(imap->Top(6, 0));
    EXPECT_EQ(SubjectOf(imap->FullResult), "Message 6");
    EXPECT_EQ(box.Messages().size(), 6u);
    imap->Logout();
    EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"Message 1", "Message 2", "Message 4", "Message 6"}));
}

TEST(ImapDovecot, FreedWithoutLogoutKeepsTheFlagsButExpungesNothing) {
    TTestMailbox box(TestMessages(3));
    {
        auto imap = Imap(box);
        ASSERT_TRUE(imap->Login());
        ASSERT_TRUE(imap->Stat());
        EXPECT_TRUE(imap->Dele(2));
        EXPECT_TRUE(imap->NoOp());  // the flag is on disk once the server answered
    }
    auto messages = box.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[1].Flags.find('T'), std::string::npos);
    EXPECT_EQ(messages[0].Flags.find('T'), std::string::npos);
}

TEST(ImapDovecot, ResetTakesTheMarksBack) {
    TTestMailbox box(TestMessages(2));
    auto imap = Imap(box);
    ASSERT_TRUE(imap->Login());
    ASSERT_TRUE(imap->Stat());
    EXPECT_TRUE(imap->Dele(1));
    EXPECT_TRUE(imap->Reset());
    imap->Logout();
    EXPECT_EQ(box.Messages().size(), 2u);
}

TEST(ImapDovecot, PasswordWithBlankAndQuoteSignsIn) {
    TTestMailbox box(TestMessages(1), "a b\"c\\d");
    auto imap = Imap(box);
    EXPECT_TRUE(imap->Login()) << imap->ResultString;
    imap->Logout();
    imap->Password = "a b";
    EXPECT_FALSE(imap->Login());
}

TEST(ImapDovecot, UidlNamesMessagesByUid) {
    TTestMailbox box(TestMessages(3));
    auto imap = Imap(box);
    ASSERT_TRUE(imap->Login());
    ASSERT_TRUE(imap->Stat());
    ASSERT_TRUE(imap->Uidl(0));
    ASSERT_EQ(imap->FullResult.size(), 3u);
    std::vector<std::string> all = imap->FullResult;
    auto& client = static_cast<TIMAP&>(*imap).Client();
    EXPECT_EQ(all[0], "1 " + std::to_string(client.SelectedUidValidity) + ".1");
    ASSERT_TRUE(imap->Uidl(2));
    EXPECT_EQ(imap->FullResult, std::vector<std::string>{all[1]});
    EXPECT_EQ(imap->ResultString, "+OK " + all[1]);
    EXPECT_FALSE(imap->Uidl(7));
    imap->Logout();

    // After an expunge the numbers move, the UIDs stay.
    auto again = Imap(box);
    ASSERT_TRUE(again->Login());
    ASSERT_TRUE(again->Stat());
    EXPECT_TRUE(again->Dele(1));
    again->Logout();
    auto third = Imap(box);
    ASSERT_TRUE(third->Login());
    ASSERT_TRUE(third->Stat());
    ASSERT_TRUE(third->Uidl(1));
    EXPECT_EQ(third->FullResult[0].substr(2), all[1].substr(2));
    third->Logout();
}
