#include <gtest/gtest.h>

#include "mail/FakeServer.h"
#include "mail/ImapClient.h"
#include "mail/Mailbox.h"
#include "mail/Pop3Client.h"

namespace {

constexpr const char* Greeting = "+OK ready\r\n";

TScript SignedIn(std::vector<TStep> rest) {
    TScript script{S(Greeting), C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK in\r\n")};
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

void Prepare(TPop3Client& pop, const TFakeServer& server) {
    pop.Host = "127.0.0.1";
    pop.Port = server.Port();
    pop.AuthType = AuthUserPass;
    pop.Timeout = 1000;
    pop.Username = "u";
    pop.Password = "p";
}

}  // namespace

TEST(Pop3Script, StatReplies) {
    struct {
        const char* reply;
        bool ok;
        long long count, size;
    } cases[] = {
        {"+OK 2 320", true, 2, 320},
        {"+OK 2 320 octets", true, 2, 0},  // the part after the first blank is no number
        {"+OK", true, 0, 0},
        {"-ERR busy", false, 7, 7},  // a failure leaves the counts alone
    };
    for (auto& c : cases) {
        TFakeServer server(SignedIn({C("STAT"), S(std::string(c.reply) + "\r\n"), Pause(100)}));
        TPop3Client pop;
        Prepare(pop, server);
        ASSERT_TRUE(pop.Login());
        pop.StatCount = pop.StatSize = 7;
        EXPECT_EQ(pop.Stat(), c.ok) << c.reply;
        EXPECT_EQ(pop.StatCount, c.count) << c.reply;
        EXPECT_EQ(pop.StatSize, c.size) << c.reply;
        EXPECT_EQ(pop.ResultString, c.reply);
        EXPECT_EQ(pop.ResultCode, c.ok ? 1 : 0);
    }
}

TEST(Pop3Script, MultiLineRepliesUndoByteStuffing) {
    TFakeServer server(SignedIn({C("TOP 1 0"), S("+OK\r\nA: b\r\n..\r\n..x\r\n.\r\n"),  //
                                 C("LIST"), S("+OK\r\n.\r\n"),                          //
                                 C("LIST 3"), S("+OK 3 120\r\n"),                       //
                                 C("RETR 9"), S("-ERR no such message\r\n"), Pause(100)}));
    TPop3Client pop;
    Prepare(pop, server);
    ASSERT_TRUE(pop.Login());
    ASSERT_TRUE(pop.Top(1, 0));
    EXPECT_EQ(pop.FullResult, (std::vector<std::string>{"A: b", ".", ".x"}));
    ASSERT_TRUE(pop.List(0));
    EXPECT_TRUE(pop.FullResult.empty());
    ASSERT_TRUE(pop.List(3));
    EXPECT_TRUE(pop.FullResult.empty());
    EXPECT_EQ(pop.ResultString, "+OK 3 120");
    EXPECT_FALSE(pop.Retr(9));
    EXPECT_EQ(pop.ResultString, "-ERR no such message");
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(Pop3Script, AReplyCutShortKeepsTheLinesReceived) {
    TFakeServer server(SignedIn({C("RETR 1"), S("+OK\r\nSubject: x\r\nhalf"), Close()}));
    TPop3Client pop;
    Prepare(pop, server);
    ASSERT_TRUE(pop.Login());
    EXPECT_TRUE(pop.Retr(1));
    EXPECT_EQ(pop.FullResult, std::vector<std::string>{"Subject: x"});
}

TEST(Pop3Script, ApopTimeStamp) {
    // The example conversation of the APOP definition.
    const std::string greeting = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n";
    {
        TFakeServer server({S(greeting), C("APOP mrose c4c9334bac560ecc979e58001b3e22fb"), S("+OK\r\n"), Pause(100)});
        TPop3Client pop;
        Prepare(pop, server);
        pop.AuthType = AuthAny;
        pop.Username = "mrose";
        pop.Password = "tanstaaf";
        EXPECT_TRUE(pop.Login());
        EXPECT_EQ(pop.TimeStamp, "<1896.697170952@dbc.mtview.ca.us>");
        EXPECT_EQ(server.Mismatch(), "");
    }
    {
        // USER/PASS only: the time stamp is read but never used.
        TFakeServer server({S(greeting), C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK\r\n"), Pause(100)});
        TPop3Client pop;
        Prepare(pop, server);
        EXPECT_TRUE(pop.Login());
        EXPECT_EQ(pop.TimeStamp, "<1896.697170952@dbc.mtview.ca.us>");
        EXPECT_EQ(server.Mismatch(), "");
    }
    {
        // A refused APOP: a new connection, then USER/PASS.
        TFakeServer server(TFakeServer::Several, {{S(greeting), C("APOP u *"), S("-ERR no\r\n"), Pause(100)},
                            {S(greeting), C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK\r\n"), Pause(100)}});
        TPop3Client pop;
        Prepare(pop, server);
        pop.AuthType = AuthAny;
        EXPECT_TRUE(pop.Login());
        EXPECT_EQ(server.Connections(), 2);
        EXPECT_EQ(server.Mismatch(), "");
    }
    {
        // APOP only, and the greeting offers none.
        TFakeServer server({S(Greeting), Pause(200)});
        TPop3Client pop;
        Prepare(pop, server);
        pop.AuthType = AuthApop;
        EXPECT_FALSE(pop.Login());
    }
}

TEST(Pop3Script, CredentialsWithLineBreaksAreNeverSent) {
    for (const char* user : {"u\r\nDELE 1", "u\nx", "u\rx"}) {
        TFakeServer server({S(Greeting), Pause(100)}, false, 300);
        TPop3Client pop;
        Prepare(pop, server);
        pop.Username = user;
        EXPECT_FALSE(pop.Login());
        EXPECT_EQ(server.Connections(), 0);
    }
    TFakeServer server({S(Greeting), Pause(100)}, false, 300);
    TPop3Client pop;
    Prepare(pop, server);
    pop.Password = std::string("p\0RSET", 6);
    EXPECT_FALSE(pop.Login());
    EXPECT_EQ(server.Connections(), 0);
}

TEST(Pop3Script, GreetingThatIsNotOkFailsTheLogin) {
    TFakeServer server({S("-ERR go away\r\n"), Pause(100)});
    TPop3Client pop;
    Prepare(pop, server);
    EXPECT_FALSE(pop.Login());
    EXPECT_EQ(pop.ResultString, "-ERR go away");
}

TEST(CreateMailbox, ProtocolTexts) {
    auto pop = CreateMailbox("POP3"), plain = CreateMailbox(""), imap = CreateMailbox("IMAP");
    EXPECT_EQ(typeid(*pop), typeid(TPop3Client));
    EXPECT_EQ(typeid(*plain), typeid(TPop3Client));
    EXPECT_EQ(typeid(*imap), typeid(TIMAP));
    for (const char* text : {"AOL", "pop3", "imap", "X"}) {
        auto box = CreateMailbox(text);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(typeid(*box), typeid(TUnavailableMailbox)) << text;
        EXPECT_FALSE(box->Login());
        EXPECT_FALSE(box->Stat());
        box->Logout();
    }
}
