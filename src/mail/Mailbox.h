#pragma once

#include <memory>
#include <string>

#include "mail/Pop3Client.h"

// The mailbox for an account's protocol text (compared exactly): "POP3" or
// empty gives POP3, "IMAP" the IMAP adapter, "AOL" the web-mail adapter. Any
// other text gives a mailbox whose every operation fails, so callers see a
// failed sign-in. Never null.
std::unique_ptr<TPop3Client> CreateMailbox(const std::string& protocol);

// The mailbox that cannot be signed in to.
class TUnavailableMailbox : public TPop3Client {
public:
    bool Login() override;
    void Logout() override {}
    bool Reset() override { return Fail(); }
    bool NoOp() override { return Fail(); }
    bool Stat() override { return Fail(); }
    bool List(int) override { return Fail(); }
    bool Retr(int) override { return Fail(); }
    bool Dele(int) override { return Fail(); }
    bool Top(int, int) override { return Fail(); }
    bool Uidl(int) override { return Fail(); }
    void PrefetchHeaders(int, int) override {}

private:
    bool Fail();
};
