#pragma once

#include <string>
#include <thread>
#include <vector>

#include "mail/TestCertificate.h"

// A scripted server on a loopback port chosen by the system. Each connection
// it accepts plays the next script: send bytes, expect a line from the client,
// pause, send bytes one at a time, turn to TLS, close. Every wait is bounded,
// so a client that misbehaves fails the test instead of hanging it.
struct TStep {
    enum TKind { Send, Expect, Pause, Drip, Close, Tls, Raw } Kind;
    std::string Text;
    int Ms = 0;
};

// Server text (sent as is).
inline TStep S(std::string text) { return {TStep::Send, std::move(text), 0}; }
// A line the client must send, without CR LF; a final "*" matches any rest.
inline TStep C(std::string line) { return {TStep::Expect, std::move(line), 0}; }
inline TStep Pause(int ms) { return {TStep::Pause, {}, ms}; }
// Text sent one byte at a time with ms between the bytes.
inline TStep Drip(std::string text, int ms) { return {TStep::Drip, std::move(text), ms}; }
inline TStep Close() { return {TStep::Close, {}, 0}; }
// The TLS handshake as a server showing certificate; from then on the steps
// go through TLS (each Send in one TLS record, when it fits).
inline TStep StartTls(const TTestCertificate& certificate) { return {TStep::Tls, certificate.Pem, 0}; }
// Bytes written to the socket beneath TLS: a record that does not decrypt.
inline TStep Raw(std::string bytes) { return {TStep::Raw, std::move(bytes), 0}; }

using TScript = std::vector<TStep>;

class TFakeServer {
public:
    // One connection playing script; ipv6 binds ::1 instead of 127.0.0.1;
    // acceptLimitMs bounds the wait for the connection.
    explicit TFakeServer(TScript script, bool ipv6 = false, int acceptLimitMs = 5000)
        : TFakeServer(Several, std::vector<TScript>{std::move(script)}, ipv6, acceptLimitMs) {}
    // One script per connection, in order.
    struct TSeveral {};
    static constexpr TSeveral Several{};
    TFakeServer(TSeveral, std::vector<TScript> scripts, bool ipv6 = false, int acceptLimitMs = 5000);
    ~TFakeServer();
    TFakeServer(const TFakeServer&) = delete;
    TFakeServer& operator=(const TFakeServer&) = delete;

    std::string Port() const { return std::to_string(port_); }
    // Waits for the scripts to end (or the time limit); then the lines the
    // client sent, and whether every expected line matched.
    const std::vector<std::string>& Received();
    const std::string& Mismatch();
    int Connections();

private:
    void Run(std::vector<TScript> scripts);
    void Finish();
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    bool finished_ = false;
    std::vector<std::string> received_;
    std::string mismatch_;
    int connections_ = 0;
    int acceptLimitMs_ = 5000;
};
