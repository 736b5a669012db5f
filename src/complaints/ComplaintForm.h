#pragma once

#include "complaints/ComplaintTemplates.h"
#include "complaints/Whois.h"
#include "base/AccountValues.h"
#include "base/TAction.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// An entry of the admin or the users list.
struct TCheckedAddress {
    std::string address;
    bool checked = false;
};

// The complaint screen without its widgets: the message fields the caller
// sets before showing it, the templates (the subject and text boxes, kept
// until the program ends), the route, admin and users lists, the actions
// Check, SendAdminComplaint, SendUserComplaint and SendErrMsg, and the error
// message that Process Mail sends through it. The window shows this state and
// forwards the user's edits; OnChange tells it to show the state again.
class TComplaintForm {
public:
    TComplaintForm();
    TComplaintForm(const TComplaintForm&) = delete;
    TComplaintForm& operator=(const TComplaintForm&) = delete;

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
    // True (after telling the user) when a mail client runs: nothing is sent then.
    std::function<bool()> IsMailClientRunning;
    // The account with this id, password made readable; nothing when it is gone.
    std::function<std::optional<TAccountValues>(std::int64_t id)> AccountOf;
    // Where "Check" asks; read from "misc.ini" at every look-up when not set.
    std::function<TWhoisSettings()> WhoisSettings;

    // --- the window's state
    TActionList Actions;
    int ActivePage = 0;
    bool PagesEnabled = true;
    std::vector<std::string> RouteList;  // sorted as text, each once
    int RouteIndex = -1;
    std::string IPInformation;
    std::vector<TCheckedAddress> AdminList;
    std::vector<TCheckedAddress> UserList;  // sorted without regard to case
    bool AdminAppendSubject = true;
    bool AdminIncludeOriginal = true;
    bool UserAppendSubject = true;
    bool UserIncludeOriginal = true;
    std::function<void()> OnChange;

    // Before the window is shown: first page, the route and users lists from
    // MessageText, the other lists emptied.
    void Show();
    void Check();
    void SetAdminChecked(std::size_t index, bool checked);
    void SetUserChecked(std::size_t index, bool checked);
    // The send actions; true when the server took the mail.
    bool SendAdminComplaint();
    bool SendUserComplaint();
    bool SendErrMsg();
    // Downloads message MessageNumber of the account into MessageText.
    void RetrieveMessage(const TAccountValues& account);

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

private:
    class TSendSession;
    bool SendComplaint(const std::vector<TCheckedAddress>& list, const TComplaintTemplate& message,
                       bool appendSubject, bool includeOriginal, const std::string& sentText);
    void CollectMessageAddresses();
    void UpdateSendActions();
    void Changed();
};

// A date as the complaint texts show it: the user's date and time format, the
// time left out when it is exactly midnight; ISO 8601 in the C locale.
std::string MessageDateText(TDateTime value);
