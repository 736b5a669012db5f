#include "mail/TcpSocket.h"

#include "mail/TlsStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <memory>
#include <mutex>
#include <ostream>

namespace {

constexpr int WsaNotSock = 10038;
constexpr std::size_t RefillLimit = 16384;

std::string AddressText(const sockaddr* address) {
    char host[INET6_ADDRSTRLEN] = {};
    int port = 0;
    if (address->sa_family == AF_INET) {
        auto* in = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
        port = ntohs(in->sin_port);
        return std::string(host) + ":" + std::to_string(port);
    }
    if (address->sa_family == AF_INET6) {
        auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
        port = ntohs(in6->sin6_port);
        return "[" + std::string(host) + "]:" + std::to_string(port);
    }
    return {};
}

struct TAddrInfoDeleter {
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

}  // namespace

int WsaErrorFromErrno(int error) {
    switch (error) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: case EPIPE: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return 10022;  // nothing closer among the Windows Sockets numbers
    }
}

int WsaErrorFromAddrInfo(int code, int savedErrno) {
    switch (code) {
    case 0: return 0;
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return WsaHostNotFound;
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
    case EAI_MEMORY: return 10055;
    case EAI_FAMILY: return 10047;
    case EAI_SOCKTYPE: return 10044;
    case EAI_SERVICE: return 10109;
    case EAI_SYSTEM: return WsaErrorFromErrno(savedErrno);
    default: return WsaHostNotFound;
    }
}

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void TLineBuffer::clear() { start_ = end_ = 0; }

void TLineBuffer::Assign(std::string_view bytes) {
    if (bytes_.size() < bytes.size()) bytes_.resize(bytes.size());
    bytes.copy(bytes_.data(), bytes.size());
    start_ = 0;
    end_ = bytes.size();
}

void TLineBuffer::Consume(std::size_t count) {
    start_ += std::min(count, size());
    if (empty()) clear();
}

char* TLineBuffer::Room(std::size_t count) {
    if (bytes_.size() < count) bytes_.resize(count);
    clear();
    return bytes_.data();
}

std::ostream& operator<<(std::ostream& out, const TLineBuffer& buffer) { return out << buffer.View(); }

TSocketBase::TSocketBase() = default;

TSocketBase::~TSocketBase() { Disconnect(); }

int TSocketBase::OpenHandle(int family) {
    CloseHandle();
    handle_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (handle_ < 0) return WsaErrorFromErrno(errno);
    if (receiveBufferSize_ > 0)
        setsockopt(handle_, SOL_SOCKET, SO_RCVBUF, &receiveBufferSize_, sizeof receiveBufferSize_);
    if (sendBufferSize_ > 0)
        setsockopt(handle_, SOL_SOCKET, SO_SNDBUF, &sendBufferSize_, sizeof sendBufferSize_);
    return 0;
}

void TSocketBase::CloseHandle() {
    tls_.reset();
    if (handle_ >= 0) {
        ::close(handle_);
        handle_ = -1;
    }
}

void TSocketBase::MakeSocket() {
    LineBuffer.clear();
    // Buffer sizes belong to a handle: a new socket starts with the platform's,
    // which the kernel tunes to the stream. Only the fresh handle of ConnectTo,
    // which stands for the same socket, takes over what was set.
    receiveBufferSize_ = sendBufferSize_ = 0;
    LastError = OpenHandle(AF_INET);
}

void TSocketBase::Disconnect() {
    if (handle_ < 0) return;
    if (tls_) tls_->Close();
    ::shutdown(handle_, SHUT_WR);
    ::shutdown(handle_, SHUT_RDWR);
    CloseHandle();
}

int TSocketBase::ResolvePort(const std::string& port) {
    if (port.empty()) return 0;
    // No service is named by digits: a number needs no look-up in the
    // services table (which loads the name-service modules).
    const bool digits = std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        if (port.size() > 5) return 0;
        const int value = std::stoi(port);
        return value <= 65535 ? value : 0;
    }
    servent service{};
    servent* found = nullptr;
    char buffer[1024];
    if (getservbyname_r(port.c_str(), "tcp", &service, buffer, sizeof buffer, &found) == 0 && found)
        return ntohs(static_cast<uint16_t>(found->s_port));
    // The names the program itself uses, for a system without a services table.
    static const struct {
        const char* name;
        int port;
    } known[] = {{"pop3", 110}, {"smtp", 25}, {"imap", 143}, {"imap2", 143}};
    for (const auto& entry : known)
        if (port == entry.name) return entry.port;
    return 0;
}

void TSocketBase::ConnectTo(const std::string& host, const std::string& port) {
    LineBuffer.clear();
    tlsOutcome_ = {};
    localAddress_.clear();
    remoteAddress_.clear();
    int portNumber = ResolvePort(port);
    if (portNumber == 0) {
        // Port 0 can never be reached; this is what Windows Sockets answers.
        LastError = WsaAddrNotAvail;
        return;
    }
    std::string name = host;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    if (name.empty()) {
        LastError = WsaHostNotFound;
        return;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* raw = nullptr;
    int code = getaddrinfo(name.c_str(), nullptr, &hints, &raw);
    std::unique_ptr<addrinfo, TAddrInfoDeleter> list(raw);
    if (code != 0 || !raw) {
        LastError = WsaErrorFromAddrInfo(code, errno);
        return;
    }
    int error = WsaHostNotFound;
    for (addrinfo* a = raw; a; a = a->ai_next) {
        sockaddr_storage target{};
        std::memcpy(&target, a->ai_addr, std::min<std::size_t>(a->ai_addrlen, sizeof target));
        if (a->ai_family == AF_INET)
            reinterpret_cast<sockaddr_in*>(&target)->sin_port = htons(static_cast<uint16_t>(portNumber));
        else if (a->ai_family == AF_INET6)
            reinterpret_cast<sockaddr_in6*>(&target)->sin6_port = htons(static_cast<uint16_t>(portNumber));
        else
            continue;
        // Every attempt gets a fresh handle of the address's family: a socket
        // whose connect failed is not reliably usable again.
        error = OpenHandle(a->ai_family);
        if (error != 0) continue;
        int result;
        do {
            result = ::connect(handle_, reinterpret_cast<sockaddr*>(&target), a->ai_addrlen);
        } while (result < 0 && errno == EINTR);
        if (result == 0) {
            sockaddr_storage local{};
            socklen_t length = sizeof local;
            if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) == 0)
                localAddress_ = AddressText(reinterpret_cast<sockaddr*>(&local));
            remoteAddress_ = AddressText(reinterpret_cast<sockaddr*>(&target));
            int on = 1;
            setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            LastError = 0;
            return;
        }
        error = WsaErrorFromErrno(errno);
    }
    CloseHandle();
    LastError = error;
}

std::size_t TSocketBase::SendText(std::string_view data) {
    if (handle_ < 0) {
        LastError = WsaNotSock;
        return 0;
    }
    if (tls_) return tls_->Write(data.data(), data.size(), LastError);
    std::size_t sent = 0;
    LastError = 0;
    while (sent < data.size()) {
        // MSG_NOSIGNAL: a peer that has gone away must give an error, not SIGPIPE.
        ssize_t n = ::send(handle_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            LastError = WsaErrorFromErrno(errno);
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    return sent;
}

bool TSocketBase::WaitReadable(int timeout) {
    if (handle_ < 0) {
        LastError = WsaNotSock;
        return false;
    }
    if (tls_ && tls_->HasPending()) return true;
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout < 0 ? 0 : timeout);
    pollfd entry{handle_, POLLIN, 0};
    int wait = timeout < 0 ? -1 : timeout;
    while (true) {
        int result = ::poll(&entry, 1, wait);
        if (result > 0) return (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (result == 0) return false;
        if (errno != EINTR) {
            LastError = WsaErrorFromErrno(errno);
            return false;
        }
        if (timeout >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
    }
}

void TSocketBase::SetReceiveBufferSize(int size) {
    receiveBufferSize_ = size;
    LastError = 0;
    if (handle_ >= 0 && setsockopt(handle_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size) != 0)
        LastError = WsaErrorFromErrno(errno);
}

void TSocketBase::SetSendBufferSize(int size) {
    sendBufferSize_ = size;
    LastError = 0;
    if (handle_ >= 0 && setsockopt(handle_, SOL_SOCKET, SO_SNDBUF, &size, sizeof size) != 0)
        LastError = WsaErrorFromErrno(errno);
}

// Reads what is waiting, up to RefillLimit bytes, or waits for the next bytes,
// so the timeout bounds each silent period.
bool TSocketBase::RefillLineBuffer(int timeout) {
    if (tls_) return RefillFromTls(timeout);
    // Read straight into the buffer: a copy of every byte would cost more.
    LineBuffer.Filled(ReceivePlain(LineBuffer.Room(RefillLimit), RefillLimit, timeout));
    return LastError == 0;
}

// One read of what the socket holds, up to room bytes; when nothing is there
// yet, waits up to timeout for the next bytes. Waiting comes second: on a busy
// connection the bytes are nearly always there already, and the read alone
// is one call instead of three. 0 with LastError set on silence or a close.
std::size_t TSocketBase::ReceivePlain(char* into, std::size_t room, int timeout) {
    if (handle_ < 0) {
        LastError = WsaNotSock;
        return 0;
    }
    while (true) {
        const ssize_t n = ::recv(handle_, into, room, MSG_DONTWAIT);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n == 0) {
            LastError = WsaConnReset;
            return 0;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            LastError = WsaErrorFromErrno(errno);
            return 0;
        }
        if (!WaitReadable(timeout)) {
            if (LastError == 0) LastError = WsaTimedOut;
            return 0;
        }
    }
}

// What the TLS layer has decrypted comes first, without a wait: the socket
// may be silent while a whole record is waiting there. Only when nothing is
// left does the read wait for the next record. A record is taken whole: it
// is in memory already, and its pieces would each cost a call.
bool TSocketBase::RefillFromTls(int timeout) {
    constexpr std::size_t RecordLimit = 16384;
    const std::size_t pending = tls_->Pending();
    const std::size_t want = pending > 0 ? std::min(pending, RecordLimit) : RecordLimit;
    LineBuffer.Filled(tls_->Read(LineBuffer.Room(want), want, timeout, LastError));
    return LastError == 0;
}

// Moves the bytes before the terminator from LineBuffer to line and drops the
// terminator; true once it was found. Lines get exactly the room they need:
// a reply may hold millions of them.
bool TSocketBase::TakeLineUntil(std::string_view terminator, std::string& line) {
    const std::string_view pending = LineBuffer.View();
    if (line.empty()) {
        const std::size_t end = pending.find(terminator);
        const std::size_t length = end == std::string_view::npos ? pending.size() : end;
        line = std::string(pending.substr(0, length));
        LineBuffer.Consume(end == std::string_view::npos ? length : end + terminator.size());
        return end != std::string_view::npos;
    }
    // The terminator may have begun at the end of the earlier reads.
    const std::size_t searchFrom = line.size() - std::min(line.size(), terminator.size() - 1);
    line += pending;
    LineBuffer.clear();
    const std::size_t end = line.find(terminator, searchFrom);
    if (end == std::string::npos) return false;
    LineBuffer.Assign(std::string_view(line).substr(end + terminator.size()));
    line.resize(end);
    line.shrink_to_fit();
    return true;
}

std::string TSocketBase::ReceiveUntil(int timeout, std::string_view terminator) {
    if (terminator.empty()) return {};
    LastError = 0;
    std::string line;
    bool complete = false;
    while (!complete) {
        if (LineBuffer.empty() && !RefillLineBuffer(timeout)) return {};
        complete = TakeLineUntil(terminator, line);
        if (MaxLineLength > 0 && line.size() > MaxLineLength) {
            LastError = WsaNoBufs;
            return {};
        }
    }
    return line;
}

std::string TSocketBase::ReceiveLine(int timeout) { return ReceiveUntil(timeout, "\r\n"); }

std::size_t TSocketBase::ReceiveExact(std::string& buffer, std::size_t length, int timeout) {
    LastError = 0;
    buffer.clear();
    buffer.reserve(std::min<std::size_t>(length, 1024 * 1024));
    const std::size_t take = std::min(length, LineBuffer.size());
    buffer.append(LineBuffer.View().substr(0, take));
    LineBuffer.Consume(take);
    if (buffer.size() >= length) return buffer.size();
    // Read straight into the buffer: clearing a chunk of the receive buffer's
    // size for every literal cost more than the headers it carried.
    constexpr std::size_t kTlsRecord = 16 * 1024, kMostAtOnce = 256 * 1024;
    const auto room = [&buffer](std::size_t want) {
        buffer.resize(buffer.size() + want);
        return buffer.data() + buffer.size() - want;
    };
    while (tls_ && buffer.size() < length) {
        const std::size_t want = std::min(kTlsRecord, length - buffer.size());
        char* at = room(want);
        const std::size_t n = tls_->Read(at, want, timeout, LastError);
        buffer.resize(buffer.size() - want + n);
        if (n == 0) break;
    }
    while (!tls_ && buffer.size() < length) {
        const std::size_t want = std::min(kMostAtOnce, length - buffer.size());
        char* at = room(want);
        const std::size_t n = ReceivePlain(at, want, timeout);
        buffer.resize(buffer.size() - want + n);
        if (n == 0) break;
    }
    return buffer.size();
}

bool TSocketBase::StartTls(const std::string& host, const std::string& trustedFingerprint, int timeout) {
    tlsOutcome_ = {};
    if (handle_ < 0) {
        LastError = WsaNotSock;
        return false;
    }
    if (tls_) return true;
    std::string name = host;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    if (!LineBuffer.empty()) {
        tlsOutcome_.Problem = "the server sent more than its answer before the TLS handshake; someone may be "
                              "tampering with the connection";
    } else {
        tls_ = TTlsStream::Start(handle_, name, trustedFingerprint, timeout, tlsOutcome_);
    }
    if (tls_) {
        LastError = 0;
        return true;
    }
    Disconnect();
    LastError = SecureFailure;
    return false;
}

std::string LocalHostName() {
    static std::once_flag once;
    static std::string name;
    std::call_once(once, [] {
        char host[257] = {};
        name = "127.0.0.1";
        if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return;
        addrinfo hints{};
        hints.ai_flags = AI_CANONNAME;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* raw = nullptr;
        if (getaddrinfo(host, nullptr, &hints, &raw) != 0 || !raw) return;
        std::unique_ptr<addrinfo, TAddrInfoDeleter> list(raw);
        if (raw->ai_canonname && raw->ai_canonname[0]) name = raw->ai_canonname;
    });
    return name;
}
