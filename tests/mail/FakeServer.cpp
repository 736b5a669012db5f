#include "mail/FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

// Generous bounds for the client's side of the conversation.
constexpr int LineLimitMs = 5000;

bool ReadLine(int fd, std::string& pending, std::string& line) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LineLimitMs);
    while (true) {
        auto end = pending.find("\r\n");
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 2);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

void SendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

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
    for (const TScript& script : scripts) {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, acceptLimitMs_) <= 0) return;
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        ++connections_;
        std::string pending;
        for (const TStep& step : script) {
            if (step.Kind == TStep::Send) {
                SendAll(fd, step.Text);
            } else if (step.Kind == TStep::Expect) {
                std::string line;
                if (!ReadLine(fd, pending, line)) {
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
                    SendAll(fd, std::string(1, c));
                    std::this_thread::sleep_for(std::chrono::milliseconds(step.Ms));
                }
            } else {
                break;
            }
        }
        close(fd);
    }
    // Lines a client sends beyond the script are not read: the test's
    // expectations name everything that may be sent.
}
