// SMTP over TLS with a sign-in, against the loopback servers that require
// STARTTLS and AUTH, or TLS from the first byte and AUTH.
#include "mail/SmtpClient.h"
#include "servers/MailServers.h"

#include <gtest/gtest.h>

namespace {

TEST(TlsSmtp, MailArrivesSignedInOverTls) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_TRUE(servers);
    TTestMailbox user;
    struct {
        const char* name;
        std::string host, port;
        TSecurity security;
    } cases[] = {
        {"STARTTLS when offered", servers->Host, servers->SmtpStarttlsPort, TSecurity::Automatic},
        {"TLS from the first byte", servers->Host, servers->SmtpsPort, TSecurity::Tls},
        // A name instead of an address: sent to the server and checked against the certificate's names.
        {"TLS from the first byte, by name", "localhost", servers->SmtpsPort, TSecurity::Tls},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string recipient = UniqueTestName("to") + "@example.test";
        TSmtpClient smtp;
        smtp.Host = c.host;
        smtp.Port = c.port;
        smtp.Timeout = 5000;
        smtp.Tls.Security = c.security;
        smtp.Username = user.User();
        smtp.Password = user.Password();
        ASSERT_TRUE(smtp.Login()) << smtp.ResultString << " " << smtp.LoginProblem;
        EXPECT_TRUE(smtp.Authenticated);
        EXPECT_EQ(smtp.SecurityText(), "TLS 1.3");
        EXPECT_TRUE(smtp.MailFrom("me@example.test", 0));
        EXPECT_TRUE(smtp.RcptTo(recipient));
        EXPECT_TRUE(smtp.SendData({"Subject: over TLS", "", "body"}));
        smtp.Logout();
        const auto mail = CapturedMail(recipient);
        ASSERT_EQ(mail.size(), 1u);
        EXPECT_EQ(mail[0].AuthenticatedAs, user.User());
    }
}

TEST(TlsSmtp, AWrongPasswordIsToldWithTheServersAnswer) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_TRUE(servers);
    TTestMailbox user;
    for (const std::string& port : {servers->SmtpStarttlsPort, servers->SmtpsPort}) {
        TSmtpClient smtp;
        smtp.Host = servers->Host;
        smtp.Port = port;
        smtp.Timeout = 5000;
        smtp.Tls.Security = port == servers->SmtpsPort ? TSecurity::Tls : TSecurity::Automatic;
        smtp.Username = user.User();
        smtp.Password = "wrong";
        EXPECT_FALSE(smtp.Login());
        EXPECT_FALSE(smtp.Authenticated);
        EXPECT_EQ(smtp.LoginProblem,
                  "the server refused the sign-in as " + user.User() + " (535 5.7.8 Authentication credentials invalid)");
    }
}

}  // namespace
