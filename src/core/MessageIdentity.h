#pragma once

#include <string>
#include <unordered_map>
#include <vector>

class TPop3Client;

// What names a scanned message on its server, so that Process Mail deletes a
// message only while its number still holds it: "uid:" and the server's unique
// id where it has them (POP3 UIDL, IMAP UIDVALIDITY.UID), otherwise "fp:" and a
// fingerprint of the header lines.
class TMessageIdentities {
public:
    // After Stat: the unique ids of every message, when the server gives them.
    void Read(TPop3Client& mailbox);
    std::string IdentityOf(int messageNumber, const std::vector<std::string>& headerLines) const;
    // The number that the message with a "uid:" identity has now; 0 when it is
    // gone or the identity is a fingerprint.
    int NumberOf(const std::string& identity) const;

private:
    std::unordered_map<int, std::string> uids_;
};

std::string HeaderFingerprint(const std::vector<std::string>& headerLines);

// Whether message n on the server is still the recorded one. Anything that
// cannot be confirmed (no answer, no identity recorded) counts as changed.
bool MessageStillThere(TPop3Client& mailbox, int messageNumber, const std::string& recorded);
