#pragma once

#include "complaints/ComplaintTemplates.h"
#include "base/AccountValues.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <functional>
#include <string>

// The complaint screen's data and its sending operations, without the window:
// the message fields the caller sets before showing it, the templates, and
// the error message that Process Mail sends through it.
class TComplaintForm {
public:
    std::string MessageText;
    std::string MessageFrom;
    std::string MessageDate;
    std::int64_t AccountId = 0;
    std::int64_t MessageNumber = 0;
    std::string SenderAddress;
    std::string MessageSubject;

    TComplaintTemplates Templates = TComplaintTemplates::Defaults();

    // Shows the running-mail-client warning; the sending goes on regardless.
    std::function<void()> WarnIfMailClientRunning;

    // Reads the templates from the working directory, writing missing ones.
    void LoadTemplates() { Templates = TComplaintTemplates::LoadOrCreate(); }

    // Sends the error message for a listed message of the account: from
    // "MAILER-DAEMON@" and the account's host to the address of fromValue,
    // with MessageText as the copy. Failures are shown in message boxes;
    // returns whether the mail was handed to the server.
    // senderAddress, when given, is the recipient instead of the address in
    // fromValue (which may have been decoded from text the sender chose).
    bool SendErrorMessage(const TAccountValues& account, const std::string& fromValue, const std::string& dateText,
                          const std::string& senderAddress = {});
};

// A date as the complaint texts show it: the user's date and time format, the
// time left out when it is exactly midnight; ISO 8601 in the C locale.
std::string MessageDateText(TDateTime value);
