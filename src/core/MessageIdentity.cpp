#include "core/MessageIdentity.h"

#include "mail/Pop3Client.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::string_view kUid = "uid:";
constexpr std::string_view kFingerprint = "fp:";

bool StartsWith(const std::string& text, std::string_view prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

std::string MessageIdentityOf(TPop3Client& mailbox, int messageNumber, const std::vector<std::string>& headerLines) {
    const std::string id = mailbox.UniqueId(messageNumber);
    return id.empty() ? std::string(kFingerprint) + HeaderFingerprint(headerLines) : std::string(kUid) + id;
}

std::string HeaderFingerprint(const std::vector<std::string>& headerLines) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const auto& line : headerLines) {
        for (unsigned char c : line) hash = (hash ^ c) * 1099511628211ull;
        hash = (hash ^ '\n') * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

int LocateMessage(TPop3Client& mailbox, int scannedNumber, const std::string& recorded) {
    if (StartsWith(recorded, kUid)) return mailbox.NumberOfUniqueId(recorded.substr(kUid.size()));
    if (StartsWith(recorded, kFingerprint) && scannedNumber > 0 && mailbox.Top(scannedNumber, 0) &&
        HeaderFingerprint(mailbox.FullResult) == recorded.substr(kFingerprint.size()))
        return scannedNumber;
    return 0;
}
