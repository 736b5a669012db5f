// POP3 and IMAP over TLS against the loopback Dovecot that takes no sign-in
// before TLS, and its bad certificates.
#include "mail/ImapClient.h"
#include "mail/Mailbox.h"
#include "mail/ServerMessages.h"
#include "servers/MailServers.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TPop3Client> Mailbox(const std::string& proto, const std::string& host, const std::string& port,
                                     TSecurity security, const TTestMailbox& box) {
    auto mailbox = CreateMailbox(proto);
    mailbox->Host = host;
    mailbox->Port = port;
    mailbox->AuthType = AuthUserPass;
    mailbox->Timeout = 5000;
    mailbox->Username = box.User();
    mailbox->Password = box.Password();
    mailbox->Tls.Security = security;
    return mailbox;
}

TEST(TlsDovecot, ReadingAMailboxOverEachKindOfTls) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_TRUE(servers);
    TTestMailbox box(TestMessages(12));
    struct {
        const char* name;
        std::string proto, port;
        TSecurity security;
    } cases[] = {
        {"POP3, STLS when offered", "POP3", servers->Pop3StlsPort, TSecurity::Automatic},
        {"POP3, STLS required", "POP3", servers->Pop3StlsPort, TSecurity::StartTls},
        {"POP3S", "POP3", servers->Pop3sPort, TSecurity::Tls},
        {"IMAP, STARTTLS when offered", "IMAP", servers->ImapStarttlsPort, TSecurity::Automatic},
        {"IMAP, STARTTLS required", "IMAP", servers->ImapStarttlsPort, TSecurity::StartTls},
        {"IMAPS", "IMAP", servers->ImapsPort, TSecurity::Tls},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto mailbox = Mailbox(c.proto, servers->TlsHost, c.port, c.security, box);
        // Several IMAP ranges, each sent while the one before is still coming.
        if (c.proto == "IMAP") dynamic_cast<TIMAP&>(*mailbox).HeaderRange = 5;
        int told = 0;
        mailbox->Tls.OnEncrypted = [&told] { ++told; };
        ASSERT_TRUE(mailbox->Login()) << mailbox->ResultString;
        EXPECT_EQ(told, 1);
        EXPECT_EQ(mailbox->SecurityText(), "TLS 1.3");
        EXPECT_EQ(mailbox->TlsOutcome().Fingerprint, servers->GoodFingerprint);
        ASSERT_TRUE(mailbox->Stat());
        EXPECT_EQ(mailbox->StatCount, 12);
        mailbox->PrefetchHeaders(1, 12);
        for (int n = 1; n <= 12; ++n) {
            ASSERT_TRUE(mailbox->Top(n, 0)) << n;
            EXPECT_EQ(SubjectOf(mailbox->FullResult), "Message " + std::to_string(n));
        }
        ASSERT_TRUE(mailbox->Retr(1));
        EXPECT_EQ(SubjectOf(mailbox->FullResult), "Message 1");
        mailbox->Logout();
        EXPECT_EQ(mailbox->SecurityText(), "");
    }
    // Without the upgrade this server takes no password at all.
    for (const std::string proto : {"POP3", "IMAP"}) {
        auto plain = Mailbox(proto, servers->TlsHost,
                             proto == "POP3" ? servers->Pop3StlsPort : servers->ImapStarttlsPort, TSecurity::None, box);
        EXPECT_FALSE(plain->Login()) << proto;
        EXPECT_EQ(plain->SocketError(), 0) << proto;
    }
    EXPECT_EQ(box.Messages().size(), 12u);
}

TEST(TlsDovecot, ABadCertificateIsRefusedWithItsReasonAndFingerprintUnlessTrusted) {
    const TMailServerInfo* servers = RequireMailServers();
    ASSERT_TRUE(servers);
    TTestMailbox box(TestMessages(1));
    struct {
        const char* name;
        TBadCertificate certificate;
        std::string reason;
    } cases[] = {
        {"expired", servers->Expired, "the certificate has expired (valid until 2020-02-01 00:00 UTC)"},
        {"not yet valid", servers->NotYetValid, "the certificate is not valid yet (valid from 2090-01-01 00:00 UTC)"},
        {"self-signed", servers->SelfSigned, "the certificate is self-signed"},
        {"another name", servers->OtherName, "the certificate is for mail.other.test, not for 127.0.0.5"},
    };
    for (auto& c : cases) {
        for (const std::string proto : {"POP3", "IMAP"}) {
            SCOPED_TRACE(std::string(c.name) + " " + proto);
            const std::string port = proto == "POP3" ? servers->Pop3sPort : servers->ImapsPort;
            auto refused = Mailbox(proto, c.certificate.Host, port, TSecurity::Tls, box);
            EXPECT_FALSE(refused->Login());
            EXPECT_EQ(refused->SocketError(), SecureFailure);
            EXPECT_EQ(refused->ResultString, "the server's certificate is not trusted: " + c.reason +
                                                 ". Its SHA-256 fingerprint is " + c.certificate.Fingerprint);
            EXPECT_EQ(refused->TlsOutcome().Fingerprint, c.certificate.Fingerprint);

            auto trusted = Mailbox(proto, c.certificate.Host, port, TSecurity::Tls, box);
            trusted->Tls.TrustedFingerprint = c.certificate.Fingerprint;
            ASSERT_TRUE(trusted->Login()) << trusted->ResultString;
            EXPECT_TRUE(trusted->TlsOutcome().TrustedByFingerprint);
            EXPECT_TRUE(trusted->Stat());
            trusted->Logout();

            // Trust is for that certificate alone, not for whatever the server shows.
            auto other = Mailbox(proto, c.certificate.Host, port, TSecurity::Tls, box);
            other->Tls.TrustedFingerprint = servers->GoodFingerprint;
            EXPECT_FALSE(other->Login());
        }
    }
}

}  // namespace
