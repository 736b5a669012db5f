#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// How a connection to one server of an account is secured, and what came of
// it. Shared by the POP3, IMAP and SMTP clients.

// The user's choice per server. Automatic: implicit TLS on the protocol's TLS
// port (995, 993, 465), else STARTTLS when the server offers it, else plain;
// once a server was reached over TLS, it must offer TLS again.
enum class TSecurity { Automatic, Tls, StartTls, None };

// The stored words "auto", "tls", "starttls", "none" (any case; "ssl" for
// "tls"); empty text is Automatic, as for rows stored before the choice existed.
std::optional<TSecurity> ParseSecurity(std::string_view text);
const char* SecurityWord(TSecurity security);

struct TTlsSettings {
    TSecurity Security = TSecurity::Automatic;
    // The server has been reached over TLS before: Automatic refuses a
    // connection on which it no longer offers TLS.
    bool RequireTls = false;
    // SHA-256 of a certificate the user trusts for this server although it
    // does not verify (any form ParseFingerprint takes); empty for none.
    std::string TrustedFingerprint;
    // Told when the server's certificate was accepted, before anything else is sent.
    std::function<void()> OnEncrypted;
};

// What the TLS of the last connection came to.
struct TTlsOutcome {
    bool Encrypted = false;
    std::string Version;      // "TLS 1.3"
    // SHA-256 of the server's certificate as "AB:CD:...", empty when none was seen.
    std::string Fingerprint;
    bool TrustedByFingerprint = false;  // accepted only because the user trusts it
    // Why the connection was given up for its security, in words for the user;
    // empty when it was not.
    std::string Problem;
};

// Why a connection was refused for its security: the socket's LastError then
// holds this number (ERROR_WINHTTP_SECURE_FAILURE), and the client's
// ResultString the problem in words.
constexpr int SecureFailure = 12175;

// A SHA-256 fingerprint as 64 upper-case hex digits, from text with or
// without colons and blanks, in any case; nothing for anything else.
std::optional<std::string> ParseFingerprint(std::string_view text);
// 64 hex digits as "AB:CD:..."; other text is returned as it is.
std::string FingerprintText(std::string_view digits);

// Whether the connection starts with the TLS handshake.
bool StartsWithTls(const TTlsSettings& settings, int port, int implicitTlsPort);

// What a plain connection does once it knows whether the server offers TLS.
enum class TPlainStep { Upgrade, StayPlain, Refuse };
TPlainStep StepOnPlainConnection(const TTlsSettings& settings, bool tlsOffered);
// Why a plain connection was refused (StepOnPlainConnection gave Refuse);
// command is the protocol's upgrade command ("STLS", "STARTTLS").
std::string PlainRefusalText(const TTlsSettings& settings, const std::string& command);
