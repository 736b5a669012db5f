// Receive Mail and Process Mail for accounts whose servers speak TLS, and the
// account test that tells what was negotiated or why it was refused.
#include "core/MailRunFixture.h"
#include "core/SettingsRules.h"
#include "mail/TlsSettings.h"

namespace {

class TTlsMailRunTest : public TMailRunTest {
protected:
    // An account on the Dovecot with TLS and on an SMTP server with TLS and AUTH.
    std::int64_t AddTlsAccount(const std::string& proto, const std::string& port, const std::string& security,
                               const TTestMailbox& box, const std::string& smtpPort, const std::string& smtpSecurity) {
        const std::int64_t id = AddAccount(proto + " " + security, proto, box);
        auto& a = dm.cdsAccounts;
        a.Edit();
        a.SetValue("host", servers->TlsHost);
        a.SetAsString("port", port);
        a.SetValue("security", security);
        a.SetAsString("smtp_host_port", smtpPort);
        a.SetValue("smtp_security", smtpSecurity);
        a.Post();
        return id;
    }

    // The text of the account test of the current account.
    std::string AccountTestText() {
        ui.messages.clear();
        dm.TestAccount();
        return ui.messages.empty() ? std::string() : ui.messages.back().text;
    }
};

TEST_F(TTlsMailRunTest, ScanAndProcessMailOverEachKindOfTls) {
    struct {
        std::string proto, port, security, smtpPort, smtpSecurity;
    } cases[] = {
        {"POP3", servers->Pop3StlsPort, "auto", servers->SmtpStarttlsPort, "auto"},
        {"POP3", servers->Pop3sPort, "tls", servers->SmtpsPort, "tls"},
        {"IMAP", servers->ImapStarttlsPort, "starttls", servers->SmtpStarttlsPort, "starttls"},
        {"IMAP", servers->ImapsPort, "tls", servers->SmtpsPort, "tls"},
    };
    AddFilter("Lottery", 3, "lottery");
    AddFilter("Pills", 4, "viagra");
    for (auto& c : cases) {
        SCOPED_TRACE(c.proto + " " + c.security + " " + c.smtpSecurity);
        const std::string spammer = UniqueTestName("lotto") + "@prizes.test";
        TTestMailbox box({Message("friend@good.test", "hello"), Message(spammer, "win the lottery"),
                          Message("seller@shop.test", "cheap viagra")});
        while (!dm.cdsAccounts.IsEmpty()) dm.cdsAccounts.Delete();
        AddTlsAccount(c.proto, c.port, c.security, box, c.smtpPort, c.smtpSecurity);

        commands->ReceiveIdentityMailExecute();
        EXPECT_EQ(Rows(dm.cdsInBox).size(), 1u) << ::testing::PrintToString(LogTexts());
        ASSERT_EQ(Rows(dm.cdsDelBox).size(), 2u);
        EXPECT_TRUE(commands->AccountProblems().empty()) << commands->AccountProblems()[0].reason;
        // Reached over TLS once, the server must offer TLS from now on.
        EXPECT_TRUE(dm.cdsAccounts.AsBoolean("tls_used"));

        commands->DoProcessMail();
        EXPECT_TRUE(dm.cdsDelBox.IsEmpty()) << ::testing::PrintToString(LogTexts());
        EXPECT_TRUE(commands->AccountProblems().empty()) << commands->AccountProblems()[0].reason;
        EXPECT_EQ(box.Subjects(), std::vector<std::string>{"hello"});
        const auto bounces = CapturedMail(spammer);
        ASSERT_EQ(bounces.size(), 1u);
        EXPECT_EQ(bounces[0].AuthenticatedAs, box.User());
        const auto copies = CapturedMail(box.User() + "@" + servers->TlsHost);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].AuthenticatedAs, box.User());
        EXPECT_NE(copies[0].Data.find("Subject: Filtered: cheap viagra"), std::string::npos);
        EXPECT_TRUE(dm.cdsAccounts.AsBoolean("smtp_tls_used"));
        EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    }
}

TEST_F(TTlsMailRunTest, AccountTestTellsTheTlsOrWhyItWasRefused) {
    TTestMailbox box({Message("a@b.test", "one")});
    AddTlsAccount("POP3", servers->Pop3StlsPort, "auto", box, servers->SmtpStarttlsPort, "auto");
    EXPECT_EQ(AccountTestText(), "TEST POP3 SERVER OK (TLS 1.3)\r\nTEST SMTP SERVER OK (TLS 1.3)");

    auto& a = dm.cdsAccounts;
    a.Edit();
    a.SetValue("host", servers->SelfSigned.Host);
    a.SetAsString("port", servers->Pop3sPort);
    a.SetValue("security", std::string("tls"));
    a.SetValue("password", ScramblePassword(kPlainPasswordMark + std::string("wrong"), box.User(), true));
    a.Post();
    const std::string smtpRefused = "TEST SMTP SERVER ERR: the server refused the sign-in as " + box.User() +
                                    " (535 5.7.8 Authentication credentials invalid)";
    EXPECT_EQ(AccountTestText(), "TEST POP3 SERVER ERROR: the server's certificate is not trusted: the certificate is "
                                 "self-signed. Its SHA-256 fingerprint is " +
                                     servers->SelfSigned.Fingerprint + "\r\n" + smtpRefused);
    // Trusted, that certificate is taken; the wrong password is the server's to refuse.
    a.Edit();
    a.SetValue("trusted_cert", servers->SelfSigned.Fingerprint);
    a.Post();
    EXPECT_EQ(AccountTestText(), "TEST POP3 SERVER ERROR\r\n" + smtpRefused);
}

// From the settings dialog's "Test": a certificate that does not verify is
// offered to be trusted; "No" leaves the account as it was, "Yes" stores
// that certificate's fingerprint and the next test gets through.
TEST_F(TTlsMailRunTest, TheSettingsTestOffersToTrustACertificateThatDoesNotVerify) {
    TTestMailbox box({Message("a@b.test", "one")});
    AddTlsAccount("POP3", servers->Pop3sPort, "tls", box, servers->SmtpsPort, "tls");
    auto& a = dm.cdsAccounts;
    a.Edit();
    a.SetValue("host", servers->SelfSigned.Host);
    a.Post();
    const std::string scrambled = a.AsString("password");
    TSettingsRules rules(dm);
    for (TMsgResult answer : {TMsgResult::No, TMsgResult::Yes}) {
        ui.messages.clear();
        ui.answers = {TMsgResult::OK, answer};
        rules.TestAccount();
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_NE(ui.messages[1].text.find(servers->SelfSigned.Fingerprint), std::string::npos);
        EXPECT_NE(ui.messages[1].text.find(servers->SelfSigned.Host), std::string::npos);
        EXPECT_EQ(a.AsString("trusted_cert"), answer == TMsgResult::Yes ? servers->SelfSigned.Fingerprint : "");
    }
    EXPECT_EQ(a.AsString("smtp_trusted_cert"), "");
    EXPECT_EQ(a.AsString("password"), scrambled);
    ui.messages.clear();
    rules.TestAccount();
    ASSERT_EQ(ui.messages.size(), 1u);  // no question any more
    EXPECT_EQ(ui.messages[0].text, "TEST POP3 SERVER OK (TLS 1.3)\r\nTEST SMTP SERVER OK (TLS 1.3)");
}

// Once an account reached its server over TLS, that server no longer
// offering TLS is an error, not a sign-in in the clear.
TEST_F(TTlsMailRunTest, AServerThatDroppedTlsIsAProblemOfTheScan) {
    TTestMailbox box({Message("a@b.test", "one")});
    AddTlsAccount("POP3", servers->Pop3StlsPort, "auto", box, servers->SmtpStarttlsPort, "auto");
    commands->ReceiveIdentityMailExecute();
    ASSERT_TRUE(dm.cdsAccounts.AsBoolean("tls_used"));
    auto& a = dm.cdsAccounts;
    a.Edit();
    a.SetValue("host", servers->Host);
    a.SetAsString("port", servers->Pop3Port);  // the Dovecot without TLS
    a.Post();
    commands->ReceiveIdentityMailExecute();
    ASSERT_EQ(commands->AccountProblems().size(), 1u);
    EXPECT_TRUE(dm.cdsInBox.IsEmpty());
    EXPECT_NE(AccountTestText().find("the server no longer offers STLS"), std::string::npos);
    // Chosen by the user, the plain server is signed in to again.
    a.Edit();
    a.SetValue("security", std::string("none"));
    a.Post();
    commands->ReceiveIdentityMailExecute();
    EXPECT_TRUE(commands->AccountProblems().empty());
    EXPECT_EQ(Rows(dm.cdsInBox).size(), 1u);
}

TEST_F(TTlsMailRunTest, AnErrorMessageThatCannotSignInIsAnSmtpSendError) {
    TTestMailbox box;
    TAccountValues account;
    account.host = "pop.example.test";
    account.login = box.User();
    account.password = "wrong";
    account.smtpHost = servers->Host;
    account.smtpPort = std::stoi(servers->SmtpStarttlsPort);
    const std::string spammer = UniqueTestName("spammer") + "@spam.test";
    EXPECT_FALSE(complaint.SendErrorMessage(account, spammer, ""));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "SMTP send error\nthe server refused the sign-in as " + box.User() +
                                       " (535 5.7.8 Authentication credentials invalid)");
    // Signed in in the clear it never is: the server then refuses the mail.
    account.password = box.Password();
    account.smtpSecurity = "none";
    EXPECT_FALSE(complaint.SendErrorMessage(account, spammer, ""));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "SMTP send error\n530 Must issue a STARTTLS command first");
    EXPECT_TRUE(CapturedMail(spammer).empty());
}

}  // namespace
