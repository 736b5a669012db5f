#include <gtest/gtest.h>

#include "mail/FakeServer.h"
#include "mail/SmtpClient.h"

namespace {

void Prepare(TSmtpClient& smtp, const TFakeServer& server) {
    smtp.Host = "127.0.0.1";
    smtp.Port = server.Port();
    smtp.Timeout = 1000;
}

TScript Greeted(std::vector<TStep> rest) {
    TScript script{S("220 fake ESMTP\r\n"), C("EHLO *"), S("250 fake\r\n")};
    script.insert(script.end(), rest.begin(), rest.end());
    return script;
}

}  // namespace

TEST(SmtpScript, EhloRefusedHeloAccepted) {
    TFakeServer server({S("220 old\r\n"), C("EHLO *"), S("500 what\r\n"), C("HELO *"), S("250 hi\r\n"), Pause(100)});
    TSmtpClient smtp;
    Prepare(smtp, server);
    EXPECT_TRUE(smtp.Login());
    EXPECT_FALSE(smtp.Esmtp);
    EXPECT_TRUE(smtp.Capabilities.empty());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SmtpScript, FourLineEhloWithSize) {
    TFakeServer server({S("220 x\r\n"), C("EHLO *"),
                         S("250-mx.example.test\r\n250-PIPELINING\r\n250-SIZE 35882577\r\n250 8BITMIME\r\n"),
                         C("MAIL FROM:<a@x> SIZE=1200"), S("250 ok\r\n"), Pause(100)});
    TSmtpClient smtp;
    Prepare(smtp, server);
    ASSERT_TRUE(smtp.Login());
    EXPECT_TRUE(smtp.Esmtp);
    EXPECT_EQ(smtp.Capabilities, (std::vector<std::string>{"PIPELINING", "SIZE 35882577", "8BITMIME"}));
    EXPECT_TRUE(smtp.SizeSupported);
    EXPECT_EQ(smtp.MaxSize, 35882577);
    EXPECT_EQ(smtp.FindCapability("size"), "SIZE 35882577");
    EXPECT_EQ(smtp.FindCapability("AUTH"), "");
    EXPECT_TRUE(smtp.MailFrom("a@x", 1200));
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SmtpScript, DashLaterInTheLineEndsTheReply) {
    TFakeServer server(Greeted({C("RCPT TO:<b@x>"), S("250 OK - done\r\n"), Pause(100)}));
    TSmtpClient smtp;
    Prepare(smtp, server);
    ASSERT_TRUE(smtp.Login());
    EXPECT_TRUE(smtp.RcptTo("b@x"));
    EXPECT_EQ(smtp.FullResult.size(), 1u);
    EXPECT_EQ(smtp.ResultCode, 250);
}

TEST(SmtpScript, DataIsDotStuffedAndLineBreaksInsideLinesCannotEndIt) {
    TFakeServer server(Greeted({C("DATA"), S("354 go\r\n"), C(".."), C("..x"), C(""), C("a"), C("b"), C(".."),
                                C("MAIL FROM:<evil@x>"), C("."), S("250 queued\r\n"), Pause(100)}));
    TSmtpClient smtp;
    Prepare(smtp, server);
    ASSERT_TRUE(smtp.Login());
    EXPECT_TRUE(smtp.SendData({".", ".x", "", "a", "b\r\n.\r\nMAIL FROM:<evil@x>"}));
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SmtpScript, RefusedDataSendsNothingMore) {
    TFakeServer server(Greeted({C("DATA"), S("554 no valid recipients\r\n"), C("QUIT"), S("221 bye\r\n")}));
    TSmtpClient smtp;
    Prepare(smtp, server);
    ASSERT_TRUE(smtp.Login());
    EXPECT_FALSE(smtp.SendData({"line"}));
    EXPECT_EQ(smtp.ResultCode, 554);
    smtp.Logout();
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SmtpScript, AddressesWithLineBreaksAreNeverSent) {
    TFakeServer server(Greeted({C("RCPT TO:<ok@x>"), S("250 ok\r\n"), Pause(100)}));
    TSmtpClient smtp;
    Prepare(smtp, server);
    ASSERT_TRUE(smtp.Login());
    EXPECT_FALSE(smtp.MailFrom("a@x>\r\nRCPT TO:<victim@y", 0));
    EXPECT_FALSE(smtp.RcptTo(std::string("v@y\0", 4)));
    EXPECT_TRUE(smtp.RcptTo("ok@x"));
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SmtpScript, FailuresToSignIn) {
    {
        TSmtpClient smtp;
        smtp.Host = "127.0.0.1";
        smtp.Port = "";
        EXPECT_FALSE(smtp.Login());
    }
    {
        TFakeServer server({S("554 not here\r\n"), Pause(100)});
        TSmtpClient smtp;
        Prepare(smtp, server);
        EXPECT_FALSE(smtp.Login());
        EXPECT_EQ(smtp.ResultCode, 554);
    }
    {
        TFakeServer server({Pause(500)});
        TSmtpClient smtp;
        Prepare(smtp, server);
        smtp.Timeout = 200;
        EXPECT_FALSE(smtp.Login());
        EXPECT_EQ(smtp.ResultCode, 0);
    }
}

TEST(SmtpScript, ALateAnswerNeverAnswersTheNextCommand) {
    // The answer to RCPT comes after the client gave up waiting.
    TFakeServer server(Greeted({C("RCPT TO:<b@x>"), Pause(1300), S("250 late\r\n"), Pause(300)}));
    TSmtpClient smtp;
    Prepare(smtp, server);
    ASSERT_TRUE(smtp.Login());
    EXPECT_FALSE(smtp.RcptTo("b@x"));
    EXPECT_EQ(smtp.Socket().LastError, 10060);
    EXPECT_FALSE(smtp.RcptTo("c@x"));  // not "250 late"
    EXPECT_NE(smtp.ResultString, "250 late");
}
