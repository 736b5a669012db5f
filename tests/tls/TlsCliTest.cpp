// tarnwick-cli and TLS: the security options of a new account, and a
// certificate trusted only by the explicit command.
#include "app/CliRun.h"
#include "core/DataModule.h"
#include "servers/MailServers.h"

#include <gtest/gtest.h>

namespace {

class TTlsCliTest : public ::testing::Test {
protected:
    TCliHome home;
    const TMailServerInfo* servers = RequireMailServers();

    TCliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
        return RunCliProgram(home, args, input);
    }

    // The accounts as the program left them, of every identity.
    std::unique_ptr<TDM> Store() {
        auto dm = std::make_unique<TDM>();
        dm->LoadStore();
        dm->cdsAccounts.SetMaster(nullptr, "", "");
        return dm;
    }
};

TEST_F(TTlsCliTest, TheSecurityOfANewAccountAndItsUsualPorts) {
    ASSERT_TRUE(servers);
    ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0);
    struct {
        std::vector<std::string> options;
        std::string security, smtpSecurity;
        int port, smtpPort;
    } cases[] = {
        {{}, "auto", "auto", 110, 25},
        {{"--security", "tls", "--smtp-security", "TLS"}, "tls", "tls", 995, 465},
        {{"--proto", "imap", "--security", "ssl", "--smtp-security", "starttls"}, "tls", "starttls", 993, 25},
        {{"--security", "tls", "--port", "1995", "--smtp-security", "none"}, "tls", "none", 1995, 25},
    };
    for (auto& c : cases) {
        std::vector<std::string> args = {"account", "add", "--login", "anna", "--email", "anna@example.test"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const TCliRun added = Cli(args);
        ASSERT_EQ(added.status, 0) << added.err;
        auto dm = Store();
        dm->cdsAccounts.Last();
        EXPECT_EQ(dm->cdsAccounts.AsString("security"), c.security);
        EXPECT_EQ(dm->cdsAccounts.AsString("smtp_security"), c.smtpSecurity);
        EXPECT_EQ(dm->cdsAccounts.AsInteger("port"), c.port);
        EXPECT_EQ(dm->cdsAccounts.AsInteger("smtp_host_port"), c.smtpPort);
    }
    const TCliRun refused = Cli({"account", "add", "--login", "x", "--email", "x@y", "--security", "secure"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "tarnwick-cli: account add: --security: 'secure' is not auto, tls, starttls or none\n");
    EXPECT_EQ(Store()->cdsAccounts.RecordCount(), 4);
}

TEST_F(TTlsCliTest, AnUntrustedCertificateIsNamedAndTrustedOnlyByTheCommand) {
    ASSERT_TRUE(servers);
    TTestMailbox box;
    ASSERT_EQ(Cli({"identity", "add", "anna"}).status, 0);
    const TCliRun added = Cli({"account", "add", "--host", servers->SelfSigned.Host, "--port", servers->Pop3sPort,
                               "--security", "tls", "--login", box.User(), "--email", "anna@example.test",
                               "--smtp-host", servers->Host, "--smtp-port", servers->SmtpsPort, "--smtp-security",
                               "tls", "--account-password-fd", "0"},
                              box.Password() + "\n");
    ASSERT_EQ(added.status, 0) << added.err;
    const std::string refused = "TEST POP3 SERVER ERROR: the server's certificate is not trusted: the certificate "
                                "is self-signed. Its SHA-256 fingerprint is " +
                                servers->SelfSigned.Fingerprint + "\nTEST SMTP SERVER OK (TLS 1.3)\n";
    const TCliRun untrusted = Cli({"account", "test", "1"});
    EXPECT_EQ(untrusted.status, 1);
    EXPECT_EQ(untrusted.err, refused);

    const TCliRun typo = Cli({"account", "trust", "1", servers->SelfSigned.Fingerprint.substr(3)});
    EXPECT_EQ(typo.status, 2);
    EXPECT_NE(typo.err.find("is not a SHA-256 fingerprint"), std::string::npos) << typo.err;
    // Typed without colons, in lower case: the same certificate.
    std::string digits;
    for (char ch : servers->SelfSigned.Fingerprint)
        if (ch != ':') digits += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    ASSERT_EQ(Cli({"account", "trust", "1", digits}).status, 0);
    EXPECT_EQ(Store()->cdsAccounts.AsString("trusted_cert"), servers->SelfSigned.Fingerprint);
    EXPECT_EQ(Store()->cdsAccounts.AsString("smtp_trusted_cert"), "");
    const TCliRun trusted = Cli({"account", "test", "1"});
    EXPECT_EQ(trusted.status, 0) << trusted.err;
    EXPECT_EQ(trusted.err, "TEST POP3 SERVER OK (TLS 1.3)\nTEST SMTP SERVER OK (TLS 1.3)\n");

    ASSERT_EQ(Cli({"account", "trust", "1", "none"}).status, 0);
    EXPECT_EQ(Cli({"account", "test", "1"}).err, refused);
}

}  // namespace
