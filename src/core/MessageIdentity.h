#pragma once

#include <string>
#include <vector>

class TPop3Client;

// What names a scanned message on its server, so that Process Mail deletes a
// message only while the server still holds it as it was checked: "uid:" and
// the server's unique id where it has one (POP3 UIDL, IMAP UIDVALIDITY.UID,
// taken with the header), otherwise "fp:" and a fingerprint of the header.
std::string MessageIdentityOf(TPop3Client& mailbox, int messageNumber, const std::vector<std::string>& headerLines);

std::string HeaderFingerprint(const std::vector<std::string>& headerLines);

// The number under which the recorded message lies in the mailbox's session,
// or 0 when that cannot be confirmed (gone, changed, no identity recorded).
// A fingerprint is checked against the header the server gives now for the
// number of the scan.
int LocateMessage(TPop3Client& mailbox, int scannedNumber, const std::string& recorded);
