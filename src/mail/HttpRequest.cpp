#include "mail/HttpRequest.h"

#include <curl/curl.h>

#include "mail/TcpSocket.h"

namespace {

// libcurl's global set-up is not thread-safe: done once, before any handle.
void InitCurlOnce() {
    static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)done;
}

struct TSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using TSlist = std::unique_ptr<curl_slist, TSlistDeleter>;

struct TBody {
    std::string bytes;
    bool tooLarge = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
    auto& body = *static_cast<TBody*>(user);
    const size_t length = size * count;
    if (body.bytes.size() + length > THttpSession::MaxPageBytes) {
        body.tooLarge = true;
        return 0;  // ends the transfer with an error
    }
    body.bytes.append(data, length);
    return length;
}

int WsaErrorOf(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return WsaHostNotFound;
        case CURLE_COULDNT_CONNECT: return WsaConnRefused;
        case CURLE_OPERATION_TIMEDOUT: return WsaTimedOut;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE: return WsaConnReset;
        default: return 0;
    }
}

bool ListAppend(TSlist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) return false;
    (void)list.release();
    list.reset(grown);
    return true;
}

}  // namespace

void THttpSession::TCurlDeleter::operator()(void* handle) const { curl_easy_cleanup(handle); }

THttpSession::THttpSession() { Reset(); }

THttpSession::~THttpSession() = default;

void THttpSession::Reset() {
    InitCurlOnce();
    curl_.reset(curl_easy_init());
}

THttpResponse THttpSession::HttpRequest(const std::string& address, const std::string& verb,
                                        const std::vector<std::string>& headerLines, const std::string& body) {
    THttpResponse response;
    CURL* curl = curl_.get();
    if (!curl) return response;
    // Options of the previous request (a POST body) must not carry over; the
    // cookies and connections of the handle do.
    curl_easy_reset(curl);
    TBody received;
    TSlist headers;
    for (const std::string& line : headerLines)
        if (!ListAppend(headers, line)) return response;

    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // the in-memory cookie store
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, MaxRedirects);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    if (timeoutMs_ > 0) {
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs_));
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeoutMs_ + 999) / 1000);
    }
    if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    if (verb == "POST") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    } else if (!verb.empty() && verb != "GET") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }

    const CURLcode code = curl_easy_perform(curl);
    // The handle keeps a pointer to the header list until the next request.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    if (code != CURLE_OK) {
        response.socketError = WsaErrorOf(code);
        return response;
    }
    response.ok = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    const char* effective = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        response.address = effective;
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length < 0) return response;
    const std::size_t end = received.bytes.find('\0');
    response.page = end == std::string::npos ? std::move(received.bytes) : received.bytes.substr(0, end);
    return response;
}

std::string FormEncode(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::string_view("-._*").find(static_cast<char>(c)) != std::string_view::npos) {
            encoded += static_cast<char>(c);
        } else if (c == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}
