#include "complaints/Whois.h"

#include "base/UserInterface.h"
#include "filtering/Regex.h"
#include "mail/ProtocolText.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>

namespace {

constexpr int kSliceMs = 50;  // how often the user interface gets its turn while waiting

class TDescriptor {
public:
    explicit TDescriptor(int fd) : fd_(fd) {}
    ~TDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

struct TAddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

using TClock = std::chrono::steady_clock;

// Waits for events on fd in short slices, letting the user interface work in
// between; false when limitMs passed without them.
bool WaitFor(int fd, short events, int limitMs) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, kSliceMs);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
        UserInterface().ProcessMessages();
        if (TClock::now() >= deadline) return false;
    }
}

// A connected, non-blocking socket, or -1.
int Connect(const TWhoisEndpoint& server, int limitMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* raw = nullptr;
    if (server.host.empty() || getaddrinfo(server.host.c_str(), server.port.c_str(), &hints, &raw) != 0) return -1;
    std::unique_ptr<addrinfo, TAddrInfoFree> list(raw);
    for (addrinfo* a = raw; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int result = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (result < 0 && errno == EINPROGRESS && WaitFor(fd, POLLOUT, limitMs)) {
            int error = 0;
            socklen_t length = sizeof error;
            result = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
        }
        if (result == 0) return fd;
        ::close(fd);
    }
    return -1;
}

bool SendAll(int fd, const std::string& text, int limitMs) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!WaitFor(fd, POLLOUT, limitMs)) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string UpperCase(const std::string& text) { return CodePageUpperCase(text); }

// The address as the resolver takes it; all bits set when it does not parse.
in_addr_t ParsedAddress(const std::string& text) { return ::inet_addr(text.c_str()); }

bool IsPrivate(in_addr_t networkOrder) {
    struct TNetwork {
        std::uint32_t network, mask;
    };
    static constexpr TNetwork kPrivate[] = {
        {0x7F000000u, 0xFF000000u},  // 127.0.0.0
        {0x0A000000u, 0xFF000000u},  // 10.0.0.0
        {0xAC100000u, 0xFFF00000u},  // 172.16.0.0
        {0xC0A80000u, 0xFFFF0000u},  // 192.168.0.0
    };
    const std::uint32_t address = ntohl(networkOrder);
    return std::any_of(std::begin(kPrivate), std::end(kPrivate),
                       [address](const TNetwork& n) { return (address & n.mask) == n.network; });
}

struct TDomainParts {
    std::string domain, topLevel;
};

// a.b.c.d: domain c.d, top-level domain d.
TDomainParts SplitHostName(const std::string& host) {
    const std::size_t last = host.rfind('.');
    if (last == std::string::npos) return {host, host};
    const std::size_t second = last == 0 ? std::string::npos : host.rfind('.', last - 1);
    return {second == std::string::npos ? host : host.substr(second + 1), host.substr(last + 1)};
}

// The reply for a host name: the directory of its top-level domain, its
// re-query forms, and the registrar's own record it refers to.
bool DomainReply(const std::string& host, const TWhoisSettings& settings, std::string& reply) {
    const TDomainParts parts = SplitHostName(host);
    const TWhoisEndpoint directory = settings.DirectoryFor(parts.topLevel);
    if (!WhoisQuery(directory, parts.domain, settings, reply)) return false;
    if (reply.find("=xxx") != std::string::npos) {
        if (!WhoisQuery(directory, "=" + parts.domain, settings, reply)) return false;
    } else if (reply.find("!xxx") != std::string::npos) {
        if (!WhoisQuery(directory, "!" + parts.domain, settings, reply)) return false;
    }
    TRegex referral("Domain name: ([_a-zA-Z0-9\\-\\.]*).*Whois Server: ([_a-zA-Z0-9\\-\\.]*)", "igms-x");
    try {
        if (referral.Exec(reply)) {
            const TWhoisEndpoint registrar{referral.Match(2), settings.referralPort};
            return WhoisQuery(registrar, parts.domain, settings, reply);
        }
    } catch (const TRegexError&) {
        return true;  // a reply too tangled to search is taken as it is
    }
    return true;
}

}  // namespace

TWhoisEndpoint ParseWhoisEndpoint(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || text.find(':') != colon) return {text, "43"};
    const std::string port = text.substr(colon + 1);
    if (port.empty() || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        return {text, "43"};
    return {text.substr(0, colon), port};
}

TWhoisSettings TWhoisSettings::FromMiscIni() {
    TWhoisSettings settings;
    const TIniFile ini("misc.ini");
    const std::string registry = ini.ReadString("Whois", "IPServer", "");
    if (!registry.empty()) settings.ipRegistry = ParseWhoisEndpoint(registry);
    const std::string directory = ini.ReadString("Whois", "DomainServer", "");
    if (!directory.empty()) settings.domainServer = directory;
    const std::string referral = ini.ReadString("Whois", "ReferralPort", "");
    if (!referral.empty()) settings.referralPort = referral;
    return settings;
}

TWhoisEndpoint TWhoisSettings::DirectoryFor(const std::string& topLevelDomain) const {
    if (!domainServer.empty() && domainServer.front() == '.') {
        TWhoisEndpoint endpoint = ParseWhoisEndpoint(domainServer);
        endpoint.host = topLevelDomain + endpoint.host;
        return endpoint;
    }
    return ParseWhoisEndpoint(domainServer);
}

std::string SystemReverseName(const std::string& address) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = ParsedAddress(address);
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&target), sizeof target, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0)
        return {};
    return host;
}

bool WhoisQuery(const TWhoisEndpoint& server, const std::string& query, const TWhoisSettings& settings,
                std::string& reply) {
    const TDescriptor socket(Connect(server, settings.connectTimeoutMs));
    if (socket.Get() < 0) return false;
    reply.clear();
    if (!SendAll(socket.Get(), query + "\r\n", settings.idleTimeoutMs)) return false;
    char buffer[16384];
    for (;;) {
        if (!WaitFor(socket.Get(), POLLIN, settings.idleTimeoutMs)) return false;
        const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return false;
        }
        const std::size_t room = settings.maxReplyBytes - std::min(settings.maxReplyBytes, reply.size());
        reply.append(buffer, std::min(room, static_cast<std::size_t>(n)));
        if (static_cast<std::size_t>(n) > room) return false;
    }
}

void InsertSortedNoCase(std::vector<std::string>& list, const std::string& item) {
    const std::string key = UpperCase(item);
    const auto at = std::lower_bound(list.begin(), list.end(), key,
                                     [](const std::string& entry, const std::string& k) { return UpperCase(entry) < k; });
    if (at != list.end() && UpperCase(*at) == key) return;
    list.insert(at, item);
}

bool IsIPAddress(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
           std::count(text.begin(), text.end(), '.') == 3;
}

std::vector<std::string> ExtractRouteAddresses(const std::string& text) {
    std::vector<std::string> matches;
    TRegex pattern("([\\d]{1,3}\\.){3}[\\d]{1,3}");
    if (pattern.Exec(text)) do {
            matches.push_back(pattern.Match(0));
        } while (pattern.ExecNext());
    std::vector<std::string> offered;
    for (auto match = matches.rbegin(); match != matches.rend(); ++match)
        if (!IsPrivate(ParsedAddress(*match))) offered.push_back(*match);
    return offered;
}

std::vector<std::string> WhiteDomains() {
    std::vector<std::string> domains;
    for (const auto& [key, value] : TIniFile("wdlist.ini").ReadSectionValues("White domains"))
        domains.push_back(value);
    return domains;
}

TAbuseContacts FindAbuseAddresses(const std::string& address, const TWhoisSettings& settings) {
    TAbuseContacts found;
    std::vector<std::string> white;
    for (const std::string& domain : WhiteDomains()) white.push_back(UpperCase(domain));
    std::string host;
    if (IsIPAddress(address)) host = settings.reverseName ? settings.reverseName(address) : SystemReverseName(address);
    const bool answered = host.empty() ? WhoisQuery(settings.ipRegistry, address, settings, found.reply)
                                       : DomainReply(host, settings, found.reply);
    if (!answered) return found;
    TRegex pattern(kEmailAddressPattern);
    try {
        if (pattern.Exec(found.reply)) do {
                if (std::find(white.begin(), white.end(), UpperCase(pattern.Match(1))) == white.end())
                    InsertSortedNoCase(found.addresses, pattern.Match(0));
            } while (pattern.ExecNext());
    } catch (const TRegexError&) {
        // The addresses found before the search gave up are kept.
    }
    return found;
}
