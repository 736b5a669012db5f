#include "mail/TlsStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <vector>

#include "mail/TcpSocket.h"

namespace {

// ---------------------------------------------------------------- the context

struct TContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

// One context for the process: loading the trusted certificates takes longer
// than a handshake.
SSL_CTX* ClientContext() {
    static std::once_flag once;
    static std::unique_ptr<SSL_CTX, TContextDeleter> context;
    std::call_once(once, [] {
        std::unique_ptr<SSL_CTX, TContextDeleter> made(SSL_CTX_new(TLS_client_method()));
        if (!made || SSL_CTX_set_min_proto_version(made.get(), TLS1_2_VERSION) != 1 ||
            SSL_CTX_set_default_verify_paths(made.get()) != 1)
            return;
        // A server that just closes the socket ends the stream like one that says goodbye;
        // the protocols above notice a reply cut short themselves.
        SSL_CTX_set_options(made.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
        // AES-128 first, as browsers ask: as safe, and cheaper for both ends than AES-256.
        SSL_CTX_set_ciphersuites(made.get(),
                                 "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256");
        context = std::move(made);
    });
    return context.get();
}

std::string OpenSslReason() {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason ? reason : "unknown reason";
}

// ---------------------------------------------------------------- the socket beneath

// OpenSSL's own socket BIO writes with write(): a peer that has gone away
// would end the program with SIGPIPE instead of giving an error. This one
// sends with MSG_NOSIGNAL, as the plain socket does.
int SocketOf(BIO* bio) { return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio))); }

int SocketWrite(BIO* bio, const char* data, std::size_t size, std::size_t* written) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(SocketOf(bio), data, size, MSG_NOSIGNAL);
    if (n >= 0) {
        *written = static_cast<std::size_t>(n);
        return 1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) BIO_set_retry_write(bio);
    return 0;
}

int SocketRead(BIO* bio, char* data, std::size_t size, std::size_t* read) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(SocketOf(bio), data, size, 0);
    if (n > 0) {
        *read = static_cast<std::size_t>(n);
        return 1;
    }
    if (n == 0) {
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
        errno = 0;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        BIO_set_retry_read(bio);
    }
    return 0;
}

long SocketControl(BIO* bio, int command, long, void*) {
    if (command == BIO_CTRL_FLUSH) return 1;
    if (command == BIO_CTRL_EOF) return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
    return 0;
}

int SocketCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

const BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarnwick socket");
        if (made) {
            BIO_meth_set_write_ex(made, SocketWrite);
            BIO_meth_set_read_ex(made, SocketRead);
            BIO_meth_set_ctrl(made, SocketControl);
            BIO_meth_set_create(made, SocketCreate);
        }
        return made;
    }();
    return method;
}

// The BIO over fd, which stays the caller's to close.
bool AttachSocket(SSL* ssl, int fd) {
    const BIO_METHOD* method = SocketMethod();
    BIO* bio = method ? BIO_new(method) : nullptr;
    if (!bio) return false;
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    SSL_set_bio(ssl, bio, bio);
    return true;
}

// ---------------------------------------------------------------- what the certificate check found

struct TCertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

struct TVerifyError {
    int code;
    int depth;
    std::unique_ptr<X509, TCertificateFree> certificate;  // up-referenced
};

struct TVerifyErrors {
    std::vector<TVerifyError> found;
};

int VerifyErrorsIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// Notes every problem of the chain and lets the check go on, so that the user
// hears all of them; whether to go on is decided after the handshake.
int CollectVerifyError(int ok, X509_STORE_CTX* store) {
    if (ok) return 1;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* errors = ssl ? static_cast<TVerifyErrors*>(SSL_get_ex_data(ssl, VerifyErrorsIndex())) : nullptr;
    if (!errors) return 1;
    const int code = X509_STORE_CTX_get_error(store);
    const bool known = std::any_of(errors->found.begin(), errors->found.end(),
                                   [code](const TVerifyError& e) { return e.code == code; });
    if (!known && errors->found.size() < 8) {
        X509* certificate = X509_STORE_CTX_get_current_cert(store);
        if (certificate) X509_up_ref(certificate);
        errors->found.push_back({code, X509_STORE_CTX_get_error_depth(store),
                                 std::unique_ptr<X509, TCertificateFree>(certificate)});
    }
    return 1;
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1) return "?";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}

std::string CommonName(const X509_NAME* name) {
    if (!name) return {};
    const int at = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (at < 0) return {};
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, at));
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                       static_cast<std::size_t>(ASN1_STRING_length(value)));
}

// The names and addresses a certificate is for (its alternative names, else its common name).
std::string NamesOf(X509* certificate) {
    std::string names;
    auto add = [&names](const std::string& name) { names += (names.empty() ? "" : ", ") + name; };
    struct TNamesFree {
        void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
    };
    const std::unique_ptr<GENERAL_NAMES, TNamesFree> list(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; list && i < sk_GENERAL_NAME_num(list.get()); ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(list.get(), i);
        if (entry->type == GEN_DNS) {
            const ASN1_STRING* dns = entry->d.dNSName;
            add(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                            static_cast<std::size_t>(ASN1_STRING_length(dns))));
        } else if (entry->type == GEN_IPADD) {
            const ASN1_OCTET_STRING* ip = entry->d.iPAddress;
            char text[INET6_ADDRSTRLEN] = {};
            const int family = ASN1_STRING_length(ip) == 4 ? AF_INET : ASN1_STRING_length(ip) == 16 ? AF_INET6 : 0;
            if (family && inet_ntop(family, ASN1_STRING_get0_data(ip), text, sizeof text)) add(text);
        }
    }
    if (names.empty()) names = CommonName(X509_get_subject_name(certificate));
    return names.empty() ? "no name" : names;
}

std::string Describe(const TVerifyError& error, const std::string& host) {
    X509* certificate = error.certificate.get();
    const std::string which = error.depth == 0 ? "the certificate" : "a certificate of its chain";
    switch (error.code) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return which + " has expired (valid until " + TimeText(X509_get0_notAfter(certificate)) + ")";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return which + " is not valid yet (valid from " + TimeText(X509_get0_notBefore(certificate)) + ")";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
            return "the certificate is self-signed";
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: {
            const std::string issuer = certificate ? CommonName(X509_get_issuer_name(certificate)) : std::string();
            return "the certificate was issued by an unknown authority" + (issuer.empty() ? "" : " (" + issuer + ")");
        }
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "the certificate is for " + (certificate ? NamesOf(certificate) : std::string("another name")) +
                   ", not for " + host;
        default:
            return X509_verify_cert_error_string(error.code);
    }
}

std::string FingerprintOf(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
    static const char hex[] = "0123456789ABCDEF";
    std::string digits;
    for (unsigned int i = 0; i < length; ++i) {
        digits += hex[digest[i] >> 4];
        digits += hex[digest[i] & 15];
    }
    return FingerprintText(digits);
}

std::string VersionText(const SSL* ssl) {
    std::string version = SSL_get_version(ssl);  // "TLSv1.3"
    if (version.rfind("TLSv", 0) == 0) version = "TLS " + version.substr(4);
    return version;
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// Names the server, so that it shows the right certificate, and says what the certificate must be for.
bool SetServerName(SSL* ssl, const std::string& host) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (IsAddressLiteral(host)) return X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1;
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0) == 1;
}

// The certificate's verdict: accepted when it verifies or is the one the user trusts.
bool AcceptCertificate(SSL* ssl, const TVerifyErrors& errors, const std::string& host,
                       const std::string& trustedFingerprint, TTlsOutcome& outcome) {
    X509* certificate = SSL_get0_peer_certificate(ssl);
    if (!certificate) {
        outcome.Problem = "the server showed no certificate";
        return false;
    }
    outcome.Fingerprint = FingerprintOf(certificate);
    const long verdict = SSL_get_verify_result(ssl);
    if (verdict == X509_V_OK) return true;
    const auto trusted = ParseFingerprint(trustedFingerprint);
    if (trusted && ParseFingerprint(outcome.Fingerprint) == trusted) {
        outcome.TrustedByFingerprint = true;
        return true;
    }
    std::string reasons;
    for (const TVerifyError& error : errors.found) reasons += (reasons.empty() ? "" : "; ") + Describe(error, host);
    if (reasons.empty()) reasons = X509_verify_cert_error_string(verdict);
    outcome.Problem = "the server's certificate is not trusted: " + reasons + ". Its SHA-256 fingerprint is " +
                      outcome.Fingerprint;
    return false;
}

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

void TTlsStream::TSslDeleter::operator()(ssl_st* ssl) const { SSL_free(ssl); }

TTlsStream::TTlsStream(int fd, std::unique_ptr<ssl_st, TSslDeleter> ssl) : fd_(fd), ssl_(std::move(ssl)) {}

TTlsStream::~TTlsStream() = default;

bool TTlsStream::Wait(short events, int timeout, int& error) const {
    pollfd entry{fd_, events, 0};
    while (true) {
        const int result = ::poll(&entry, 1, timeout < 0 ? -1 : timeout);
        if (result > 0) return true;  // ready, or closed: the TLS layer finds out which
        if (result == 0) {
            error = WsaTimedOut;
            return false;
        }
        if (errno != EINTR) {
            error = WsaErrorFromErrno(errno);
            return false;
        }
    }
}

std::unique_ptr<TTlsStream> TTlsStream::Start(int fd, const std::string& host, const std::string& trustedFingerprint,
                                              int timeout, TTlsOutcome& outcome) {
    outcome = {};
    SSL_CTX* context = ClientContext();
    std::unique_ptr<ssl_st, TSslDeleter> ssl(context ? SSL_new(context) : nullptr);
    if (!ssl || !AttachSocket(ssl.get(), fd) || !SetServerName(ssl.get(), host) || !SetNonBlocking(fd)) {
        outcome.Problem = "TLS could not be set up (" + OpenSslReason() + ")";
        return nullptr;
    }
    TVerifyErrors errors;
    SSL_set_ex_data(ssl.get(), VerifyErrorsIndex(), &errors);
    SSL_set_verify(ssl.get(), SSL_VERIFY_NONE, CollectVerifyError);
    // Whole records and more per read: one call where there would be two per record.
    SSL_set_read_ahead(ssl.get(), 1);
    std::unique_ptr<TTlsStream> stream(new TTlsStream(fd, std::move(ssl)));
    SSL* raw = stream->ssl_.get();
    while (true) {
        ERR_clear_error();
        const int rc = SSL_connect(raw);
        if (rc == 1) break;
        const int kind = SSL_get_error(raw, rc);
        int error = 0;
        if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE) {
            if (stream->Wait(kind == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, timeout, error)) continue;
            outcome.Problem = error == WsaTimedOut ? "the server did not go on with the TLS handshake in time"
                                                   : "the TLS handshake failed (network error " +
                                                         std::to_string(error) + ")";
        } else if (kind == SSL_ERROR_SSL) {
            outcome.Problem = "the TLS handshake failed (" + OpenSslReason() + ")";
        } else {
            outcome.Problem = "the server closed the connection during the TLS handshake";
        }
        SSL_set_ex_data(raw, VerifyErrorsIndex(), nullptr);
        return nullptr;
    }
    SSL_set_ex_data(raw, VerifyErrorsIndex(), nullptr);
    outcome.Version = VersionText(raw);
    if (!AcceptCertificate(raw, errors, host, trustedFingerprint, outcome)) {
        stream->Close();
        return nullptr;
    }
    outcome.Encrypted = true;
    return stream;
}

std::size_t TTlsStream::Read(char* data, std::size_t size, int timeout, int& error) {
    error = 0;
    while (true) {
        ERR_clear_error();
        std::size_t got = 0;
        const int rc = SSL_read_ex(ssl_.get(), data, size, &got);
        if (rc == 1) return got;
        switch (SSL_get_error(ssl_.get(), rc)) {
            case SSL_ERROR_WANT_READ:
                if (!Wait(POLLIN, timeout, error)) return 0;
                break;
            case SSL_ERROR_WANT_WRITE:
                if (!Wait(POLLOUT, timeout, error)) return 0;
                break;
            case SSL_ERROR_ZERO_RETURN:
                error = WsaConnReset;
                return 0;
            case SSL_ERROR_SYSCALL:
                error = errno != 0 ? WsaErrorFromErrno(errno) : WsaConnReset;
                broken_ = true;
                ERR_clear_error();
                return 0;
            default:
                error = WsaConnAborted;
                broken_ = true;
                ERR_clear_error();
                return 0;
        }
    }
}

std::size_t TTlsStream::Write(const char* data, std::size_t size, int& error) {
    error = 0;
    std::size_t sent = 0;
    while (sent < size) {
        ERR_clear_error();
        std::size_t written = 0;
        const int rc = SSL_write_ex(ssl_.get(), data + sent, size - sent, &written);
        if (rc == 1) {
            sent += written;
            continue;
        }
        const int kind = SSL_get_error(ssl_.get(), rc);
        if (kind == SSL_ERROR_WANT_WRITE || kind == SSL_ERROR_WANT_READ) {
            if (Wait(kind == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, -1, error)) continue;
            return sent;
        }
        error = kind == SSL_ERROR_SYSCALL && errno != 0 ? WsaErrorFromErrno(errno) : WsaConnReset;
        broken_ = kind == SSL_ERROR_SYSCALL || kind == SSL_ERROR_SSL;
        ERR_clear_error();
        return sent;
    }
    return sent;
}

std::size_t TTlsStream::Pending() const { return static_cast<std::size_t>(std::max(0, SSL_pending(ssl_.get()))); }

bool TTlsStream::HasPending() const { return SSL_has_pending(ssl_.get()) == 1; }

void TTlsStream::Close() {
    if (broken_ || !SSL_is_init_finished(ssl_.get()) || (SSL_get_shutdown(ssl_.get()) & SSL_SENT_SHUTDOWN)) return;
    ERR_clear_error();
    SSL_shutdown(ssl_.get());
    ERR_clear_error();
}
