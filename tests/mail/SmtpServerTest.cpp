#include <gtest/gtest.h>

#include "mail/SmtpClient.h"
#include "servers/MailServers.h"

namespace {

void Prepare(TSmtpClient& smtp) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_NE(servers, nullptr);
    smtp.Host = servers->Host;
    smtp.Port = servers->SmtpPort;
    smtp.Timeout = 5000;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

TEST(SmtpServer, EhloAnnouncesSize) {
    TSmtpClient smtp;
    Prepare(smtp);
    ASSERT_TRUE(smtp.Login()) << smtp.ResultString;
    EXPECT_TRUE(smtp.Esmtp);
    EXPECT_TRUE(smtp.SizeSupported);
    EXPECT_GT(smtp.MaxSize, 0);
    EXPECT_FALSE(smtp.Capabilities.empty());
    smtp.Logout();
}

TEST(SmtpServer, SeveralTransactionsArriveByteForByte) {
    const std::string first = UniqueTestName("first") + "@example.test";
    const std::string second = UniqueTestName("second") + "@example.test";
    const std::vector<std::string> one = {
        "From: Tarnwick <me@example.test>", "To: " + first, "Subject: Filtered: dots", "", ".", "..two dots",
        ".leading", "", "\tTab and 8-bit \xe4\xf6\xfc", std::string(900, 'L'), "last"};
    const std::vector<std::string> two = {"Subject: second", "", "body"};

    TSmtpClient smtp;
    Prepare(smtp);
    ASSERT_TRUE(smtp.Login());
    EXPECT_TRUE(smtp.MailFrom("MAILER-DAEMON@example.test", 0));
    EXPECT_TRUE(smtp.RcptTo(first));
    EXPECT_TRUE(smtp.SendData(one)) << smtp.ResultString;
    EXPECT_TRUE(smtp.MailFrom("me@example.test", 0));
    EXPECT_TRUE(smtp.RcptTo(second));
    EXPECT_TRUE(smtp.RcptTo(first));
    EXPECT_TRUE(smtp.SendData(two));
    smtp.Logout();

    auto toFirst = CapturedMail(first);
    ASSERT_EQ(toFirst.size(), 2u);
    EXPECT_EQ(toFirst[0].MailFrom, "MAILER-DAEMON@example.test");
    EXPECT_EQ(toFirst[0].Data, Joined(one));
    EXPECT_EQ(toFirst[1].Data, Joined(two));
    auto toSecond = CapturedMail(second);
    ASSERT_EQ(toSecond.size(), 1u);
    EXPECT_EQ(toSecond[0].Recipients, (std::vector<std::string>{second, first}));
}

TEST(SmtpServer, RejectedRecipientMakesDataFail) {
    TSmtpClient smtp;
    Prepare(smtp);
    ASSERT_TRUE(smtp.Login());
    EXPECT_FALSE(smtp.RcptTo("nobody@example.test"));  // no MAIL FROM yet
    EXPECT_FALSE(smtp.SendData({"x"}));
    smtp.Logout();
}
