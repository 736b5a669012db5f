#include <gtest/gtest.h>

#include "mail/Mailbox.h"
#include "mail/Pop3Client.h"
#include "mail/ServerMessages.h"
#include "servers/MailServers.h"

namespace {

void Prepare(TPop3Client& pop, const TTestMailbox& box, TPop3AuthType auth = AuthUserPass) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_NE(servers, nullptr);
    pop.Host = servers->Host;
    pop.Port = servers->Pop3Port;
    pop.AuthType = auth;
    pop.Timeout = 5000;
    pop.Username = box.User();
    pop.Password = box.Password();
}


}  // namespace

TEST(Pop3Dovecot, SignInMethods) {
    TTestMailbox box(TestMessages(1), "pass word \"x\"");
    struct {
        TPop3AuthType auth;
        std::string password;
        bool ok;
    } cases[] = {
        {AuthUserPass, box.Password(), true}, {AuthApop, box.Password(), true}, {AuthAny, box.Password(), true},
        {AuthUserPass, "wrong", false},        {AuthApop, "wrong", false},
    };
    for (auto& c : cases) {
        auto pop = CreateMailbox("POP3");
        Prepare(*pop, box, c.auth);
        pop->Password = c.password;
        EXPECT_EQ(pop->Login(), c.ok) << int(c.auth) << " " << c.password << " " << pop->ResultString;
        // Dovecot offers APOP: its greeting carries the time stamp.
        EXPECT_EQ(pop->TimeStamp.front(), '<');
        EXPECT_EQ(pop->TimeStamp.back(), '>');
        if (c.ok) pop->Logout();
    }
}

TEST(Pop3Dovecot, ReadingAMailbox) {
    TTestMailbox box(TestMessages(3));
    TPop3Client pop;
    Prepare(pop, box);
    ASSERT_TRUE(pop.Login()) << pop.ResultString;
    ASSERT_TRUE(pop.Stat());
    EXPECT_EQ(pop.StatCount, 3);
    long long total = 0;
    for (int i = 1; i <= 3; ++i) total += static_cast<long long>(TestMessage(i).size());
    EXPECT_EQ(pop.StatSize, total);

    ASSERT_TRUE(pop.List(0));
    ASSERT_EQ(pop.FullResult.size(), 3u);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(pop.FullResult[i - 1], std::to_string(i) + " " + std::to_string(TestMessage(i).size()));

    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(pop.Top(i, 0));
        ASSERT_EQ(pop.FullResult.size(), 5u);  // four header lines and the blank line
        EXPECT_EQ(SubjectOf(pop.FullResult), "Message " + std::to_string(i));
        EXPECT_EQ(pop.FullResult.back(), "");
    }
    ASSERT_TRUE(pop.Retr(2));
    ASSERT_EQ(pop.FullResult.size(), 7u);
    EXPECT_EQ(pop.FullResult[5], "Body of message 2");
    EXPECT_EQ(pop.FullResult[6], ".a line with a leading dot");  // stuffed by the server, unstuffed here

    ASSERT_TRUE(pop.Uidl(0));
    ASSERT_EQ(pop.FullResult.size(), 3u);
    std::vector<std::string> uids = pop.FullResult;
    ASSERT_TRUE(pop.Uidl(2));
    EXPECT_EQ(pop.ResultString, "+OK " + uids[1]);
    EXPECT_TRUE(pop.NoOp());
    EXPECT_FALSE(pop.Retr(9));
    EXPECT_EQ(pop.ResultString.rfind("-ERR", 0), 0u);
    pop.Logout();
}

TEST(Pop3Dovecot, DeletionHappensOnlyAtLogout) {
    TTestMailbox box(TestMessages(4));
    TPop3Client pop;
    Prepare(pop, box);
    ASSERT_TRUE(pop.Login());
    ASSERT_TRUE(pop.Stat());
    EXPECT_TRUE(pop.Dele(2));
    EXPECT_TRUE(pop.Dele(4));
    EXPECT_FALSE(pop.Dele(9));
    // Still there, and the numbers still name the same messages.
    EXPECT_EQ(box.Messages().size(), 4u);
    ASSERT_TRUE(pop.Top(3, 0));
    EXPECT_EQ(SubjectOf(pop.FullResult), "Message 3");
    pop.Logout();
    EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"Message 1", "Message 3"}));
}

TEST(Pop3Dovecot, ResetAndFreeingWithoutLogoutDiscardTheMarks) {
    TTestMailbox box(TestMessages(3));
    {
        TPop3Client pop;
        Prepare(pop, box);
        ASSERT_TRUE(pop.Login());
        EXPECT_TRUE(pop.Dele(1));
        EXPECT_TRUE(pop.Reset());
        pop.Logout();
    }
    EXPECT_EQ(box.Messages().size(), 3u);
    {
        TPop3Client pop;
        Prepare(pop, box);
        ASSERT_TRUE(pop.Login());
        EXPECT_TRUE(pop.Dele(1));
        EXPECT_TRUE(pop.Dele(3));
    }  // freed without QUIT
    TPop3Client pop;
    Prepare(pop, box);
    ASSERT_TRUE(pop.Login());
    ASSERT_TRUE(pop.Stat());
    EXPECT_EQ(pop.StatCount, 3);
    pop.Logout();
    EXPECT_EQ(box.Messages().size(), 3u);
}

TEST(Pop3Dovecot, EmptyMailbox) {
    TTestMailbox box;
    TPop3Client pop;
    Prepare(pop, box);
    ASSERT_TRUE(pop.Login());
    ASSERT_TRUE(pop.Stat());
    EXPECT_EQ(pop.StatCount, 0);
    EXPECT_EQ(pop.StatSize, 0);
    EXPECT_TRUE(pop.List(0));
    EXPECT_TRUE(pop.FullResult.empty());
    pop.Logout();
}
