#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One account row as the mail operations need it, the password already made readable.
struct TAccountValues {
    std::int64_t id = 0;
    std::string description;
    std::string host;
    int port = 110;
    std::string proto = "POP3";
    std::string login;
    std::string password;
    std::string smtpHost;
    int smtpPort = 25;
    std::string email;

    // Security of the incoming and of the outgoing server, as stored: "auto",
    // "tls", "starttls" or "none" (mail/TlsSettings.h reads them).
    std::string security = "auto";
    std::string smtpSecurity = "auto";
    // The server has been reached over TLS before: Automatic insists on it.
    bool tlsUsed = false;
    bool smtpTlsUsed = false;
    // SHA-256 of a certificate the user trusts for the server, empty for none.
    std::string trustedCertificate;
    std::string smtpTrustedCertificate;
    // Told when a server of the account is first reached over TLS (outgoing:
    // the SMTP server), so that the account remembers it; may be empty.
    std::function<void(bool outgoing)> rememberTls;
};
