#include "mail/TlsSettings.h"

#include "mail/ProtocolText.h"

std::optional<TSecurity> ParseSecurity(std::string_view text) {
    const std::string word = UpperAscii(text);
    if (word.empty() || word == "AUTO") return TSecurity::Automatic;
    if (word == "TLS" || word == "SSL") return TSecurity::Tls;
    if (word == "STARTTLS") return TSecurity::StartTls;
    if (word == "NONE") return TSecurity::None;
    return std::nullopt;
}

const char* SecurityWord(TSecurity security) {
    switch (security) {
        case TSecurity::Tls: return "tls";
        case TSecurity::StartTls: return "starttls";
        case TSecurity::None: return "none";
        case TSecurity::Automatic: break;
    }
    return "auto";
}

std::optional<std::string> ParseFingerprint(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c == ':' || c == ' ') continue;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return std::nullopt;
        digits += c;
    }
    if (digits.size() != 64) return std::nullopt;
    return UpperAscii(digits);
}

std::string FingerprintText(std::string_view digits) {
    if (digits.size() != 64) return std::string(digits);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (i > 0) text += ':';
        text += digits.substr(i, 2);
    }
    return text;
}

bool StartsWithTls(const TTlsSettings& settings, int port, int implicitTlsPort) {
    return settings.Security == TSecurity::Tls || (settings.Security == TSecurity::Automatic && port == implicitTlsPort);
}

TPlainStep StepOnPlainConnection(const TTlsSettings& settings, bool tlsOffered) {
    switch (settings.Security) {
        case TSecurity::None: return TPlainStep::StayPlain;
        case TSecurity::Tls: return TPlainStep::Refuse;  // never reached: such a connection starts with TLS
        case TSecurity::StartTls: return tlsOffered ? TPlainStep::Upgrade : TPlainStep::Refuse;
        case TSecurity::Automatic: break;
    }
    if (tlsOffered) return TPlainStep::Upgrade;
    return settings.RequireTls ? TPlainStep::Refuse : TPlainStep::StayPlain;
}

std::string PlainRefusalText(const TTlsSettings& settings, const std::string& command) {
    if (settings.Security == TSecurity::Automatic)
        return "the server no longer offers " + command +
               ", though this account has used TLS with it before; the connection may have been tampered "
               "with, so the password was not sent (choose the security \"None\" if the server really "
               "dropped TLS)";
    return "the server does not offer " + command + ", which the account's security setting asks for; the "
           "password was not sent";
}
