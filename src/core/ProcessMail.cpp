// Process Mail: forwarded headers, error messages and deletion on the servers.
#include "core/MailCommands.h"

#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MessageIdentity.h"
#include "core/Tr.h"
#include "core/UserInterface.h"
#include "mail/Mailbox.h"
#include "mail/ProtocolText.h"
#include "mail/SmtpClient.h"
#include "parsing/TextOps.h"
#include "platform/CodePage.h"

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

void TMailCommands::ForwardFilteredHeaders() {
    TTable& box = dm_.cdsDelBox;
    TSmtpClient smtp;
    std::string connectedTo;  // "host:port" of the signed-in server
    box.DisableControls();
    for (TTable::TBookmark row : RowsByAccount(box)) {
        box.GotoBookmark(row);
        if (box.AsInteger("idaction") != 4 || !LocateAccount(box.AsInteger("idaccount"))) continue;
        const TAccountValues account = CurrentAccount();
        // The copy goes out through the server of the account the message lies in.
        const std::string server = TrimText(account.smtpHost) + ":" + std::to_string(account.smtpPort);
        if (server != connectedTo) {
            if (!connectedTo.empty()) smtp.Logout();
            connectedTo.clear();
            smtp.Host = TrimText(account.smtpHost);
            smtp.Port = std::to_string(account.smtpPort);
            if (smtp.Host.empty() || !smtp.Login()) continue;
            connectedTo = server;
        }
        smtp.MailFrom(AddressOf(box.AsString("from")), 0);
        smtp.RcptTo(account.login + "@" + account.host);
        smtp.SendData(FilteredHeaderCopy(box.AsString("header")));
    }
    box.EnableControls();
    if (!connectedTo.empty()) smtp.Logout();
}

void TMailCommands::DoProcessMail() {
    if (dm_.IsMailClientRunning()) return;
    TUserInterface& ui = UserInterface();
    TStatusLog& log = dm_.StatusLog;
    ui.ShowRetrievalStatus(true);
    log.Clear();
    ui.ProcessMessages();
    ui.SetCursor(TCursor::Wait);
    log.Add(Tr("Sending_header_of_Message", "Sending header of the message"));
    ForwardFilteredHeaders();
    log.Append(Tr("Done", "Done"));
    ui.SetCursor(TCursor::Default);

    TTable& box = dm_.cdsDelBox;
    std::unique_ptr<TPop3Client> mailbox;
    std::int64_t currentAccount = 0;
    bool loggedIn = false;
    TAccountValues account;
    TMessageIdentities identities;
    for (TTable::TBookmark row : RowsByAccount(box)) {
        if (!box.GotoBookmark(row)) continue;
        const std::int64_t number = box.AsInteger("messagenum");
        const std::int64_t accountId = box.AsInteger("idaccount");
        if (!LocateAccount(accountId)) {
            // Never in another account's mailbox: the row waits for its own account.
            log.Add(ReplaceAllNoCase(Tr("AccountNotFound", "Message #<%msgnum>: its account no longer exists"),
                                     "<%msgnum>", std::to_string(number)));
            log.Append(ErrorWord());
            continue;
        }
        if (accountId != currentAccount) {
            if (mailbox) {
                log.Add(Tr("Logout_Message", "Logout"));
                mailbox->Logout();
            }
            account = CurrentAccount();
            mailbox = CreateMailbox(account.proto);
            currentAccount = accountId;
            FillMailbox(*mailbox, account);
            log.Add(Tr("Login_Message", "Login") + " " + mailbox->Username + "@" + mailbox->Host);
            ui.ProcessMessages();
            loggedIn = mailbox->Login();
            log.Append(loggedIn ? "Ok" : ErrorWord());
            if (loggedIn) identities.Read(*mailbox);
        }
        log.Add(Tr("Retrieving_account_statistics", "Retrieving account statistics"));
        ui.ProcessMessages();
        log.Append(mailbox->Stat() ? "Ok" : ErrorWord());

        std::string line = Tr("Deleting_message", "Deleting message #<%msgnum> from account \"<%account>\"");
        line = ReplaceAllNoCase(line, "<%msgnum>", std::to_string(number));
        log.Add(ReplaceAllNoCase(line, "<%account>", account.description));
        ui.ProcessMessages();
        // The number from the scan names the message only while nobody else
        // changed the mailbox: find it by its unique id, or confirm its header.
        int target = static_cast<int>(number);
        if (loggedIn) {
            const std::string identity = box.AsString("uid");
            target = identity.rfind("uid:", 0) == 0 ? identities.NumberOf(identity)
                     : MessageStillThere(*mailbox, target, identity) ? target
                                                                       : 0;
            if (target == 0) {
                log.Append(ErrorWord());
                log.Add(Tr("MessageChangedOnServer",
                           "The message is no longer on the server as it was checked; not deleted"));
                log.Append(ErrorWord());
                continue;
            }
        }
        if (box.AsInteger("idaction") == 3) {
            ui.SetCursor(TCursor::Wait);
            log.Add(Tr("Sending_Error_Message", "Sending error message"));
            mailbox->Retr(target);
            std::string text;
            for (size_t i = 0; i < mailbox->FullResult.size(); ++i) text += (i ? "\r\n" : "") + mailbox->FullResult[i];
            complaint_.MessageText = text;
            complaint_.SendErrorMessage(account, box.AsString("from"), MessageDateText(box.AsDateTime("date")));
            log.Append(Tr("Done", "Done"));
            ui.SetCursor(TCursor::Default);
            ui.ProcessMessages();
        }
        if (mailbox->Dele(target)) {
            log.Append("Ok");
            box.Delete();
        } else {
            log.Append(ErrorWord());
        }
    }
    if (mailbox && loggedIn) {
        log.Add(Tr("Logout_Message", "Logout"));
        mailbox->Logout();
    }
    ui.ShowRetrievalStatus(false);
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
