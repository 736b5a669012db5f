#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mail/TcpSocket.h"

// A minimal SMTP client: EHLO (falling back to HELO), any number of
// MAIL FROM / RCPT TO / DATA transactions on one connection, QUIT. It never
// authenticates. No operation throws; ResultCode and ResultString keep the
// server's last answer.
class TSmtpClient {
public:
    TSmtpClient();
    ~TSmtpClient();
    TSmtpClient(const TSmtpClient&) = delete;
    TSmtpClient& operator=(const TSmtpClient&) = delete;

    bool Login();
    // size > 0 is announced only when the server offers SIZE.
    bool MailFrom(const std::string& address, long long size);
    bool RcptTo(const std::string& address);
    // Each line is sent followed by CR LF and dot-stuffed. A CR or LF inside a
    // line breaks it into several lines, so a message can never end the DATA
    // phase early or smuggle commands.
    bool SendData(const std::vector<std::string>& lines);
    void Logout();
    // The first capability starting with prefix (any case), empty when none.
    std::string FindCapability(const std::string& prefix) const;

    int Timeout = 300000;
    std::string Host = "localhost";
    std::string Port = "smtp";
    int ResultCode = 0;
    std::string ResultString;
    std::vector<std::string> FullResult;
    std::vector<std::string> Capabilities;
    bool Esmtp = true;
    std::string Username;
    std::string Password;
    bool SizeSupported = false;
    long long MaxSize = 0;
    std::string LocalName;

    TTcpSocket& Socket() { return *socket_; }

private:
    bool Command(const std::string& text);
    void ReadSmtpReply();
    std::string GreetingName() const;
    std::unique_ptr<TTcpSocket> socket_;
};
