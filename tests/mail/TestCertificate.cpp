#include "mail/TestCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <memory>
#include <stdexcept>

namespace {

template <typename T, void (*Free)(T*)>
struct TFree {
    void operator()(T* p) const { Free(p); }
};
using TKey = std::unique_ptr<EVP_PKEY, TFree<EVP_PKEY, EVP_PKEY_free>>;
using TCert = std::unique_ptr<X509, TFree<X509, X509_free>>;
using TBio = std::unique_ptr<BIO, TFree<BIO, BIO_free_all>>;
using TExtension = std::unique_ptr<X509_EXTENSION, TFree<X509_EXTENSION, X509_EXTENSION_free>>;

std::string Text(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(length));
}

bool IsAddress(const std::string& name) {
    unsigned char address[16];
    return inet_pton(AF_INET, name.c_str(), address) == 1 || inet_pton(AF_INET6, name.c_str(), address) == 1;
}

}  // namespace

TTestCertificate MakeTestCertificate(const std::string& name, int validFromDays, int validToDays) {
    TKey key(EVP_EC_gen("P-256"));
    TCert cert(X509_new());
    if (!key || !cert) throw std::runtime_error("no test certificate");
    X509_set_version(cert.get(), 2);
    static long serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), static_cast<long>(validFromDays) * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), static_cast<long>(validToDays) * 86400);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(name.c_str()), -1,
                               -1, 0);
    X509_set_issuer_name(cert.get(), subject);
    X509_set_pubkey(cert.get(), key.get());
    const std::string alternative = (IsAddress(name) ? "IP:" : "DNS:") + name;
    TExtension extension(X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, alternative.c_str()));
    if (!extension || X509_add_ext(cert.get(), extension.get(), -1) != 1 ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        throw std::runtime_error("no test certificate");
    TBio pem(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(pem.get(), cert.get());
    PEM_write_bio_PrivateKey(pem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    TTestCertificate made;
    made.Pem = Text(pem.get());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(cert.get(), EVP_sha256(), digest, &length);
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0) made.Fingerprint += ':';
        made.Fingerprint += hex[digest[i] >> 4];
        made.Fingerprint += hex[digest[i] & 15];
    }
    return made;
}
