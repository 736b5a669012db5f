#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "mail/TlsSettings.h"

class TTlsStream;

// Blocking TCP transport shared by the POP3, IMAP and SMTP clients. Nothing
// here throws: every operation leaves its outcome in LastError, numbered as
// Windows Sockets numbers them (callers compare those numbers).

// Error numbers the transport itself sets.
constexpr int WsaTimedOut = 10060;
constexpr int WsaConnReset = 10054;
constexpr int WsaConnAborted = 10053;  // a TLS record that does not decrypt
constexpr int WsaNoBufs = 10055;  // also: a line grew beyond MaxLineLength
constexpr int WsaConnRefused = 10061;
constexpr int WsaAddrNotAvail = 10049;
constexpr int WsaHostNotFound = 11001;

// A line from a peer is bounded so that a hostile server cannot exhaust memory.
constexpr std::size_t DefaultMaxLineLength = 1024 * 1024;

// The Windows Sockets number for a POSIX errno value of a socket call.
int WsaErrorFromErrno(int error);
// The Windows Sockets number for a getaddrinfo result code (EAI_*).
int WsaErrorFromAddrInfo(int code, int savedErrno);

// Bytes received but not yet handed out. Lines are taken from the front by
// moving a mark instead of moving the bytes behind them, so that reading a
// buffer full of short lines costs time in proportion to its bytes.
class TLineBuffer {
public:
    bool empty() const { return start_ == end_; }
    std::size_t size() const { return end_ - start_; }
    void clear();
    std::string_view View() const { return std::string_view(bytes_.data() + start_, end_ - start_); }
    void Assign(std::string_view bytes);
    // Drops up to count bytes from the front.
    void Consume(std::size_t count);
    // Room for up to count bytes read straight in, in place of what it held;
    // Filled then tells how many came.
    char* Room(std::size_t count);
    void Filled(std::size_t count) { end_ = count; }

    friend bool operator==(const TLineBuffer& buffer, std::string_view text) { return buffer.View() == text; }
    friend std::ostream& operator<<(std::ostream& out, const TLineBuffer& buffer);

private:
    std::string bytes_;  // its size is the room; the bytes held are [start_, end_)
    std::size_t start_ = 0, end_ = 0;
};

class TSocketBase {
public:
    TSocketBase();
    virtual ~TSocketBase();
    TSocketBase(const TSocketBase&) = delete;
    TSocketBase& operator=(const TSocketBase&) = delete;

    virtual void MakeSocket();
    virtual void Disconnect();
    virtual void ConnectTo(const std::string& host, const std::string& port);
    virtual std::size_t SendText(std::string_view data);
    virtual std::size_t ReceiveExact(std::string& buffer, std::size_t length, int timeout);
    virtual std::string ReceiveLine(int timeout);
    virtual std::string ReceiveUntil(int timeout, std::string_view terminator);

    bool WaitReadable(int timeout);
    // The platform buffer sizes of this socket; the next MakeSocket starts
    // again with the platform's own.
    void SetReceiveBufferSize(int size);
    void SetSendBufferSize(int size);
    bool Connected() const { return handle_ >= 0; }

    // Turns the open connection into TLS (at once for implicit TLS, after the
    // protocol's STARTTLS): handshake, certificate checked for host, or equal
    // to trustedFingerprint. Every read and send after it goes through TLS
    // with the same rules. Bytes the server sent before the handshake refuse
    // it: they could only have been put there by someone in between. On
    // failure the connection is closed, LastError is SecureFailure (or the
    // network's error) and Tls().Problem says why.
    bool StartTls(const std::string& host, const std::string& trustedFingerprint, int timeout);
    bool Encrypted() const { return tls_ != nullptr; }
    // The TLS of the current (or last) connection.
    const TTlsOutcome& Tls() const { return tlsOutcome_; }

    // Text form of the addresses of the current connection ("127.0.0.1:110").
    const std::string& LocalAddress() const { return localAddress_; }
    const std::string& RemoteAddress() const { return remoteAddress_; }

    int LastError = 0;
    TLineBuffer LineBuffer;
    // 0 means no limit.
    std::size_t MaxLineLength = DefaultMaxLineLength;

    // The port a port text names: a service name of the TCP service table, else
    // a decimal number from 1 to 65535; 0 for anything else.
    static int ResolvePort(const std::string& port);

protected:
    int OpenHandle(int family);
    bool RefillLineBuffer(int timeout);
    std::size_t ReceivePlain(char* into, std::size_t room, int timeout);
    bool RefillFromTls(int timeout);
    bool TakeLineUntil(std::string_view terminator, std::string& line);
    void CloseHandle();

    int handle_ = -1;
    int protocol_ = 6;
    int receiveBufferSize_ = 0;  // 0: platform default
    int sendBufferSize_ = 0;
    std::string localAddress_;
    std::string remoteAddress_;
    std::unique_ptr<TTlsStream> tls_;
    TTlsOutcome tlsOutcome_;
};

// SOCKS settings that the program never enables; with an empty proxy host
// every connection is direct.
class TProxySocket : public TSocketBase {
public:
    std::string ProxyHost;
    std::string ProxyPort = "1080";
    int ProxyTimeout = 300000;
    std::string ProxyUser;
    std::string ProxyPassword;
};

class TTcpSocket : public TProxySocket {};

// This machine's name: the host name resolved to its official name, or
// "127.0.0.1" when either step fails. Looked up once per process.
std::string LocalHostName();

// True when text holds a CR, LF or NUL: such text must never be placed into a
// protocol command, where it would start a command of its own.
bool HoldsLineBreakOrNul(std::string_view text);
