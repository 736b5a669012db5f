#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What one HTTP request gave.
struct THttpResponse {
    bool ok = false;      // the exchange completed (whatever the status)
    long status = 0;      // status of the last response, after redirects
    int socketError = 0;  // Windows Sockets number of a connection failure, else 0
    std::string address;  // where the page came from, after redirects
    // The body up to its first NUL byte. A response without Content-Length
    // gives an empty page, as does any failure.
    std::string page;
};

// One web session over libcurl: the cookies a response sets go with the later
// requests of the same session (the web-mail sign-in lives in them), redirects
// are followed, also between http and https, and the proxy is the one the
// environment names. Nothing here throws.
class THttpSession {
public:
    static constexpr const char* UserAgent = "Mozilla/4.0 (Brackenmoth/2.0; Compatible)";
    static constexpr long MaxRedirects = 10;
    // A larger page is refused, so that a hostile site cannot exhaust memory.
    static constexpr std::size_t MaxPageBytes = 16u * 1024 * 1024;

    THttpSession();
    ~THttpSession();
    THttpSession(const THttpSession&) = delete;
    THttpSession& operator=(const THttpSession&) = delete;

    // Forgets the cookies and the open connections.
    void Reset();
    // How long connecting, or a transfer without a byte, may take; 0: no limit.
    void SetTimeout(int milliseconds) { timeoutMs_ = milliseconds; }

    // verb empty means GET; "POST" sends the body.
    THttpResponse HttpRequest(const std::string& address, const std::string& verb = {},
                              const std::vector<std::string>& headerLines = {}, const std::string& body = {});

private:
    struct TCurlDeleter {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, TCurlDeleter> curl_;
    int timeoutMs_ = 0;
};

// Text as an HTML form sends it (application/x-www-form-urlencoded): letters,
// digits and "-._*" stay, a blank becomes "+", every other byte "%XX".
std::string FormEncode(std::string_view text);
