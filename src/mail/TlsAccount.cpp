#include "mail/TlsAccount.h"

#include "mail/Mailbox.h"
#include "mail/SmtpClient.h"
#include "parsing/TextOps.h"

namespace {

TTlsSettings Settings(const std::string& security, bool used, const std::string& trusted,
                      const std::function<void(bool)>& remember, bool outgoing) {
    TTlsSettings settings;
    // A word this version does not know keeps the safest reading of the choice.
    settings.Security = ParseSecurity(security).value_or(TSecurity::Automatic);
    settings.RequireTls = used;
    settings.TrustedFingerprint = trusted;
    if (remember && !used) settings.OnEncrypted = [remember, outgoing] { remember(outgoing); };
    return settings;
}

}  // namespace

TTlsSettings IncomingTlsSettings(const TAccountValues& account) {
    return Settings(account.security, account.tlsUsed, account.trustedCertificate, account.rememberTls, false);
}

TTlsSettings OutgoingTlsSettings(const TAccountValues& account) {
    return Settings(account.smtpSecurity, account.smtpTlsUsed, account.smtpTrustedCertificate, account.rememberTls,
                    true);
}

std::unique_ptr<TPop3Client> CreateAccountMailbox(const TAccountValues& account) {
    std::unique_ptr<TPop3Client> mailbox = CreateMailbox(account.proto);
    mailbox->Host = account.host;
    mailbox->Port = std::to_string(account.port);
    mailbox->AuthType = AuthUserPass;
    mailbox->Username = account.login;
    mailbox->Password = account.password;
    mailbox->Tls = IncomingTlsSettings(account);
    return mailbox;
}

void SetUpSmtpClient(TSmtpClient& smtp, const TAccountValues& account) {
    smtp.Host = TrimText(account.smtpHost);
    smtp.Port = std::to_string(account.smtpPort);
    smtp.Tls = OutgoingTlsSettings(account);
    smtp.Username = account.login;
    smtp.Password = account.password;
}
