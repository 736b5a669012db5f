#pragma once

#include "base/AccountValues.h"
#include "mail/TlsSettings.h"

class TSmtpClient;

// The TLS settings of an account's incoming and outgoing server.
TTlsSettings IncomingTlsSettings(const TAccountValues& account);
TTlsSettings OutgoingTlsSettings(const TAccountValues& account);

// The account's outgoing server: host (trimmed), port, security, and its
// login and password for the servers that ask for a sign-in.
void SetUpSmtpClient(TSmtpClient& smtp, const TAccountValues& account);
