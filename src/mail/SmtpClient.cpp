#include "mail/SmtpClient.h"

#include <arpa/inet.h>

#include "mail/ProtocolText.h"

namespace {

// Replies longer than this are not followed further.
constexpr std::size_t MaxReplyLines = 10000;

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
    socket_->Disconnect();
    socket_->MakeSocket();
    socket_->ConnectTo(Host, Port);
    if (socket_->LastError != 0) return false;
    ReadSmtpReply();
    if (ResultCode != 220) return false;
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
