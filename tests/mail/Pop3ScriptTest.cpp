#include <gtest/gtest.h>

#include "mail/FakeServer.h"
#include "mail/ImapClient.h"
#include "mail/Mailbox.h"
#include "mail/Pop3Client.h"

namespace {

constexpr const char* Greeting = "+OK ready\r\n";

// The greeting and the question that comes before any sign-in: can the
// connection be upgraded to TLS? These servers say no.
TScript Greeted(const std::string& greeting, std::vector<TStep> rest) {
    TScript script{S(greeting), C("CAPA"), S("+OK\r\nUSER\r\n.\r\n")};
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

TScript SignedIn(std::vector<TStep> rest) {
    TScript script = Greeted(Greeting, {C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK in\r\n")});
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
        TFakeServer server(
            Greeted(greeting, {C("APOP mrose c4c9334bac560ecc979e58001b3e22fb"), S("+OK\r\n"), Pause(100)}));
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
        TFakeServer server(Greeted(greeting, {C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK\r\n"), Pause(100)}));
        TPop3Client pop;
        Prepare(pop, server);
        EXPECT_TRUE(pop.Login());
        EXPECT_EQ(pop.TimeStamp, "<1896.697170952@dbc.mtview.ca.us>");
        EXPECT_EQ(server.Mismatch(), "");
    }
    {
        // A refused APOP: a new connection, then USER/PASS.
        TFakeServer server(TFakeServer::Several,
                           {Greeted(greeting, {C("APOP u *"), S("-ERR no\r\n"), Pause(100)}),
                            Greeted(greeting, {C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK\r\n"), Pause(100)})});
        TPop3Client pop;
        Prepare(pop, server);
        pop.AuthType = AuthAny;
        EXPECT_TRUE(pop.Login());
        EXPECT_EQ(server.Connections(), 2);
        EXPECT_EQ(server.Mismatch(), "");
    }
    {
        // APOP only, and the greeting offers none.
        TFakeServer server(Greeted(Greeting, {Pause(200)}));
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
    for (const char* text : {"pop3", "imap", "X"}) {
        auto box = CreateMailbox(text);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(typeid(*box), typeid(TUnavailableMailbox)) << text;
        EXPECT_FALSE(box->Login());
        EXPECT_FALSE(box->Stat());
        box->Logout();
    }
}

namespace {

TScript Pipelining(std::vector<TStep> rest) {
    return SignedIn([&] {
        std::vector<TStep> steps{C("CAPA"), S("+OK\r\nUSER\r\nPIPELINING\r\n.\r\n")};
        steps.insert(steps.end(), rest.begin(), rest.end());
        return steps;
    }());
}

std::string TopReply(const std::string& subject) { return "+OK\r\nSubject: " + subject + "\r\n\r\n.\r\n"; }

}  // namespace

TEST(Pop3Script, PipelinedHeadersWithAnErrorAndOtherCommandsBetween) {
    TFakeServer server(Pipelining({C("TOP 1 0"), C("TOP 2 0"), C("TOP 3 0"), C("TOP 4 0"),
                                   S(TopReply("one") + "-ERR no such message\r\n" + TopReply("three") + TopReply("four")),
                                   C("TOP 3 2"), S("+OK\r\nSubject: three\r\n\r\nbody\r\n.\r\n"),  //
                                   C("TOP 3 0"), S(TopReply("three")),                              //
                                   C("TOP 4 0"), S(TopReply("four")),                               //
                                   C("DELE 4"), S("+OK gone\r\n"), Pause(100)}));
    TPop3Client pop;
    Prepare(pop, server);
    ASSERT_TRUE(pop.Login());
    pop.PrefetchHeaders(1, 4);
    ASSERT_TRUE(pop.Top(1, 0));
    EXPECT_EQ(pop.FullResult, (std::vector<std::string>{"Subject: one", ""}));
    // The refused TOP answers with one line; the answers behind it stay in step.
    EXPECT_FALSE(pop.Top(2, 0));
    EXPECT_EQ(pop.ResultString, "-ERR no such message");
    EXPECT_TRUE(pop.FullResult.empty());
    // Body lines are never asked for ahead: what is on its way is taken in first.
    ASSERT_TRUE(pop.Top(3, 2));
    EXPECT_EQ(pop.FullResult, (std::vector<std::string>{"Subject: three", "", "body"}));
    ASSERT_TRUE(pop.Top(3, 0));
    EXPECT_EQ(pop.FullResult, (std::vector<std::string>{"Subject: three", ""}));
    ASSERT_TRUE(pop.Top(4, 0));
    EXPECT_EQ(pop.FullResult, (std::vector<std::string>{"Subject: four", ""}));
    EXPECT_TRUE(pop.Dele(4));
    EXPECT_EQ(pop.ResultString, "+OK gone");
    EXPECT_EQ(server.Mismatch(), "");
}

// After a reply broke off, nothing that arrives later may be taken for the
// header of another message.
TEST(Pop3Script, ABrokenReplyEndsTheConversation) {
    struct {
        const char* name;
        bool prefetch;
        std::vector<TStep> steps;
    } cases[] = {
        {"late answer, pipelined",
         true,
         {C("TOP 1 0"), C("TOP 2 0"), C("TOP 3 0"), S(TopReply("one")), Pause(500),
          S(TopReply("two") + TopReply("three")), Pause(300)}},
        {"late answer, one at a time",
         false,
         {C("TOP 1 0"), S(TopReply("one")), C("TOP 2 0"), Pause(500), S(TopReply("two")), C("TOP 3 0"),
          S(TopReply("three")), Pause(300)}},
        {"closed inside a header, pipelined",
         true,
         {C("TOP 1 0"), C("TOP 2 0"), C("TOP 3 0"), S(TopReply("one") + "+OK\r\nSubject: two\r\nX-Half: "), Close()}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TScript script = c.prefetch ? Pipelining(c.steps) : SignedIn(c.steps);
        TFakeServer server(script);
        TPop3Client pop;
        Prepare(pop, server);
        pop.Timeout = 250;
        ASSERT_TRUE(pop.Login());
        if (c.prefetch) pop.PrefetchHeaders(1, 3);
        ASSERT_TRUE(pop.Top(1, 0));
        EXPECT_EQ(pop.FullResult, (std::vector<std::string>{"Subject: one", ""}));
        pop.Top(2, 0);
        for (const std::string& line : pop.FullResult) EXPECT_EQ(line.find("three"), std::string::npos);
        EXPECT_FALSE(pop.Top(3, 0));
        EXPECT_TRUE(pop.FullResult.empty());
        pop.Logout();
    }
}

// A header reply that does not frame as POP3 says runs into the next reply:
// taken on, every later header would land on the number before it.
TEST(Pop3Script, AHeaderThatDoesNotFrameBreaksTheConnection) {
    struct {
        const char* name;
        std::string replies;
    } cases[] = {
        {"end mark missing", "+OK\r\nSubject: one\r\n\r\n" + TopReply("two") + TopReply("three")},
        {"blank line and end mark missing", "+OK\r\nSubject: one\r\n" + TopReply("two") + TopReply("three")},
        {"a line after the header's blank line", "+OK\r\nSubject: one\r\n\r\nbody\r\n.\r\n" + TopReply("two")},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeServer server(Pipelining({C("TOP 1 0"), C("TOP 2 0"), C("TOP 3 0"), S(c.replies), Pause(300)}));
        TPop3Client pop;
        Prepare(pop, server);
        ASSERT_TRUE(pop.Login());
        pop.PrefetchHeaders(1, 3);
        EXPECT_FALSE(pop.Top(1, 0));
        EXPECT_FALSE(pop.Connected());
        EXPECT_FALSE(pop.Top(2, 0));
        for (const std::string& line : pop.FullResult) EXPECT_EQ(line.find("two"), std::string::npos);
    }
}
