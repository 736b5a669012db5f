// The sign-ins around TLS against scripted servers, for what real servers do
// not show: TLS taken away, a sign-in offered only in the clear.
#include "mail/FakeServer.h"
#include "mail/Mailbox.h"
#include "mail/SmtpClient.h"

#include <gtest/gtest.h>

namespace {

bool SendsCredentials(const std::string& line) {
    for (const char* command : {"USER", "PASS", "APOP", "AUTH", "S2 LOGIN", "S2 AUTHENTICATE", "S3 LOGIN"})
        if (line.rfind(command, 0) == 0) return true;
    return false;
}

// A server that no longer offers TLS to an account that has used TLS with it
// (someone in between may have struck the offer out), or that does not offer
// it to an account that asks for it: the sign-in stops before any password.
TEST(TlsScript, NoPasswordLeavesWhenTheServerDoesNotOfferTls) {
    const TScript pop3WithoutStls{S("+OK ready\r\n"), C("CAPA"), S("+OK\r\nUSER\r\n.\r\n"), Pause(300)};
    const TScript imapWithoutStarttls{S("* OK ready\r\n"), C("S1 CAPABILITY"),
                                      S("* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\nS1 OK\r\n"), Pause(300)};
    struct {
        const char* name;
        std::string proto;
        TSecurity security;
        bool usedBefore;
        TScript script;
    } cases[] = {
        {"POP3, STLS struck out", "POP3", TSecurity::Automatic, true, pop3WithoutStls},
        {"POP3, STARTTLS chosen", "POP3", TSecurity::StartTls, false, pop3WithoutStls},
        {"POP3, STLS offered and refused", "POP3", TSecurity::Automatic, false,
         {S("+OK ready\r\n"), C("CAPA"), S("+OK\r\nSTLS\r\nUSER\r\n.\r\n"), C("STLS"), S("-ERR not now\r\n"), Pause(300)}},
        {"IMAP, STARTTLS struck out", "IMAP", TSecurity::Automatic, true, imapWithoutStarttls},
        {"IMAP, STARTTLS chosen", "IMAP", TSecurity::StartTls, false, imapWithoutStarttls},
        {"IMAP, signed in before any TLS", "IMAP", TSecurity::Automatic, true,
         {S("* PREAUTH welcome\r\n"), C("S1 CAPABILITY"), S("* CAPABILITY IMAP4rev1 STARTTLS\r\nS1 OK\r\n"), Pause(300)}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeServer server(c.script);
        auto box = CreateMailbox(c.proto);
        box->Host = "127.0.0.1";
        box->Port = server.Port();
        box->AuthType = AuthUserPass;
        box->Username = "u";
        box->Password = "p";
        box->Timeout = 1000;
        box->Tls.Security = c.security;
        box->Tls.RequireTls = c.usedBefore;
        EXPECT_FALSE(box->Login());
        EXPECT_EQ(box->SocketError(), SecureFailure);
        EXPECT_NE(box->ResultString.find("password was not sent"), std::string::npos) << box->ResultString;
        EXPECT_FALSE(box->Connected());
        EXPECT_EQ(server.Mismatch(), "");
        for (const std::string& line : server.Received()) EXPECT_FALSE(SendsCredentials(line)) << line;
    }
}

TEST(TlsScript, SmtpSignsInOnlyOverTlsUnlessTheUserChoseNone) {
    struct {
        const char* name;
        TSecurity security;
        bool usedBefore;
        TScript script;
        bool loginOk, authenticated;
    } cases[] = {
        // Never in the clear: the server then refuses the mail itself, and says so.
        {"AUTH offered without STARTTLS", TSecurity::Automatic, false,
         {S("220 hi\r\n"), C("EHLO *"), S("250-hi\r\n250 AUTH PLAIN LOGIN\r\n"), C("MAIL FROM:<a@b.test>"),
          S("530 5.7.0 Authentication required\r\n"), Pause(200)},
         true, false},
        {"STARTTLS struck out", TSecurity::Automatic, true,
         {S("220 hi\r\n"), C("EHLO *"), S("250-hi\r\n250 AUTH PLAIN LOGIN\r\n"), Pause(200)}, false, false},
        {"None: PLAIN in the clear", TSecurity::None, false,
         {S("220 hi\r\n"), C("EHLO *"), S("250-hi\r\n250-STARTTLS\r\n250 AUTH LOGIN PLAIN\r\n"), C("AUTH PLAIN AHUAcA=="),
          S("235 2.7.0 ok\r\n"), C("MAIL FROM:<a@b.test>"), S("250 ok\r\n"), Pause(200)},
         true, true},
        {"None: LOGIN when PLAIN is not offered", TSecurity::None, false,
         {S("220 hi\r\n"), C("EHLO *"), S("250-hi\r\n250 AUTH=LOGIN\r\n"), C("AUTH LOGIN"), S("334 VXNlcm5hbWU6\r\n"),
          C("dQ=="), S("334 UGFzc3dvcmQ6\r\n"), C("cA=="), S("235 2.7.0 ok\r\n"), C("MAIL FROM:<a@b.test>"),
          S("250 ok\r\n"), Pause(200)},
         true, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeServer server(c.script);
        TSmtpClient smtp;
        smtp.Host = "127.0.0.1";
        smtp.Port = server.Port();
        smtp.Timeout = 1000;
        smtp.Username = "u";
        smtp.Password = "p";
        smtp.Tls.Security = c.security;
        smtp.Tls.RequireTls = c.usedBefore;
        ASSERT_EQ(smtp.Login(), c.loginOk) << smtp.ResultString;
        EXPECT_EQ(smtp.Authenticated, c.authenticated);
        if (c.loginOk) {
            EXPECT_EQ(smtp.MailFrom("a@b.test", 0), c.authenticated);
        } else {
            EXPECT_EQ(smtp.Socket().LastError, SecureFailure);
        }
        EXPECT_EQ(server.Mismatch(), "");
        if (!c.authenticated) {
            for (const std::string& line : server.Received()) EXPECT_FALSE(SendsCredentials(line)) << line;
        }
    }
}

// What the server said before STARTTLS may have been written by someone in
// between: it is asked again over TLS, and only that answer counts.
TEST(TlsScript, SmtpCapabilitiesAreReadAgainOverTls) {
    const TTestCertificate certificate = MakeTestCertificate("127.0.0.1");
    TFakeServer server({S("220 hi\r\n"), C("EHLO *"), S("250-hi\r\n250-SIZE 10\r\n250 STARTTLS\r\n"), C("STARTTLS"),
                        S("220 go ahead\r\n"), StartTls(certificate), C("EHLO *"), S("250-hi\r\n250 AUTH PLAIN\r\n"),
                        C("AUTH PLAIN AHUAcA=="), S("235 2.7.0 ok\r\n"), Pause(200)});
    TSmtpClient smtp;
    smtp.Host = "127.0.0.1";
    smtp.Port = server.Port();
    smtp.Timeout = 1000;
    smtp.Username = "u";
    smtp.Password = "p";
    smtp.Tls.TrustedFingerprint = certificate.Fingerprint;
    int told = 0;
    smtp.Tls.OnEncrypted = [&told] { ++told; };
    ASSERT_TRUE(smtp.Login()) << smtp.ResultString;
    EXPECT_TRUE(smtp.Authenticated);
    EXPECT_EQ(smtp.SecurityText(), "TLS 1.3");
    EXPECT_FALSE(smtp.SizeSupported);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(server.Mismatch(), "");
}

}  // namespace
