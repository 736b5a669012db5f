#include "mail/FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

// Generous bounds for the client's side of the conversation.
constexpr int LineLimitMs = 5000;

struct TSslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
    void operator()(BIO* bio) const { BIO_free_all(bio); }
    void operator()(X509* cert) const { X509_free(cert); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// One accepted connection, plain until StartTls.
class TConnection {
public:
    explicit TConnection(int fd) : fd_(fd) {
        // Blocking TLS calls must not hang the test either.
        timeval limit{LineLimitMs / 1000, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    ~TConnection() {
        ssl_.reset();
        close(fd_);
    }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    bool StartTls(const std::string& pem) {
        std::unique_ptr<SSL_CTX, TSslFree> context(SSL_CTX_new(TLS_server_method()));
        std::unique_ptr<BIO, TSslFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
        std::unique_ptr<X509, TSslFree> cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        std::unique_ptr<EVP_PKEY, TSslFree> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
        if (!context || !cert || !key || SSL_CTX_use_certificate(context.get(), cert.get()) != 1 ||
            SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1)
            return false;
        ssl_.reset(SSL_new(context.get()));
        SSL_set_fd(ssl_.get(), fd_);
        if (SSL_accept(ssl_.get()) == 1) return true;
        ERR_clear_error();
        ssl_.reset();
        return false;
    }

    void Send(const std::string& text) {
        if (ssl_) {
            std::size_t written = 0;
            if (!text.empty()) SSL_write_ex(ssl_.get(), text.data(), text.size(), &written);
            return;
        }
        SendRaw(text);
    }

    void SendRaw(const std::string& text) {
        std::size_t sent = 0;
        while (sent < text.size()) {
            ssize_t n = send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }

    bool ReadLine(std::string& line) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LineLimitMs);
        while (true) {
            auto end = pending_.find("\r\n");
            if (end != std::string::npos) {
                line = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                return true;
            }
            using std::chrono::milliseconds;
            auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            if (!ssl_ || SSL_pending(ssl_.get()) == 0) {
                pollfd entry{fd_, POLLIN, 0};
                if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) return false;
            }
            char buffer[4096];
            std::size_t n = 0;
            if (ssl_) {
                if (SSL_read_ex(ssl_.get(), buffer, sizeof buffer, &n) != 1) return false;
            } else {
                const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
                if (got <= 0) return false;
                n = static_cast<std::size_t>(got);
            }
            pending_.append(buffer, n);
        }
    }

    // What the client sent that no Expect took: bytes before a handshake.
    bool HasUnreadBytes() const { return !pending_.empty(); }

private:
    int fd_;
    std::unique_ptr<SSL, TSslFree> ssl_;
    std::string pending_;
};

}  // namespace

TFakeServer::TFakeServer(TSeveral, std::vector<TScript> scripts, bool ipv6, int acceptLimitMs) : acceptLimitMs_(acceptLimitMs) {
    listener_ = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage address{};
    socklen_t length;
    if (ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        length = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *in;
    }
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 4) != 0)
        throw std::runtime_error("fake server cannot listen");
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ipv6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                 : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    thread_ = std::thread(&TFakeServer::Run, this, std::move(scripts));
}

TFakeServer::~TFakeServer() {
    Finish();
    if (listener_ >= 0) close(listener_);
}

void TFakeServer::Finish() {
    if (!finished_) {
        thread_.join();
        finished_ = true;
    }
}

const std::vector<std::string>& TFakeServer::Received() {
    Finish();
    return received_;
}

const std::string& TFakeServer::Mismatch() {
    Finish();
    return mismatch_;
}

int TFakeServer::Connections() {
    Finish();
    return connections_;
}

void TFakeServer::Run(std::vector<TScript> scripts) {
    // OpenSSL writes with write(): a client that hung up must not end the
    // test program with SIGPIPE. Held back for this thread only, so that the
    // client's own side is tested as it is.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    for (const TScript& script : scripts) {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, acceptLimitMs_) <= 0) return;
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        ++connections_;
        TConnection connection(fd);
        for (const TStep& step : script) {
            if (step.Kind == TStep::Send) {
                connection.Send(step.Text);
            } else if (step.Kind == TStep::Raw) {
                connection.SendRaw(step.Text);
            } else if (step.Kind == TStep::Tls) {
                if (connection.HasUnreadBytes()) mismatch_ += "the client sent more before the TLS handshake; ";
                if (!connection.StartTls(step.Text)) {
                    mismatch_ += "no TLS handshake; ";
                    break;
                }
            } else if (step.Kind == TStep::Expect) {
                std::string line;
                if (!connection.ReadLine(line)) {
                    mismatch_ += "no line where \"" + step.Text + "\" was expected; ";
                    break;
                }
                received_.push_back(line);
                bool any = !step.Text.empty() && step.Text.back() == '*';
                std::string want = any ? step.Text.substr(0, step.Text.size() - 1) : step.Text;
                if (any ? line.compare(0, want.size(), want) != 0 : line != want)
                    mismatch_ += "expected \"" + step.Text + "\", got \"" + line + "\"; ";
            } else if (step.Kind == TStep::Pause) {
                std::this_thread::sleep_for(std::chrono::milliseconds(step.Ms));
            } else if (step.Kind == TStep::Drip) {
                for (char c : step.Text) {
                    connection.Send(std::string(1, c));
                    std::this_thread::sleep_for(std::chrono::milliseconds(step.Ms));
                }
            } else {
                break;
            }
        }
    }
    // Lines a client sends beyond the script are not read: the test's
    // expectations name everything that may be sent.
}
