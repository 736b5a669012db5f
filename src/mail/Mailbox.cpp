#include "mail/Mailbox.h"

#include "mail/ImapClient.h"
#include "mail/SLAol.h"

std::unique_ptr<TPop3Client> CreateMailbox(const std::string& protocol) {
    if (protocol.empty() || protocol == "POP3") return std::make_unique<TPop3Client>();
    if (protocol == "IMAP") return std::make_unique<TIMAP>();
    if (protocol == "AOL") return std::make_unique<TAOLSend>();
    return std::make_unique<TUnavailableMailbox>();
}

bool TUnavailableMailbox::Fail() {
    FullResult.clear();
    ResultCode = 0;
    ResultString = "-ERR This kind of mailbox is not available";
    return false;
}

bool TUnavailableMailbox::Login() {
    StatCount = StatSize = 0;
    return Fail();
}
