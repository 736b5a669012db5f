// Receive Mail and Process Mail against scripted servers that misbehave in
// ways a real server will not show: the account ends with "Error" and is
// reported, the program goes on, and nothing is reported that did not happen.
#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/Scramble.h"
#include "filtering/dmfilters.h"
#include "mail/FakeServer.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback port on which nobody listens.
std::string ClosedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return std::to_string(ntohs(address.sin_port));
}

std::string TopReply(const std::string& subject) {
    return "+OK\r\nFrom: a@b.test\r\nSubject: " + subject + "\r\n\r\n.\r\n";
}

class TMisbehavingServersTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;
    std::unique_ptr<TFilterDM> filters;
    TComplaintForm complaint;
    std::unique_ptr<TMailCommands> commands;

    void SetUp() override {
        dm.LoadStore();
        filters = std::make_unique<TFilterDM>();
        ASSERT_TRUE(dm.CreateIdentity("me", ""));
        dm.NotLoggedIn = false;
        dm.CurrentIdentityId = dm.cdsIdentities.AsInteger("id");
        commands = std::make_unique<TMailCommands>(dm, complaint, filters.get());
    }

    std::int64_t AddAccount(const std::string& proto, const std::string& port, const std::string& smtpPort = "25") {
        auto& a = dm.cdsAccounts;
        a.Append();
        a.SetValue("description", "Fake " + proto);
        a.SetValue("proto", proto);
        a.SetValue("host", std::string("127.0.0.1"));
        a.SetAsString("port", port);
        a.SetValue("login", std::string("u"));
        a.SetValue("password", ScramblePassword(kPlainPasswordMark + std::string("p"), "u", true));
        a.SetValue("smtp_host", std::string("127.0.0.1"));
        a.SetAsString("smtp_host_port", smtpPort);
        a.SetValue("email", std::string("u@example.test"));
        a.Post();
        return a.AsInteger("id");
    }

    void AddDelBoxRow(std::int64_t account, int number, int action) {
        auto& box = dm.cdsDelBox;
        box.Append();
        box.SetValue("idaccount", account);
        box.SetValue("messagenum", std::int64_t{number});
        box.SetValue("idaction", std::int64_t{action});
        box.SetValue("from", std::string("spammer@spam.test"));
        box.SetValue("subject", "spam " + std::to_string(number));
        box.SetValue("header", "From: spammer@spam.test\r\nSubject: spam " + std::to_string(number) + "\r\n\r\n");
        box.SetValue("uid", "uid:u" + std::to_string(number));
        box.Post();
    }

    std::vector<std::string> Subjects(TTable& table) {
        std::vector<std::string> subjects;
        for (table.First(); !table.Eof(); table.Next()) subjects.push_back(table.AsString("subject"));
        return subjects;
    }
};

TScript Pop3SignedIn(std::vector<TStep> rest) {
    // CAPA: before the sign-in the client asks whether it can upgrade to TLS.
    TScript script{S("+OK ready\r\n"), C("CAPA"), S("+OK\r\nUSER\r\n.\r\n"),
                   C("USER u"), S("+OK\r\n"), C("PASS p"), S("+OK in\r\n")};
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

// Up to the headers: STAT for three messages, the size listing, unique ids, pipelining.
TScript Pop3ReadyForHeaders(std::vector<TStep> rest) {
    return Pop3SignedIn([&] {
        std::vector<TStep> steps{C("STAT"),  S("+OK 3 300\r\n"),
                                 C("LIST"),  S("+OK\r\n1 100\r\n2 100\r\n3 100\r\n.\r\n"),
                                 C("UIDL"),  S("+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n"),
                                 C("CAPA"),  S("+OK\r\nPIPELINING\r\n.\r\n")};
        steps.insert(steps.end(), rest.begin(), rest.end());
        return steps;
    }());
}

// The scan stops an account whose server cannot be followed, names it, and
// goes on with the next account; no message is listed under a header that
// was not its own.
TEST_F(TMisbehavingServersTest, AnAccountThatCannotBeFollowedEndsWithErrorAndTheScanGoesOn) {
    struct {
        const char* name;
        std::string proto;
        TScript script;
        std::vector<std::string> listed;
        std::string reason;
    } cases[] = {
        {"a header without its end mark",
         "POP3",
         Pop3ReadyForHeaders({C("TOP 1 0"), C("TOP 2 0"), C("TOP 3 0"),
                              S(TopReply("one") + "+OK\r\nFrom: a@b.test\r\nSubject: two\r\n\r\n" + TopReply("three")),
                              Pause(300)}),
         {"one"},
         "The scan stopped at message #2: the server's reply did not follow the protocol"},
        {"two billion messages from STAT", "POP3", Pop3SignedIn({C("STAT"), S("+OK 2000000000 0\r\n"), Pause(300)}), {},
         "The server reports 2000000000 messages; not scanned"},
        {"two billion messages from EXISTS",
         "IMAP",
         {S("* OK IMAP4rev1\r\n"), C("S1 CAPABILITY"), S("* CAPABILITY IMAP4rev1\r\nS1 OK\r\n"), C("S2 LOGIN *"),
          S("S2 OK\r\n"), C("S3 SELECT \"INBOX\""), S("* 2000000000 EXISTS\r\nS3 OK\r\n"), Pause(300)},
         {},
         "The server reports 2000000000 messages; not scanned"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeServer server(c.script);
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        const std::int64_t id = AddAccount(c.proto, server.Port());
        AddAccount("POP3", ClosedPort());
        commands->ReceiveIdentityMailExecute();
        EXPECT_EQ(Subjects(dm.cdsInBox), c.listed);
        const auto& problems = commands->AccountProblems();
        ASSERT_EQ(problems.size(), 2u);
        EXPECT_EQ(problems[0].idaccount, id);
        EXPECT_EQ(problems[0].reason, c.reason);
        EXPECT_EQ(problems[1].reason, "Sign-in failed: the connection was refused");
        EXPECT_EQ(dm.StatusLog.Lines().back().Text, "Done");
    }
}

// An outgoing server that refuses is asked once, not once for every copy, and
// no copy is reported as forwarded; nothing is deleted without a sign-in.
TEST_F(TMisbehavingServersTest, ARefusingOutgoingServerIsAskedOnceAndNothingIsReportedDone) {
    TFakeServer smtp(TFakeServer::Several, {{S("554 go away\r\n"), Pause(200)}, {S("554 go away\r\n"), Pause(200)}},
                     false, 1500);
    const std::int64_t account = AddAccount("POP3", ClosedPort(), smtp.Port());
    AddDelBoxRow(account, 1, 4);
    AddDelBoxRow(account, 2, 4);
    commands->DoProcessMail();
    EXPECT_EQ(smtp.Connections(), 1);
    const auto& outcomes = commands->ProcessOutcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    for (const auto& outcome : outcomes) {
        EXPECT_FALSE(outcome.forwarded);
        EXPECT_FALSE(outcome.deleted);
        EXPECT_FALSE(outcome.note.empty());
    }
    EXPECT_EQ(Subjects(dm.cdsDelBox), (std::vector<std::string>{"spam 1", "spam 2"}));
    ASSERT_EQ(commands->AccountProblems().size(), 2u);
    EXPECT_EQ(commands->AccountProblems()[0].reason,
              "The outgoing server refused the sign-in: the server answered \"554 go away\"");
}

// A server that hangs up in the middle of DATA has not taken the copy; the
// message is still deleted, and each row says what really happened.
TEST_F(TMisbehavingServersTest, AHangUpInTheMiddleOfDataIsNotAForwardedHeader) {
    TFakeServer smtp({S("220 fake\r\n"), C("EHLO *"), S("250 fake\r\n"), C("MAIL FROM:<spammer@spam.test>"),
                      S("250 ok\r\n"), C("RCPT TO:<u@127.0.0.1>"), S("250 ok\r\n"), C("DATA"), S("354 go\r\n"),
                      C("From: spammer@spam.test"), Close()});
    TFakeServer pop(Pop3SignedIn({C("UIDL"), S("+OK\r\n1 u1\r\n.\r\n"), C("STAT"), S("+OK 1 100\r\n"), C("DELE 1"),
                                  S("+OK marked\r\n"), C("QUIT"), S("+OK bye\r\n")}));
    const std::int64_t account = AddAccount("POP3", pop.Port(), smtp.Port());
    AddDelBoxRow(account, 1, 4);
    commands->DoProcessMail();
    EXPECT_EQ(pop.Mismatch(), "");
    const auto& outcomes = commands->ProcessOutcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].forwarded);
    EXPECT_TRUE(outcomes[0].deleted);
    EXPECT_TRUE(dm.cdsDelBox.IsEmpty());
}

}  // namespace
