#pragma once

#include "base/AccountValues.h"
#include "mail/TlsSettings.h"

#include <memory>

class TPop3Client;
class TSmtpClient;

// The TLS settings of an account's incoming and outgoing server.
TTlsSettings IncomingTlsSettings(const TAccountValues& account);
TTlsSettings OutgoingTlsSettings(const TAccountValues& account);

// The account's incoming mailbox (of its protocol) with its server, port,
// sign-in and TLS settings; not yet signed in.
std::unique_ptr<TPop3Client> CreateAccountMailbox(const TAccountValues& account);

// The account's outgoing server: host (trimmed), port, security, and its
// login and password for the servers that ask for a sign-in.
void SetUpSmtpClient(TSmtpClient& smtp, const TAccountValues& account);
