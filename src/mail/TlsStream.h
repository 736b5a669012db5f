#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "mail/TlsSettings.h"

struct ssl_st;

// TLS (OpenSSL) on a connected socket, as a client: at least TLS 1.2, the
// server name sent (SNI) and checked against the certificate, the system's
// trusted certificates (SSL_CERT_FILE and SSL_CERT_DIR may name others).
// Reads and writes wait with poll on the socket, which the stream switches to
// non-blocking, so that a timeout bounds each silent period even inside a TLS
// record. Nothing throws; errors are Windows Sockets numbers.
class TTlsStream {
public:
    // The handshake on fd, bounded by timeout ms per silent period. On success
    // the stream; otherwise null, with outcome.Problem saying why. outcome gets
    // the version and the certificate's fingerprint either way, as far as known.
    static std::unique_ptr<TTlsStream> Start(int fd, const std::string& host, const std::string& trustedFingerprint,
                                             int timeout, TTlsOutcome& outcome);
    ~TTlsStream();
    TTlsStream(const TTlsStream&) = delete;
    TTlsStream& operator=(const TTlsStream&) = delete;

    // Waits up to timeout ms for data, then reads at most size bytes: what
    // the TLS layer holds already, else what the next record brings. 0 with
    // error set when nothing could be read (10060 timeout, 10054 closed,
    // 10053 a record that does not decrypt).
    std::size_t Read(char* data, std::size_t size, int timeout, int& error);
    // Sends all of data (no time limit, as a plain send); the count sent.
    std::size_t Write(const char* data, std::size_t size, int& error);
    // Decrypted bytes the TLS layer holds: they can be read without waiting
    // although the socket itself may have nothing.
    std::size_t Pending() const;
    // Whether the TLS layer holds anything received, decrypted or not yet.
    bool HasPending() const;
    // Says goodbye (close_notify) without waiting for the answer.
    void Close();

private:
    struct TSslDeleter {
        void operator()(ssl_st* ssl) const;
    };
    TTlsStream(int fd, std::unique_ptr<ssl_st, TSslDeleter> ssl);
    bool Wait(short events, int timeout, int& error) const;

    int fd_;
    std::unique_ptr<ssl_st, TSslDeleter> ssl_;
    bool broken_ = false;  // a fatal error: OpenSSL must not be asked to say goodbye
};
