#include <gtest/gtest.h>

#include "mail/FakeServer.h"
#include "mail/ImapClient.h"

namespace {

constexpr const char* Greeting = "* OK IMAP4rev1 ready\r\n";
constexpr const char* Caps = "* CAPABILITY IMAP4rev1 IDLE LITERAL+\r\n";

TScript SignedIn(int firstTag, std::vector<TStep> rest) {
    std::string t1 = "S" + std::to_string(firstTag), t2 = "S" + std::to_string(firstTag + 1);
    TScript script{S(Greeting), C(t1 + " CAPABILITY"), S(std::string(Caps) + t1 + " OK done\r\n"),
                   C(t2 + " LOGIN \"u\" \"p\""), S(t2 + " OK in\r\n")};
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

void Prepare(TIMAP& box, const TFakeServer& server) {
    box.Host = "127.0.0.1";
    box.Port = server.Port();
    box.Timeout = 1000;
    box.Username = "u";
    box.Password = "p";
}

// A header of exactly 342 bytes.
std::string Header342() {
    std::string header = "From: a@example.test\r\nSubject: literal\r\n";
    std::string filler = "X-Filler: ";
    filler += std::string(342 - header.size() - filler.size() - 4, 'f');
    header += filler + "\r\n\r\n";
    return header;
}

}  // namespace

TEST(ImapScript, ExistsCountGivesStatAndList) {
    TFakeServer server(SignedIn(1, {C("S3 SELECT \"INBOX\""),
                                    S("* FLAGS (\\Seen)\r\n* 5 EXISTS\r\n* 2 RECENT\r\n"
                                      "* OK [UIDVALIDITY 1712] ok\r\nS3 OK [READ-WRITE] done\r\n"),
                                    Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    EXPECT_EQ(box.StatCount, 5);
    EXPECT_EQ(box.StatSize, 5);
    EXPECT_EQ(box.Client().SelectedRecent, 2);
    EXPECT_EQ(box.Client().SelectedUidValidity, 1712);
    ASSERT_TRUE(box.List(0));
    EXPECT_EQ(box.FullResult, (std::vector<std::string>{"1 1", "2 1", "3 1", "4 1", "5 1"}));
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(ImapScript, FetchLiteralOf342Bytes) {
    const std::string header = Header342();
    ASSERT_EQ(header.size(), 342u);
    TFakeServer server(SignedIn(1, {C("S3 FETCH 4 (UID RFC822.HEADER)"),
                                    S("* 4 FETCH (UID 44 RFC822.HEADER {342}\r\n" + header + ")\r\nS3 OK done\r\n"),
                                    Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Top(4, 0));
    const auto& raw = box.Client().FullResult;
    ASSERT_EQ(raw.size(), 3u);
    EXPECT_EQ(raw[1], header);
    EXPECT_EQ(raw[2], ")");
    ASSERT_EQ(box.FullResult.size(), 4u);
    EXPECT_EQ(box.FullResult[0], "From: a@example.test");
    EXPECT_EQ(box.FullResult[1], "Subject: literal");
    EXPECT_EQ(box.FullResult[3], "");
}

TEST(ImapScript, TagsRunOnAcrossLogins) {
    TFakeServer server(TFakeServer::Several, {SignedIn(1, {C("S3 LOGOUT"), S("* BYE\r\nS3 OK bye\r\n")}),
                        SignedIn(4, {C("S6 NOOP"), S("S6 OK\r\n"), Pause(100)})});
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    box.Logout();
    ASSERT_TRUE(box.Login());
    EXPECT_TRUE(box.NoOp());
    EXPECT_EQ(box.Client().TagCounter, 6);
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(ImapScript, LoginQuotesUserAndPassword) {
    TFakeServer server({S(Greeting), C("S1 CAPABILITY"), S(std::string(Caps) + "S1 OK\r\n"),
                         C("S2 LOGIN \"me@x\" \"pa ss\\\"w\\\\\""), S("S2 OK\r\n"), Pause(100)});
    TIMAP box;
    Prepare(box, server);
    box.Username = "me@x";
    box.Password = "pa ss\"w\\";
    EXPECT_TRUE(box.Login());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(ImapScript, ServersWithoutImap4rev1AndPreauthentication) {
    {
        TFakeServer server({S(Greeting), C("S1 CAPABILITY"), S("* CAPABILITY IMAP2\r\nS1 OK\r\n"), Pause(200)});
        TIMAP box;
        Prepare(box, server);
        EXPECT_FALSE(box.Login());
        EXPECT_EQ(server.Received().size(), 1u);  // no LOGIN
    }
    {
        // Signed in by the greeting: LOGIN would only be refused.
        TFakeServer server({S("* PREAUTH welcome\r\n"), C("S1 CAPABILITY"), S(std::string(Caps) + "S1 OK\r\n"),
                             C("S2 NOOP"), S("S2 OK\r\n"), Pause(100)});
        TIMAP box;
        Prepare(box, server);
        EXPECT_TRUE(box.Login());
        EXPECT_TRUE(box.Client().Preauthenticated);
        EXPECT_TRUE(box.NoOp());
        EXPECT_EQ(server.Mismatch(), "");
    }
    {
        TFakeServer server({S("* BYE full\r\n"), Pause(100)});
        TIMAP box;
        Prepare(box, server);
        EXPECT_FALSE(box.Login());
    }
}

TEST(ImapScript, HugeLiteralIsRefused) {
    TFakeServer server(SignedIn(1, {C("S3 FETCH 1 (RFC822)"), S("* 1 FETCH (RFC822 {300000000}\r\nabc"),
                                    Pause(1500)}));
    TIMAP box;
    Prepare(box, server);
    box.Timeout = 3000;
    ASSERT_TRUE(box.Login());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(box.Client().FetchMessage(1, box.FullResult));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(box.Client().Socket().Connected());
}

TEST(ImapScript, CredentialsWithLineBreaksAreNeverSent) {
    TFakeServer server({S(Greeting), Pause(100)}, false, 300);
    TIMAP box;
    Prepare(box, server);
    box.Password = "p\r\nS9 DELETE INBOX";
    EXPECT_FALSE(box.Login());
    EXPECT_EQ(server.Connections(), 0);
}

TEST(ImapScript, ThePop3DefaultPortBecomes143) {
    struct {
        const char* given;
        const char* used;
    } cases[] = {{"110", "143"}, {"pop3", "143"}, {"993", "993"}, {"1143", "1143"}};
    for (auto& c : cases) {
        TIMAP box;
        box.Host = "";  // fails before any connection is tried
        box.Port = c.given;
        EXPECT_FALSE(box.Login());
        EXPECT_EQ(box.Client().Port, c.used) << c.given;
    }
}

TEST(ImapScript, SilentServerFailsTheCommand) {
    TFakeServer server(SignedIn(1, {C("S3 NOOP"), Pause(600)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    box.Client().Timeout = 200;
    EXPECT_FALSE(box.NoOp());
    EXPECT_EQ(box.Client().Socket().LastError, WsaTimedOut);
}

// Headers fetched as one range: a reply that breaks off inside a header gives
// no header for that message, and what arrives later is not taken for another.
TEST(ImapScript, HeaderRangeBrokenOffInsideAHeader) {
    const std::string one = "Subject: one\r\n\r\n", three = "Subject: three\r\n\r\n";
    TFakeServer server(SignedIn(1, {C("S3 SELECT \"INBOX\""), S("* 3 EXISTS\r\nS3 OK done\r\n"),
                                    C("S4 FETCH 1:3 (UID RFC822.HEADER)"),
                                    S("* 1 FETCH (UID 11 RFC822.HEADER {" + std::to_string(one.size()) + "}\r\n" + one +
                                      ")\r\n* 2 FETCH (UID 12 RFC822.HEADER {40}\r\nSubject: tw"),
                                    Pause(500),
                                    S("o\r\nX-Rest: 1234567890\r\n\r\n)\r\n* 3 FETCH (UID 13 RFC822.HEADER {" +
                                      std::to_string(three.size()) + "}\r\n" + three + ")\r\nS4 OK done\r\n"),
                                    Pause(300)}));
    TIMAP box;
    Prepare(box, server);
    box.Timeout = 250;
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    box.PrefetchHeaders(1, 3);
    ASSERT_TRUE(box.Top(1, 0));
    EXPECT_EQ(box.FullResult, (std::vector<std::string>{"Subject: one", ""}));
    EXPECT_FALSE(box.Top(2, 0));
    for (const std::string& line : box.FullResult) EXPECT_EQ(line.find("three"), std::string::npos);
    EXPECT_FALSE(box.Top(3, 0));
    EXPECT_TRUE(box.FullResult.empty());
}

namespace {

std::string HeaderItem(int number, int uid) {
    const std::string header = "Subject: uid " + std::to_string(uid) + "\r\n\r\n";
    return "* " + std::to_string(number) + " FETCH (UID " + std::to_string(uid) + " RFC822.HEADER {" +
           std::to_string(header.size()) + "}\r\n" + header + ")\r\n";
}

// Messages 1 to count, fetched ahead, each with the header of UID 10 + n.
void ExpectEachHeaderWithItsUid(TIMAP& box, int count) {
    box.PrefetchHeaders(1, count);
    for (int n = 1; n <= count; ++n) {
        ASSERT_TRUE(box.Top(n, 0)) << n;
        EXPECT_EQ(box.FullResult, (std::vector<std::string>{"Subject: uid " + std::to_string(10 + n), ""})) << n;
        EXPECT_EQ(box.UniqueId(n), "7." + std::to_string(10 + n)) << n;
    }
}

TScript SelectedWithUids(std::vector<TStep> rest) {
    TScript script = SignedIn(1, {C("S3 SELECT \"INBOX\""),
                                  S("* 3 EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\nS3 OK [READ-WRITE] done\r\n"),
                                  C("S4 FETCH 1:* (UID)"),
                                  S("* 1 FETCH (UID 11)\r\n* 2 FETCH (UID 12)\r\n* 3 FETCH (UID 13)\r\nS4 OK\r\n")});
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

}  // namespace

// A range is read item by item as it arrives; every shape an item may take
// must still give each header with its own UID: the UID after the literal,
// a FETCH without a literal between items, an item that the next one follows
// without its closing line, and the tagged line right after a literal.
TEST(ImapScript, EveryShapeOfAHeaderItemIsReadInItsPlace) {
    const auto header = [](int uid) { return "Subject: uid " + std::to_string(uid) + "\r\n\r\n"; };
    const auto announce = [&](int number, const std::string& before) {
        return "* " + std::to_string(number) + " FETCH (" + before + "RFC822.HEADER {" +
               std::to_string(header(10 + number).size()) + "}\r\n" + header(10 + number);
    };
    TFakeServer server(SignedIn(1, {C("S3 SELECT \"INBOX\""),
                                    S("* 4 EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\nS3 OK [READ-WRITE] done\r\n"),
                                    C("S4 FETCH 1:4 (UID RFC822.HEADER)"),
                                    S(announce(1, "") + " UID 11)\r\n* 1 FETCH (FLAGS (\\Seen))\r\n" +
                                      announce(2, "UID 12 ") + ")\r\n" + announce(3, "UID 13 ") +
                                      announce(4, "UID 14 ") + "S4 OK done\r\n"),
                                    C("S5 NOOP"), S("S5 OK\r\n"), Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    ExpectEachHeaderWithItsUid(box, 4);
    EXPECT_TRUE(box.NoOp());
    EXPECT_EQ(server.Mismatch(), "");
}

// Another client expunges message 1 while the headers are on their way: every
// header keeps the UID it came with, and the numbers follow the server's.
TEST(ImapScript, ExpungeInsideTheHeaderFetchKeepsEachHeaderWithItsUid) {
    TFakeServer server(SelectedWithUids({C("S5 FETCH 1:3 (UID RFC822.HEADER)"),
                                         S(HeaderItem(1, 11) + "* 1 EXPUNGE\r\n" + HeaderItem(1, 12) + HeaderItem(2, 13) +
                                           "S5 OK done\r\n"),
                                         C("S6 FETCH 3:3 (UID RFC822.HEADER)"), S("S6 OK nothing\r\n"), Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    ASSERT_TRUE(box.LoadUniqueIds());
    box.PrefetchHeaders(1, 3);
    for (int n : {1, 2}) {
        ASSERT_TRUE(box.Top(n, 0)) << n;
        ASSERT_FALSE(box.FullResult.empty());
        const std::string uid = box.FullResult[0].substr(std::string("Subject: uid ").size());
        EXPECT_EQ(box.UniqueId(n), "7." + uid) << n;
    }
    EXPECT_EQ(box.UniqueId(1), "7.12");
    EXPECT_FALSE(box.Top(3, 0));
    EXPECT_EQ(server.Mismatch(), "");
}

namespace {

TScript SelectedFive(std::vector<TStep> rest) {
    TScript script = SignedIn(1, {C("S3 SELECT \"INBOX\""),
                                  S("* 5 EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\nS3 OK [READ-WRITE] done\r\n")});
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

}  // namespace

// The next range is asked for while the last one is still coming, so the
// server never waits for us: this server answers nothing before it has both
// commands, and nothing of the second before the third has come.
TEST(ImapScript, HeaderRangesAreAskedForBeforeTheLastOneEnds) {
    TFakeServer server(SelectedFive({C("S4 FETCH 1:2 (UID RFC822.HEADER)"), C("S5 FETCH 3:4 (UID RFC822.HEADER)"),
                                     S(HeaderItem(1, 11) + HeaderItem(2, 12) + "S4 OK done\r\n"),
                                     C("S6 FETCH 5:5 (UID RFC822.HEADER)"),
                                     S(HeaderItem(3, 13) + HeaderItem(4, 14) + "S5 OK done\r\n" + HeaderItem(5, 15) +
                                       "S6 OK done\r\n"),
                                     C("S7 NOOP"), S("S7 OK\r\n"), Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    box.HeaderRange = 2;
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    ExpectEachHeaderWithItsUid(box, 5);
    EXPECT_TRUE(box.NoOp());
    EXPECT_EQ(server.Mismatch(), "");
}

// A scan that stops early leaves two replies on their way: the next command
// reads past both, and its answer is its own.
TEST(ImapScript, RangesGivenUpAreReadPastBeforeTheNextCommand) {
    TFakeServer server(SelectedFive({C("S4 FETCH 1:2 (UID RFC822.HEADER)"), C("S5 FETCH 3:4 (UID RFC822.HEADER)"),
                                     S(HeaderItem(1, 11) + HeaderItem(2, 12) + "S4 OK done\r\n"), Pause(50),
                                     S(HeaderItem(3, 13) + HeaderItem(4, 14) + "S5 OK done\r\n"), C("S6 NOOP"),
                                     S("S6 NO not now\r\n"), C("S7 NOOP"), S("S7 OK\r\n"), Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    box.HeaderRange = 2;
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    box.PrefetchHeaders(1, 5);
    ASSERT_TRUE(box.Top(1, 0));
    EXPECT_FALSE(box.NoOp());
    EXPECT_EQ(box.ResultString, "S6 NO not now");
    EXPECT_EQ(box.Client().FullResult, std::vector<std::string>{});
    EXPECT_TRUE(box.NoOp());
    EXPECT_EQ(box.Client().UidOf(4), 14);
    EXPECT_EQ(server.Mismatch(), "");
}

// The session follows another client's expunge; the deletion names the UID,
// and a UID that is gone, or of another UIDVALIDITY, names no message.
TEST(ImapScript, DeletionGoesByUidAfterAnotherClientsExpunge) {
    TFakeServer server(SelectedWithUids({C("S5 NOOP"), S("* 1 EXPUNGE\r\nS5 OK\r\n"),
                                         C("S6 UID STORE 13 +FLAGS (\\Deleted)"),
                                         S("* 2 FETCH (UID 13 FLAGS (\\Deleted))\r\nS6 OK\r\n"),
                                         C("S7 UID STORE 12 +FLAGS (\\Deleted)"), S("S7 OK nothing stored\r\n"),
                                         Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.LoadUniqueIds());
    ASSERT_TRUE(box.Stat());
    EXPECT_EQ(box.StatCount, 2);
    EXPECT_EQ(box.NumberOfUniqueId("7.11"), 0);
    EXPECT_EQ(box.NumberOfUniqueId("8.13"), 0);
    ASSERT_EQ(box.NumberOfUniqueId("7.13"), 2);
    EXPECT_TRUE(box.Dele(2));
    // The server flagged nothing: the message is not reported as marked.
    EXPECT_FALSE(box.Dele(1));
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(ImapScript, AnImpossibleMessageCountIsNotAllocated) {
    TFakeServer server(SignedIn(1, {C("S3 SELECT \"INBOX\""), S("* 2000000000 EXISTS\r\nS3 OK done\r\n"), Pause(100)}));
    TIMAP box;
    Prepare(box, server);
    ASSERT_TRUE(box.Login());
    ASSERT_TRUE(box.Stat());
    EXPECT_EQ(box.StatCount, 2000000000);
    EXPECT_FALSE(box.List(0));
    EXPECT_TRUE(box.FullResult.empty());
    EXPECT_EQ(box.NumberOfUniqueId("0.1"), 0);
}
