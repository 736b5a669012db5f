// Process Mail: forwarded headers, error messages and deletion on the servers.
#include "core/MailCommands.h"

#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MessageIdentity.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "mail/Mailbox.h"
#include "mail/ProtocolText.h"
#include "mail/SmtpClient.h"
#include "mail/TlsAccount.h"
#include "parsing/TextOps.h"
#include "platform/CodePage.h"

#include <set>

namespace {

std::string ErrorWord() { return Tr("Error", "Error"); }

// The DelBox rows in the order Process Mail works through them: account by
// account (each in one connection), within an account in the order of the scan.
std::vector<TTable::TBookmark> RowsByAccount(TTable& box) {
    const std::string index = box.IndexName();
    box.DisableControls();
    box.SetIndexName("idaccount");
    std::vector<TTable::TBookmark> rows;
    for (box.First(); !box.Eof(); box.Next()) rows.push_back(box.Bookmark());
    box.SetIndexName(index);
    box.EnableControls();
    return rows;
}

}  // namespace

std::vector<std::string> FilteredHeaderCopy(const std::string& header) {
    std::vector<std::string> lines = SplitLines(header);
    const std::ptrdiff_t at = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(lines.size()) - 2);
    lines.insert(lines.begin() + at, "X-Tarnwick: Filtered");
    for (auto& line : lines)
        if (CodePageSameText(std::string_view(line).substr(0, 8), "Subject:")) line = "Subject: Filtered:" + line.substr(8);
    return lines;
}

TMailCommands::TRowOutcome& TMailCommands::OutcomeOf(std::int64_t idaccount, std::int64_t messagenum) {
    for (auto& outcome : outcomes_)
        if (outcome.idaccount == idaccount && outcome.messagenum == messagenum) return outcome;
    TRowOutcome& outcome = outcomes_.emplace_back();
    outcome.idaccount = idaccount;
    outcome.messagenum = messagenum;
    return outcome;
}

void TMailCommands::ForwardFilteredHeaders() {
    TTable& box = dm_.cdsDelBox;
    TStatusLog& log = dm_.StatusLog;
    TSmtpClient smtp;
    std::string connectedTo;  // "host:port" of the signed-in server
    // A server that refused or never answered is not tried again for every
    // further copy: each try may wait the whole timeout.
    std::set<std::string> failedServers;
    box.DisableControls();
    for (TTable::TBookmark row : RowsByAccount(box)) {
        box.GotoBookmark(row);
        if (box.AsInteger("idaction") != 4) continue;
        TRowOutcome& outcome = OutcomeOf(box.AsInteger("idaccount"), box.AsInteger("messagenum"));
        outcome.idaction = 4;
        if (!LocateAccount(box.AsInteger("idaccount"))) continue;
        const TAccountValues account = CurrentAccount();
        // The copy goes out through the server of the account the message lies
        // in, signed in as that account.
        const std::string server =
            TrimText(account.smtpHost) + ":" + std::to_string(account.smtpPort) + " " + account.login;
        if (server != connectedTo) {
            if (!connectedTo.empty()) smtp.Logout();
            connectedTo.clear();
            SetUpSmtpClient(smtp, account);
            if (smtp.Host.empty()) {
                outcome.note = Tr("Outcome.NoSmtp", "no outgoing server is set for the account");
            } else if (!failedServers.count(server)) {
                if (smtp.Login()) connectedTo = server;
                else {
                    failedServers.insert(server);
                    AddProblem(account, FailureReason(Tr("Problem.SmtpLogin", "The outgoing server refused the sign-in"),
                                                      smtp.ResultString, smtp.Socket().LastError));
                }
            }
        }
        if (connectedTo.empty()) {
            log.Add(ReplaceAllNoCase(Tr("HeaderNotForwarded", "The header of message #<%msgnum> was not forwarded"),
                                     "<%msgnum>", std::to_string(box.AsInteger("messagenum"))));
            log.Append(ErrorWord());
            if (outcome.note.empty()) outcome.note = Tr("Outcome.NotForwarded", "the header was not forwarded");
            continue;
        }
        const bool sent = smtp.MailFrom(RowSenderAddress(box), 0) &&
                          smtp.RcptTo(account.login + "@" + account.host) &&
                          smtp.SendData(FilteredHeaderCopy(box.AsString("header")));
        outcome.forwarded = sent;
        if (!sent) {
            outcome.note = FailureReason(Tr("Outcome.NotForwarded", "the header was not forwarded"), smtp.ResultString,
                                         smtp.Socket().LastError);
            // A server that broke off in the middle is signed in to again for the next copy.
            if (!smtp.Socket().Connected()) connectedTo.clear();
        }
    }
    box.EnableControls();
    if (!connectedTo.empty()) smtp.Logout();
}

void TMailCommands::DoProcessMail() {
    if (dm_.IsMailClientRunning()) return;
    problems_.clear();
    outcomes_.clear();
    failedBounces_.clear();
    TUserInterface& ui = UserInterface();
    TStatusLog& log = dm_.StatusLog;
    ui.ResetSelectionCounts(false, true);
    ui.ShowRetrievalStatus(true);
    log.Clear();
    ui.ProcessMessages();
    ui.SetCursor(TCursor::Wait);
    const int headerLine = log.Add(Tr("Sending_header_of_Message", "Sending header of the message"));
    ForwardFilteredHeaders();
    log.Append(headerLine, Tr("Done", "Done"));
    ui.SetCursor(TCursor::Default);

    TTable& box = dm_.cdsDelBox;
    std::unique_ptr<TPop3Client> mailbox;
    std::int64_t currentAccount = 0;
    bool loggedIn = false;
    TAccountValues account;
    // Rows marked in the current session: deleted only once the sign-off succeeds.
    std::vector<std::size_t> marked;
    const auto signOff = [&] {
        log.Add(Tr("Logout_Message", "Logout"));
        mailbox->Logout();
        const bool carriedOut = mailbox->ResultCode == 1;
        if (!carriedOut && !marked.empty())
            AddProblem(account, FailureReason(Tr("Problem.Logout", "The deletions were not confirmed at sign-off"),
                                              mailbox->ResultString, mailbox->SocketError()));
        for (std::size_t i : marked) {
            outcomes_[i].deleted = carriedOut;
            if (!carriedOut) outcomes_[i].note = Tr("Outcome.NotConfirmed", "the server did not confirm the deletion");
        }
        marked.clear();
    };
    for (TTable::TBookmark row : RowsByAccount(box)) {
        if (!box.GotoBookmark(row)) continue;
        const std::int64_t number = box.AsInteger("messagenum");
        const std::int64_t accountId = box.AsInteger("idaccount");
        OutcomeOf(accountId, number).idaction = box.AsInteger("idaction");
        if (!LocateAccount(accountId)) {
            // Never in another account's mailbox: the row waits for its own account.
            log.Add(ReplaceAllNoCase(Tr("AccountNotFound", "Message #<%msgnum>: its account no longer exists"),
                                     "<%msgnum>", std::to_string(number)));
            log.Append(ErrorWord());
            OutcomeOf(accountId, number).note = Tr("Outcome.NoAccount", "its account no longer exists");
            continue;
        }
        if (accountId != currentAccount) {
            if (mailbox && loggedIn) signOff();
            account = CurrentAccount();
            mailbox = CreateAccountMailbox(account);
            currentAccount = accountId;
            log.Add(Tr("Login_Message", "Login") + " " + mailbox->Username + "@" + mailbox->Host);
            ui.ProcessMessages();
            loggedIn = mailbox->Login();
            const std::string security = loggedIn ? mailbox->SecurityText() : std::string();
            log.Append(!loggedIn ? ErrorWord() : security.empty() ? "Ok" : "Ok (" + security + ")");
            if (loggedIn) mailbox->LoadUniqueIds();
            else
                AddProblem(account, FailureReason(Tr("Problem.Login", "Sign-in failed"), mailbox->ResultString,
                                                  mailbox->SocketError()));
        }
        log.Add(Tr("Retrieving_account_statistics", "Retrieving account statistics"));
        ui.ProcessMessages();
        log.Append(mailbox->Stat() ? "Ok" : ErrorWord());

        std::string line = Tr("Deleting_message", "Deleting message #<%msgnum> from account \"<%account>\"");
        line = ReplaceAllNoCase(line, "<%msgnum>", std::to_string(number));
        log.Add(ReplaceAllNoCase(line, "<%account>", account.description));
        ui.ProcessMessages();
        DeleteRow(*mailbox, account, loggedIn, marked);
    }
    if (mailbox && loggedIn) signOff();
    ui.ResetSelectionCounts(false, true);
    ui.ShowRetrievalStatus(false);
}

// The current DelBox row: its error message when its action asks for one, then
// its deletion, each only while the server still holds the message as it was
// checked. True when the message was marked for deletion.
bool TMailCommands::DeleteRow(TPop3Client& mailbox, const TAccountValues& account, bool loggedIn,
                              std::vector<std::size_t>& marked) {
    TTable& box = dm_.cdsDelBox;
    TStatusLog& log = dm_.StatusLog;
    TUserInterface& ui = UserInterface();
    const int scanned = static_cast<int>(box.AsInteger("messagenum"));
    TRowOutcome& outcome = OutcomeOf(account.id, scanned);
    const std::size_t outcomeIndex = static_cast<std::size_t>(&outcome - outcomes_.data());
    const std::string identity = box.AsString("uid");
    const auto notThere = [&] {
        log.Append(ErrorWord());
        log.Add(Tr("MessageChangedOnServer", "The message is no longer on the server as it was checked; not deleted"));
        log.Append(ErrorWord());
        outcome.note = Tr("Outcome.Changed", "the message changed on the server");
        return false;
    };
    if (!loggedIn) {
        log.Append(ErrorWord());
        outcome.note = Tr("Outcome.NoLogin", "the sign-in failed");
        return false;
    }
    int target = LocateMessage(mailbox, scanned, identity);
    if (target == 0) return notThere();
    if (box.AsInteger("idaction") == 3) {
        ui.SetCursor(TCursor::Wait);
        log.Add(Tr("Sending_Error_Message", "Sending error message"));
        bool sent = false;
        if (failedBounces_.count(account.id)) {
            outcome.note = Tr("Outcome.NotBounced", "the error message was not sent");
        } else {
            mailbox.Retr(target);
            std::string text;
            for (size_t i = 0; i < mailbox.FullResult.size(); ++i) text += (i ? "\r\n" : "") + mailbox.FullResult[i];
            complaint_.MessageText = text;
            sent = complaint_.SendErrorMessage(account, box.AsString("from"), MessageDateText(box.AsDateTime("date")),
                                               RowSenderAddress(box));
            if (!sent) {
                // Not tried again for this account's further rows: each try may wait the whole timeout.
                failedBounces_.insert(account.id);
                AddProblem(account, Tr("Problem.Bounce", "An error message could not be sent"));
                outcome.note = Tr("Outcome.NotBounced", "the error message was not sent");
            }
        }
        outcome.bounced = sent;
        log.Append(sent ? Tr("Done", "Done") : ErrorWord());
        ui.SetCursor(TCursor::Default);
        ui.ProcessMessages();
        // Sending took time, in which the server may have renumbered.
        target = LocateMessage(mailbox, scanned, identity);
        if (target == 0) return notThere();
    }
    if (!mailbox.Dele(target)) {
        log.Append(ErrorWord());
        if (outcome.note.empty()) outcome.note = FailureReason(Tr("Outcome.DeleFailed", "the deletion failed"),
                                                               mailbox.ResultString, mailbox.SocketError());
        return false;
    }
    log.Append("Ok");
    box.Delete();
    marked.push_back(outcomeIndex);
    return true;
}

std::vector<TMailCommands::TPlannedRow> TMailCommands::PlanProcessMail() {
    TTable& box = dm_.cdsDelBox;
    std::vector<TPlannedRow> plan;
    for (TTable::TBookmark row : RowsByAccount(box)) {
        box.GotoBookmark(row);
        TPlannedRow planned;
        planned.idaccount = box.AsInteger("idaccount");
        planned.messagenum = box.AsInteger("messagenum");
        planned.idaction = box.AsInteger("idaction");
        planned.from = box.AsString("from");
        planned.subject = box.AsString("subject");
        planned.reason = box.AsString("Prichina");
        if (LocateAccount(planned.idaccount)) planned.account = dm_.cdsAccounts.AsString("description");
        plan.push_back(std::move(planned));
    }
    return plan;
}

void TMailCommands::ProcessMailExecute() {
    DoProcessMail();
    if (dm_.cdsIdentities.AsBoolean("startmailclient")) dm_.RunMailClientCommand();
    if (TAction* status = dm_.Actions.Find("UpdateStatus")) status->Execute();
}

void TMailCommands::RunMailClientExecute() {
    DoProcessMail();
    dm_.RunMailClientCommand();
    if (TAction* status = dm_.Actions.Find("UpdateStatus")) status->Execute();
}

void TMailCommands::ProcessMailUpdate(TAction& action) {
    // Not while a scan runs, whatever the view's rules say.
    action.SetEnabled(!dm_.cdsDelBox.IsEmpty() && dm_.Idle);
}
