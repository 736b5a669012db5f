#include "core/MessageIdentity.h"

#include "mail/Pop3Client.h"

#include <cstdint>
#include <cstdio>
#include <sstream>

namespace {

// "n uid" (a listing line) or "+OK n uid" (a single answer): the uid of n.
bool ParseUidLine(const std::string& line, int& number, std::string& uid) {
    std::istringstream in(line);
    std::string first;
    in >> first;
    if (first == "+OK") in >> first;
    try {
        number = std::stoi(first);
    } catch (...) {
        return false;
    }
    return static_cast<bool>(in >> uid);
}

}  // namespace

void TMessageIdentities::Read(TPop3Client& mailbox) {
    uids_.clear();
    if (!mailbox.Uidl(0)) return;
    for (const auto& line : mailbox.FullResult) {
        int number = 0;
        std::string uid;
        if (ParseUidLine(line, number, uid)) uids_[number] = uid;
    }
}

std::string TMessageIdentities::IdentityOf(int messageNumber, const std::vector<std::string>& headerLines) const {
    const auto found = uids_.find(messageNumber);
    return found != uids_.end() ? "uid:" + found->second : "fp:" + HeaderFingerprint(headerLines);
}

int TMessageIdentities::NumberOf(const std::string& identity) const {
    if (identity.rfind("uid:", 0) != 0) return 0;
    const std::string uid = identity.substr(4);
    for (const auto& [number, known] : uids_)
        if (known == uid) return number;
    return 0;
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

bool MessageStillThere(TPop3Client& mailbox, int messageNumber, const std::string& recorded) {
    if (recorded.rfind("uid:", 0) == 0) {
        int number = 0;
        std::string uid;
        return mailbox.Uidl(messageNumber) && ParseUidLine(mailbox.ResultString, number, uid) &&
               number == messageNumber && "uid:" + uid == recorded;
    }
    if (recorded.rfind("fp:", 0) == 0)
        return mailbox.Top(messageNumber, 0) && "fp:" + HeaderFingerprint(mailbox.FullResult) == recorded;
    return false;
}
