// Receive Mail: the header scan of the signed-in identity's accounts.
#include "core/MailCommands.h"

#include "core/BoxColumns.h"
#include "core/DataModule.h"
#include "core/MessageIdentity.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "filtering/FilterEngine.h"
#include "data/TTableError.h"
#include "filtering/dmfilters.h"
#include "mail/Mailbox.h"
#include "mail/TlsAccount.h"
#include "mail/TlsSettings.h"
#include "parsing/TMailMessage.h"
#include "parsing/TMessaging.h"
#include "parsing/TextOps.h"
#include "platform/CodePage.h"

#include <charconv>
#include <optional>
#include <chrono>

namespace {

std::string ErrorWord() { return Tr("Error", "Error"); }

long long LeadingNumber(const std::string& text) {
    long long n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
}

}  // namespace

// What one scan keeps from message to message.
class TScanState {
public:
    TScanState(const TTable& inBox, const TTable& delBox) : inBoxColumns(inBox), delBoxColumns(delBox) {}
    const TBoxColumns inBoxColumns, delBoxColumns;
    TMailMessage message;
    TMessaging messaging;
    std::vector<std::string> sizes;
    long long size = 0;  // the last size read; kept when the listing has none
    TAccountValues account;
    // When a header last arrived: a server that gives nothing for this long
    // ends its account instead of holding the scan.
    std::chrono::steady_clock::time_point lastData;
    // The log line of each message, translated once per account.
    std::string retrievingText;
};

namespace {

// The text with every <%msgnum> and <%msgsize> filled in, in one pass: a
// scan writes this line for every message.
std::string RetrievingLine(std::string_view text, long long number, long long size) {
    std::string line;
    line.reserve(text.size() + 16);
    const std::string numberText = std::to_string(number), sizeText = std::to_string(size);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t mark = text.find("<%msg", at);
        if (mark == std::string_view::npos) {
            line.append(text.substr(at));
            break;
        }
        line.append(text.substr(at, mark - at));
        const std::string_view rest = text.substr(mark);
        if (rest.starts_with("<%msgnum>")) {
            line += numberText;
            at = mark + 9;
        } else if (rest.starts_with("<%msgsize>")) {
            line += sizeText;
            at = mark + 10;
        } else {
            line += '<';
            at = mark + 1;
        }
    }
    return line;
}

}  // namespace

void TMailCommands::ReceiveIdentityMailExecute() {
    if (dm_.IsMailClientRunning()) return;
    dm_.Idle = false;
    EnableActions(false);
    TUserInterface& ui = UserInterface();
    ui.ShowRetrievalStatus(true);
    progress_ = 0;
    ui.SetProgress(0, 0);
    ui.ShowStatusPanel(true);
    ui.ProcessMessages();

    problems_.clear();
    dm_.cdsInBox.EmptyTable();
    dm_.cdsDelBox.EmptyTable();
    ui.ResetSelectionCounts(true, true);
    TStatusLog& log = dm_.StatusLog;
    log.Clear();
    log.Add(ReplaceAll(Tr("ReceivingIdentityMailCaption", "Receiving \"<%IdentityName>\" identity mail"),
                       "<%IdentityName>", dm_.cdsIdentities.AsString("username")));
    log.Add("");

    {
        TScanState scan(dm_.cdsInBox, dm_.cdsDelBox);
        // A hit count per catch would cost a transaction each: they are written per account.
        std::optional<THitCountBatch> hits;
        if (filters_) hits.emplace(*filters_);
        for (dm_.cdsAccounts.First(); !dm_.cdsAccounts.Eof() && !dm_.Idle; dm_.cdsAccounts.Next()) {
            ScanAccount(scan);
            FlushHitCounts();
        }
        if (TAction* receive = dm_.Actions.Find("ReceiveIdentityMail")) receive->SetEnabled(true);
        log.Add(Tr("Done", "Done"));
    }

    ui.ShowStatusPanel(false);
    ui.ShowRetrievalStatus(false);
    // Idle first, so that the availability rules run by EnableActions see the scan ended.
    dm_.Idle = true;
    EnableActions(true);
    if (TAction* status = dm_.Actions.Find("UpdateStatus")) status->Execute();
    ui.BoxesRefilled();
}

void TMailCommands::ScanAccount(TScanState& scan) {
    TStatusLog& log = dm_.StatusLog;
    TUserInterface& ui = UserInterface();
    scan.account = CurrentAccount();
    auto mailbox = CreateAccountMailbox(scan.account);
    log.SetAccountDesc(scan.account.description);
    mailbox->Timeout = 100000;

    log.Add(Tr("Login_Message", "Login") + " " + mailbox->Username + "@" + mailbox->Host);
    ui.ProcessMessages();
    if (!mailbox->Login()) {
        log.Append(ErrorWord());
        AddProblem(scan.account, FailureReason(Tr("Problem.Login", "Sign-in failed"), mailbox->ResultString,
                                               mailbox->SocketError()));
        return;
    }
    const std::string security = mailbox->SecurityText();
    log.Append(security.empty() ? "Ok" : "Ok (" + security + ")");
    log.Add(Tr("Status_Information", "Status Information"));
    log.ScrollToEnd();
    if (!mailbox->Stat()) {
        // Freeing the mailbox closes the connection.
        AddProblem(scan.account, FailureReason(Tr("Problem.Stat", "The message count could not be read"),
                                               mailbox->ResultString, mailbox->SocketError()));
        return;
    }
    if (mailbox->StatCount < 0 || mailbox->StatCount > TPop3Client::MaxMessages) {
        // A count no mailbox has would hold the scan for hours.
        log.Append(ErrorWord());
        AddProblem(scan.account, ReplaceAll(Tr("Problem.TooMany", "The server reports <%count> messages; not scanned"),
                                            "<%count>", std::to_string(mailbox->StatCount)));
        return;
    }

    const int count = static_cast<int>(mailbox->StatCount);
    ui.SetProgress(progress_, count);
    log.Append("Ok");
    log.SetMessageCount(mailbox->StatCount);
    log.SetTotalSize(mailbox->StatSize);
    log.Add(Tr("Message_Size_Listing", "Message Size Listing"));
    log.ScrollToEnd();
    mailbox->List(0);
    log.Append("Ok");
    log.ScrollToEnd();
    scan.sizes = std::move(mailbox->FullResult);
    scan.retrievingText = Tr("Retrieving_Msg_No", "Retrieving message #<%msgnum> (<%msgsize>b size)");
    // On IMAP the headers bring their UIDs: a list of all of them first would
    // cost a round trip and a line per message.
    if (!mailbox->TopTellsUniqueId()) mailbox->LoadUniqueIds();
    mailbox->PrefetchHeaders(1, count);

    scan.lastData = std::chrono::steady_clock::now();
    bool usable = true;
    for (int i = 1; i <= count && !dm_.Idle && usable; ++i) usable = ScanMessage(scan, *mailbox, i);
    scan.sizes.clear();

    if (usable) mailbox->Logout();
    log.Add(Tr("Logout_Message", "Logout"));
    log.Add("");
    ui.ProcessMessages();
}

bool TMailCommands::ScanMessage(TScanState& scan, TPop3Client& mailbox, int number) {
    TStatusLog& log = dm_.StatusLog;
    TUserInterface& ui = UserInterface();
    // The last message's lines go back to the mailbox: a header read into
    // them takes over their room.
    mailbox.FullResult.swap(scan.message.RawLines);
    scan.message.Reset();
    if (!scan.sizes.empty() && static_cast<size_t>(number) <= scan.sizes.size())
        scan.size = LeadingNumber(TextAfter(scan.sizes[number - 1], " "));

    log.Add(RetrievingLine(scan.retrievingText, number, scan.size));
    ui.ProcessMessages();
    if (!mailbox.Top(number, 0)) {
        log.Append(ErrorWord());
        log.ScrollToEnd();
        const auto silence = std::chrono::steady_clock::now() - scan.lastData;
        if (!mailbox.Connected() || silence > std::chrono::milliseconds(mailbox.Timeout)) {
            AddProblem(scan.account,
                       FailureReason(ReplaceAll(Tr("Problem.Scan", "The scan stopped at message #<%msgnum>"),
                                                "<%msgnum>", std::to_string(number)),
                                     // A status line of a reply that broke the framing explains nothing.
                                     mailbox.Connected() ? mailbox.ResultString : std::string(),
                                     mailbox.SocketError()));
            return false;
        }
        return true;
    }
    scan.lastData = std::chrono::steady_clock::now();
    log.Append("Ok");
    log.ScrollToEnd();
    ui.SetProgress(++progress_, static_cast<int>(mailbox.StatCount));
    ui.ProcessMessages();

    // Named now, from the lines the server gave; the parser takes the lines over.
    std::string identity = MessageIdentityOf(mailbox, number, mailbox.FullResult);
    scan.message.RawLines.swap(mailbox.FullResult);
    try {
        scan.message.Parse();
    } catch (...) {
        // An unreadable header is classified with whatever was parsed.
    }
    const TMailHeader& header = scan.message.HeaderInfo;
    if (header.CustomValue("X-Tarnwick") == "Filtered") return true;

    const bool attachment = CodePageSameText(TextBefore(header.CustomValue("Content-Type"), ";"), "multipart/mixed");
    std::string headerText = scan.messaging.HeaderText(scan.message);
    // From the undecoded value: an encoded word in the display name could pose as the address.
    const std::string& address = header.FromAddress;

    TVerdict verdict = Classify(address, headerText);
    // A filter set that cannot be evaluated keeps the message: it stays in the InBox.
    if (verdict.engineError) log.Append(ErrorWord());
    const bool accepted = verdict.result < 1;
    TTable& target = accepted ? dm_.cdsInBox : dm_.cdsDelBox;
    const TBoxColumns& column = accepted ? scan.inBoxColumns : scan.delBoxColumns;
    if (accepted) verdict.reason.clear();
    else if (verdict.reason.empty() && filters_)
        verdict.reason = FilterEngine().Reason;

    target.Append();
    target.SetValue(column.size, static_cast<std::int64_t>(scan.size));
    target.SetValue(column.from, header.FromText);
    target.SetValue(column.attachment, attachment);
    target.SetValue(column.subject, header.SubjectText);
    if (!header.ToItems.empty()) target.SetValue(column.to, header.ToItems.front());
    target.SetValue(column.date, header.DateValue);
    target.SetValue(column.organization, header.OrganizationText);
    target.SetValue(column.idaccount, scan.account.id);
    target.SetValue(column.messagenum, std::int64_t{number});
    target.SetValue(column.header, std::move(headerText));
    target.SetValue(column.uid, std::move(identity));
    target.SetValue(column.fromaddress, address);
    target.SetValue(column.idaction, std::int64_t{verdict.byLists ? -1 : verdict.result});
    if (!accepted && !verdict.reason.empty()) target.SetValue(column.reason, verdict.reason);
    target.Post();
    return true;
}

// Hit counts that cannot be written are no reason to stop a scan; they are
// written with the next save of their table.
void TMailCommands::FlushHitCounts() {
    if (!filters_) return;
    try {
        filters_->FlushHitCounts();
    } catch (const TTableError&) {
    }
}

void TMailCommands::AddProblem(const TAccountValues& account, const std::string& reason) {
    problems_.push_back({account.id, account.description, reason});
}

std::string FailureReason(const std::string& what, const std::string& serverLine, int socketError) {
    std::string detail;
    switch (socketError) {
        case 0:
            detail = serverLine.empty() ? Tr("Problem.Protocol", "the server's reply did not follow the protocol")
                                        : Tr("Problem.ServerSaid", "the server answered") + " \"" + serverLine + "\"";
            break;
        case WsaTimedOut: detail = Tr("Problem.TimedOut", "the server did not answer in time"); break;
        case WsaConnRefused: detail = Tr("Problem.Refused", "the connection was refused"); break;
        case WsaHostNotFound: detail = Tr("Problem.HostNotFound", "the server's name was not found"); break;
        case WsaConnReset: detail = Tr("Problem.Closed", "the server closed the connection"); break;
        // The secure layer names its own reason (certificate, fingerprint, version).
        case SecureFailure: detail = serverLine; break;
        default: detail = Tr("Problem.Network", "network error") + " " + std::to_string(socketError); break;
    }
    return what + ": " + detail;
}

TMailCommands::TVerdict TMailCommands::Classify(const std::string& address, const std::string& header) {
    TVerdict verdict;
    if (!address.empty() && dm_.cdsFriends.Locate("name", address, true)) {
        verdict.byLists = true;
        return verdict;
    }
    if (IsBlacklisted(address)) {
        verdict = {1, true, false, Tr("ContainsInBlackList", "Contains in BlackList")};
        return verdict;
    }
    if (!filters_) return verdict;
    const auto evaluation = FilterEngine().TryEvaluate(header);
    verdict.engineError = evaluation.outcome == TFilter::TOutcome::EngineError;
    if (evaluation.outcome == TFilter::TOutcome::Caught) verdict.result = evaluation.actionId;
    return verdict;
}

bool TMailCommands::IsBlacklisted(const std::string& address) { return blacklist_.Matches(address); }

void TMailCommands::EnableActions(bool enabled) {
    static const char* const moduleActions[] = {
        "AddToFilter", "RetrieveBody", "Complain",      "DelRetrieveBody", "ReceiveIdentityMail",
        "ProcessMail", "RunMailClient", "CustomizeActionBars", "AddAccount", "DeleteAccount",
        "ApplyAcc",    "AddBlackList", "BlackListRemove", "FriendsRemove", "AddFriends",
        "DelBoxComplain"};
    for (const char* name : moduleActions)
        if (TAction* action = dm_.Actions.Find(name)) action->SetEnabled(enabled);
    if (filters_)
        for (const auto& action : filters_->Actions.Items()) action->SetEnabled(enabled);
    static const char* const viewActions[] = {"Move2DelBox", "Add2Friends", "Add2Blacklist", "SelectAll",
                                              "UnSelectAll", "MoveToInBox"};
    for (TActionList* list : dm_.ViewActions)
        for (const char* name : viewActions)
            if (TAction* action = list->Find(name)) action->SetEnabled(enabled);
    if (!enabled) return;
    // The availability rules refine what was switched on.
    for (const auto& action : dm_.Actions.Items()) action->Update();
    if (filters_)
        for (const auto& action : filters_->Actions.Items()) action->Update();
    for (const auto& changed : dm_.ViewChangeHandlers) changed();
}
