#pragma once

#include "base/AccountValues.h"
#include "core/SenderLists.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class TDM;
class TTable;
class TAction;
class TComplaintForm;
class TFilterDM;
class TPop3Client;

// The header copy that Process Mail forwards for a message caught with action 4:
// marked "X-Tarnwick: Filtered" (the next scan leaves it alone), subject
// prefixed with "Filtered:".
std::vector<std::string> FilteredHeaderCopy(const std::string& header);

// The mail commands of the data module: Receive Mail (the header scan), Process
// Mail (deletion on the servers, forwarded headers, error messages) and the
// commands on one listed message. They add their actions to the module's list
// (ReceiveIdentityMail, ProcessMail, RunMailClient, RetrieveBody,
// DelRetrieveBody, Complain, DelBoxComplain).
//
// Source files: ReceiveMail.cpp, ProcessMail.cpp, ListedMessage.cpp.
class TMailCommands {
public:
    // filters may be null (no filter module: nothing is caught by a filter).
    TMailCommands(TDM& dm, TComplaintForm& complaint, TFilterDM* filters);
    TMailCommands(const TMailCommands&) = delete;
    TMailCommands& operator=(const TMailCommands&) = delete;

    // --- Receive Mail
    void ReceiveIdentityMailExecute();
    // Whether a blacklist entry occurs in the address, without regard to case.
    bool IsBlacklisted(const std::string& address);
    // Makes the commands that must not run during a scan (un)available.
    void EnableActions(bool enabled);

    // --- Process Mail
    void DoProcessMail();
    void ForwardFilteredHeaders();
    void ProcessMailExecute();
    void RunMailClientExecute();
    void ProcessMailUpdate(TAction& action);

    // What Process Mail would do with each DelBox row, in the order it visits
    // them, without contacting any server.
    struct TPlannedRow {
        std::int64_t idaccount = 0;
        std::string account;  // description, empty when the account is gone
        std::int64_t messagenum = 0;
        std::int64_t idaction = 0;
        std::string from, subject, reason;
    };
    std::vector<TPlannedRow> PlanProcessMail();

    // An account that the last Receive Mail or Process Mail could not scan or
    // process (whole or in part), with the reason in the user's language.
    struct TAccountProblem {
        std::int64_t idaccount = 0;
        std::string account;  // description
        std::string reason;
    };
    const std::vector<TAccountProblem>& AccountProblems() const { return problems_; }

    // What the last Process Mail really did with each DelBox row it visited,
    // in the order it visited them.
    struct TRowOutcome {
        std::int64_t idaccount = 0;
        std::int64_t messagenum = 0;
        std::int64_t idaction = 0;
        bool forwarded = false;  // action 4: the SMTP server accepted the header copy
        bool bounced = false;    // action 3: the SMTP server accepted the error message
        bool deleted = false;    // marked, and the sign-off that carries it out succeeded
        std::string note;        // why something did not happen, empty when all did
    };
    const std::vector<TRowOutcome>& ProcessOutcomes() const { return outcomes_; }

    // --- commands on a listed message
    void RetrieveBodyExecute();
    void DelRetrieveBodyExecute();
    void ComplainExecute();
    void DelBoxComplainExecute();

    // The values of the current account row, password made readable.
    TAccountValues CurrentAccount() const;

private:
    void SetUpActions();
    void ScanAccount(class TScanState& scan);
    // false when the account's session can go on no further
    bool ScanMessage(class TScanState& scan, TPop3Client& mailbox, int number);
    void AddProblem(const TAccountValues& account, const std::string& reason);
    void FlushHitCounts();
    TRowOutcome& OutcomeOf(std::int64_t idaccount, std::int64_t messagenum);
    bool DeleteRow(TPop3Client& mailbox, const TAccountValues& account, bool loggedIn,
                   std::vector<std::size_t>& markedOutcomes);
    struct TVerdict {
        int result = -1;        // -1 accepted, otherwise an action id
        bool byLists = false;   // decided by the friends list or the blacklist
        bool engineError = false;
        std::string reason;
    };
    TVerdict Classify(const std::string& address, const std::string& header);
    bool LocateAccount(std::int64_t id);
    void RetrieveBody(TTable& box);
    void Complain(TTable& box);

    TDM& dm_;
    TComplaintForm& complaint_;
    TFilterDM* filters_;
    TBlacklistMatcher blacklist_;
    int progress_ = 0;
    std::vector<TAccountProblem> problems_;
    std::vector<TRowOutcome> outcomes_;
    std::set<std::int64_t> failedBounces_;  // accounts whose error message could not be sent
};

// The values of the accounts table's current row, password made readable.
// Their rememberTls marks that row's account (RememberTlsUsed).
TAccountValues AccountValuesOf(TTable& accounts);

// Notes in the account with this id that its incoming (outgoing: SMTP) server
// was reached over TLS, so that Automatic insists on TLS from now on. Leaves a
// row the user is editing alone, and the table on the row it stood on.
void RememberTlsUsed(TTable& accounts, std::int64_t id, bool outgoing);

// The sender address of the current row of InBox or DelBox: the address of the
// undecoded From value where the scan kept it, else the one in the displayed From.
std::string RowSenderAddress(TTable& box);

// Why a mailbox or SMTP step failed, for the user: the server's answer, or
// what the connection did (refused, timed out, closed).
std::string FailureReason(const std::string& what, const std::string& serverLine, int socketError);
