#include "mail/SmtpClient.h"

#include <arpa/inet.h>

#include <algorithm>

#include <openssl/evp.h>

#include "mail/ProtocolText.h"
#include "parsing/TextOps.h"

namespace {

// Replies longer than this are not followed further.
constexpr std::size_t MaxReplyLines = 10000;

std::string Base64(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return text;
}

// The mechanisms of "AUTH PLAIN LOGIN" (or the older "AUTH=PLAIN LOGIN"), upper-cased.
std::vector<std::string> AuthMechanisms(const std::vector<std::string>& capabilities) {
    std::vector<std::string> mechanisms;
    for (const std::string& capability : capabilities) {
        const std::string upper = UpperAscii(capability);
        if (!StartsWith(upper, "AUTH ") && !StartsWith(upper, "AUTH=")) continue;
        std::size_t start = 5;
        while (start < upper.size()) {
            std::size_t end = upper.find(' ', start);
            if (end == std::string::npos) end = upper.size();
            if (end > start) mechanisms.push_back(upper.substr(start, end - start));
            start = end + 1;
        }
    }
    return mechanisms;
}

bool Offers(const std::vector<std::string>& mechanisms, const char* mechanism) {
    return std::find(mechanisms.begin(), mechanisms.end(), mechanism) != mechanisms.end();
}

}  // namespace

TSmtpClient::TSmtpClient() : LocalName(LocalHostName()), socket_(std::make_unique<TTcpSocket>()) {
    socket_->MakeSocket();
}

TSmtpClient::~TSmtpClient() = default;

void TSmtpClient::ReadSmtpReply() {
    FullResult.clear();
    ResultString.clear();
    while (true) {
        std::string line = socket_->ReceiveLine(Timeout);
        if (socket_->LastError != 0) {
            // A reply that broke off: its late rest must not answer the next command.
            const int error = socket_->LastError;
            socket_->Disconnect();
            socket_->LastError = error;
            FullResult.clear();
            break;
        }
        ResultString = line;
        FullResult.push_back(std::move(line));
        if (ResultString.find('-') != 3) break;
        if (FullResult.size() >= MaxReplyLines) {
            socket_->Disconnect();
            break;
        }
    }
    ResultCode = 0;
    if (!FullResult.empty() && FullResult.front().size() >= 3)
        ResultCode = static_cast<int>(ParseDecimal(std::string_view(FullResult.front()).substr(0, 3)));
}

bool TSmtpClient::Command(const std::string& text) {
    socket_->SendText(text + "\r\n");
    if (socket_->LastError != 0) {
        FullResult.clear();
        ResultString.clear();
        ResultCode = 0;
        return false;
    }
    ReadSmtpReply();
    return true;
}

// An address literal must be bracketed in EHLO and HELO; strict servers
// refuse a bare one.
std::string TSmtpClient::GreetingName() const {
    if (LocalName.empty() || HoldsLineBreakOrNul(LocalName)) return "[127.0.0.1]";
    unsigned char address[16];
    if (inet_pton(AF_INET, LocalName.c_str(), address) == 1) return "[" + LocalName + "]";
    if (inet_pton(AF_INET6, LocalName.c_str(), address) == 1) return "[IPv6:" + LocalName + "]";
    return LocalName;
}

bool TSmtpClient::Login() {
    Esmtp = true;
    Capabilities.clear();
    SizeSupported = false;
    MaxSize = 0;
    Authenticated = false;
    LoginProblem.clear();
    socket_->Disconnect();
    socket_->MakeSocket();
    socket_->ConnectTo(Host, Port);
    if (socket_->LastError != 0) return false;
    if (StartsWithTls(Tls, TSocketBase::ResolvePort(Port), 465) && !BeginTls()) return false;
    ReadSmtpReply();
    if (ResultCode != 220) return false;
    if (!Greet()) return false;
    if (!socket_->Encrypted() && !UpgradeIfOffered()) return false;
    return Authenticate();
}

bool TSmtpClient::Refuse(const std::string& problem) {
    socket_->Disconnect();
    socket_->LastError = SecureFailure;
    FullResult.clear();
    ResultCode = 0;
    ResultString = problem;
    LoginProblem = problem;
    return false;
}

bool TSmtpClient::BeginTls() {
    if (!socket_->StartTls(Host, Tls.TrustedFingerprint, Timeout)) return Refuse(socket_->Tls().Problem);
    if (Tls.OnEncrypted) Tls.OnEncrypted();
    return true;
}

// STARTTLS when the server offers it and the settings want it; EHLO again
// afterwards, as what the server said before may be forged.
bool TSmtpClient::UpgradeIfOffered() {
    if (Tls.Security == TSecurity::None) return true;
    bool offered = false;
    for (const std::string& capability : Capabilities)
        offered = offered || UpperAscii(TrimText(capability)) == "STARTTLS";
    switch (StepOnPlainConnection(Tls, Esmtp && offered)) {
        case TPlainStep::StayPlain: return true;
        case TPlainStep::Refuse: return Refuse(PlainRefusalText(Tls, "STARTTLS"));
        case TPlainStep::Upgrade: break;
    }
    if (!Command("STARTTLS") || ResultCode != 220) {
        if (!socket_->Connected()) return false;
        return Refuse("the server offers STARTTLS but refused it (" + ResultString + "); the password was not sent");
    }
    return BeginTls() && Greet();
}

// AUTH PLAIN, else LOGIN, with Username and Password when the server offers
// either. Over a plain connection the password stays here unless the
// security is None: a server that insists on it then refuses the mail itself.
bool TSmtpClient::Authenticate() {
    const std::vector<std::string> mechanisms = AuthMechanisms(Capabilities);
    const bool plain = Offers(mechanisms, "PLAIN"), login = Offers(mechanisms, "LOGIN");
    if (Username.empty() || (!plain && !login)) return true;
    if (!socket_->Encrypted() && Tls.Security != TSecurity::None) return true;
    const bool holdsNul = Username.find('\0') != std::string::npos || Password.find('\0') != std::string::npos;
    bool ok;
    if (plain && !holdsNul) {
        ok = Command("AUTH PLAIN " + Base64(std::string(1, '\0') + Username + '\0' + Password)) && ResultCode == 235;
    } else {
        ok = login && Command("AUTH LOGIN") && ResultCode == 334 && Command(Base64(Username)) && ResultCode == 334 &&
             Command(Base64(Password)) && ResultCode == 235;
    }
    if (!ok) {
        LoginProblem = "the server refused the sign-in as " + Username +
                       (ResultString.empty() ? std::string() : " (" + ResultString + ")");
        return false;
    }
    Authenticated = true;
    return true;
}

bool TSmtpClient::Greet() {
    Esmtp = true;
    Capabilities.clear();
    SizeSupported = false;
    MaxSize = 0;
    if (!Command("EHLO " + GreetingName()) || ResultCode < 250 || ResultCode > 259) {
        Esmtp = false;
        if (!Command("HELO " + GreetingName()) || ResultCode < 250 || ResultCode > 259) return false;
    }
    if (Esmtp) {
        for (std::size_t i = 1; i < FullResult.size(); ++i)
            Capabilities.push_back(FullResult[i].size() > 4 ? FullResult[i].substr(4) : std::string());
        std::string size = FindCapability("SIZE");
        if (!size.empty()) {
            SizeSupported = true;
            MaxSize = size.size() > 5 ? ParseDecimal(std::string_view(size).substr(5)) : 0;
        }
    }
    return true;
}

std::string TSmtpClient::SecurityText() const {
    return socket_->Encrypted() ? socket_->Tls().Version : std::string();
}

bool TSmtpClient::MailFrom(const std::string& address, long long size) {
    if (HoldsLineBreakOrNul(address)) return false;
    std::string command = "MAIL FROM:<" + address + ">";
    if (SizeSupported && size > 0) command += " SIZE=" + std::to_string(size);
    return Command(command) && ResultCode == 250;
}

bool TSmtpClient::RcptTo(const std::string& address) {
    if (HoldsLineBreakOrNul(address)) return false;
    return Command("RCPT TO:<" + address + ">") && ResultCode == 250;
}

bool TSmtpClient::SendData(const std::vector<std::string>& lines) {
    if (!Command("DATA") || ResultCode != 354) return false;
    std::string text;
    auto add = [&text](std::string_view line) {
        if (!line.empty() && line.front() == '.') text += '.';
        text += line;
        text += "\r\n";
    };
    for (const std::string& line : lines) {
        if (line.find_first_of("\r\n") == std::string::npos) {
            add(line);
        } else {
            for (const std::string& part : SplitLines(line)) add(part);
        }
        if (text.size() >= 64 * 1024) {
            socket_->SendText(text);
            text.clear();
            if (socket_->LastError != 0) return false;
        }
    }
    text += ".\r\n";
    socket_->SendText(text);
    if (socket_->LastError != 0) return false;
    ReadSmtpReply();
    return ResultCode == 250;
}

void TSmtpClient::Logout() {
    Command("QUIT");
    socket_->Disconnect();
}

std::string TSmtpClient::FindCapability(const std::string& prefix) const {
    for (const std::string& capability : Capabilities)
        if (StartsWithNoCase(capability, prefix)) return capability;
    return {};
}
