#pragma once

#include <string>

// A self-signed certificate made in memory for a scripted TLS server, with
// its key, for one name: an IP address ("127.0.0.1") or a host name.
struct TTestCertificate {
    std::string Pem;          // certificate, then key
    std::string Fingerprint;  // SHA-256, "AB:CD:..."
};

// Valid from validFromDays to validToDays from now (negative: in the past).
TTestCertificate MakeTestCertificate(const std::string& name, int validFromDays = -1, int validToDays = 30);
