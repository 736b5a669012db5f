#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mail/TcpSocket.h"

// A minimal SMTP client: EHLO (falling back to HELO), TLS as Tls asks
// (implicit on port 465 when Automatic, else STARTTLS), sign-in with AUTH
// PLAIN or LOGIN when the server offers it and Username is set, then any
// number of MAIL FROM / RCPT TO / DATA transactions on one connection, QUIT.
// The password is only ever sent over TLS, or in the clear when the security
// is None. No operation throws; ResultCode and ResultString keep the server's
// last answer.
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
    // "TLS 1.3" while the connection is encrypted, empty when it is not.
    std::string SecurityText() const;
    const TTlsOutcome& TlsOutcome() const { return socket_->Tls(); }

    int Timeout = 300000;
    std::string Host = "localhost";
    std::string Port = "smtp";
    int ResultCode = 0;
    std::string ResultString;
    std::vector<std::string> FullResult;
    std::vector<std::string> Capabilities;
    bool Esmtp = true;
    TTlsSettings Tls;
    // Signed in with these when the server offers AUTH; empty: no sign-in.
    std::string Username;
    std::string Password;
    // Whether the last Login signed in.
    bool Authenticated = false;
    // Why the last Login failed when it was the security or the sign-in, in
    // words for the user; empty when it was not (ResultString and the
    // socket's LastError tell about a server that could not be reached).
    std::string LoginProblem;
    bool SizeSupported = false;
    long long MaxSize = 0;
    std::string LocalName;

    TTcpSocket& Socket() { return *socket_; }

private:
    bool Greet();
    bool BeginTls();
    bool UpgradeIfOffered();
    bool Refuse(const std::string& problem);
    bool Authenticate();
    bool Command(const std::string& text);
    void ReadSmtpReply();
    std::string GreetingName() const;
    std::unique_ptr<TTcpSocket> socket_;
};
