#include "complaints/ComplaintForm.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "complaints/ComplaintComposer.h"
#include "filtering/Regex.h"
#include "mail/Mailbox.h"
#include "mail/ProtocolText.h"
#include "platform/Locale.h"
#include "mail/SmtpClient.h"
#include "mail/TlsAccount.h"
#include "parsing/TextOps.h"

#include <set>


namespace {

// why: the server's refusal or the security problem, when there is one to tell.
void ShowSmtpSendError(const std::string& why = {}) {
    UserInterface().MessageBox(Tr("twkComplaint.SMTPSendError", "SMTP send error") + (why.empty() ? "" : "\n" + why),
                               Tr("twkComplaint.Error", "Error"), TMsgIcon::Error, mbOK);
}

void ShowSmtpMissing() {
    UserInterface().MessageBox(
        Tr("SMTP_Error", "Because of SMTP Server absent (Settings->Accounts) this function is not available"), "Error",
        TMsgIcon::Error, mbOK);
}

class TWaitCursor {
public:
    TWaitCursor() { UserInterface().SetCursor(TCursor::Wait); }
    ~TWaitCursor() { UserInterface().SetCursor(TCursor::Default); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace

// What every send of the window does first: no running mail client, an
// SMTP server in the account, the message downloaded when none is stored,
// the sign-in. The pages stay disabled while the session lives.
class TComplaintForm::TSendSession {
public:
    explicit TSendSession(TComplaintForm& form) : form_(form) {}
    ~TSendSession() {
        if (!disabled_) return;
        form_.PagesEnabled = true;
        form_.Changed();
    }
    TSendSession(const TSendSession&) = delete;
    TSendSession& operator=(const TSendSession&) = delete;

    bool Begin() {
        if (form_.IsMailClientRunning && form_.IsMailClientRunning()) return false;
        const std::optional<TAccountValues> found = form_.AccountOf ? form_.AccountOf(form_.AccountId) : std::nullopt;
        if (!found) {
            UserInterface().MessageBox(Tr("DM.AccountMissing", "The account of this message is not available; sign "
                                                               "in to its identity first."),
                                       Tr("Error", "Error"), TMsgIcon::Error, mbOK);
            return false;
        }
        account = *found;
        if (TrimText(account.smtpHost).empty()) {
            ShowSmtpMissing();
            return false;
        }
        form_.PagesEnabled = false;
        disabled_ = true;
        form_.Changed();
        if (form_.MessageText.empty()) {
            const TWaitCursor wait;
            form_.RetrieveMessage(account);
        }
        SetUpSmtpClient(smtp, account);
        bool signedIn;
        {
            const TWaitCursor wait;
            signedIn = smtp.Login();
        }
        if (!signedIn) ShowSmtpSendError(smtp.LoginProblem);
        return signedIn;
    }

    // Hands the lines over and signs off; tells the user how it went.
    bool Send(const std::vector<std::string>& lines, const std::string& sentText, const std::string& sentCaption) {
        const bool sent = smtp.SendData(lines);
        const std::string refusal = sent ? std::string() : smtp.ResultString;
        smtp.Logout();
        if (sent)
            UserInterface().MessageBox(sentText, sentCaption, TMsgIcon::Information, mbOK);
        else
            ShowSmtpSendError(refusal);
        return sent;
    }

    TAccountValues account;
    TSmtpClient smtp;

private:
    TComplaintForm& form_;
    bool disabled_ = false;
};

TComplaintForm::TComplaintForm() {
    Actions.Add("Check", "Check", "Complaint").OnExecute = [this](TAction&) { Check(); };
    Actions.Add("SendAdminComplaint", "Send admin complain", "Complaint").OnExecute = [this](TAction&) {
        SendAdminComplaint();
    };
    Actions.Add("SendUserComplaint", "Send user complain", "Complaint").OnExecute = [this](TAction&) {
        SendUserComplaint();
    };
    Actions.Add("SendErrMsg", "Send error message", "Complaint").OnExecute = [this](TAction&) { SendErrMsg(); };
    for (const char* name : {"Check", "SendAdminComplaint", "SendUserComplaint"}) Actions[name].SetEnabled(false);
}

void TComplaintForm::Changed() {
    if (OnChange) OnChange();
}

void TComplaintForm::Show() {
    ActivePage = 0;
    PagesEnabled = true;
    IPInformation.clear();
    AdminList.clear();
    const std::vector<std::string> found = ExtractRouteAddresses(MessageText);
    const std::set<std::string> route(found.begin(), found.end());
    RouteList.assign(route.begin(), route.end());
    RouteIndex = RouteList.empty() ? -1 : 0;
    Actions["Check"].SetEnabled(!RouteList.empty());
    CollectMessageAddresses();
    UpdateSendActions();
    Changed();
}

void TComplaintForm::CollectMessageAddresses() {
    std::vector<std::string> addresses;
    TRegex pattern(kEmailAddressPattern);
    try {
        if (pattern.Exec(MessageText)) do {
                InsertSortedNoCase(addresses, pattern.Match(0));
            } while (pattern.ExecNext());
    } catch (const TRegexError&) {
        // A message too tangled to search offers what was found before.
    }
    UserList.clear();
    for (const std::string& address : addresses) UserList.push_back({address, false});
}

void TComplaintForm::UpdateSendActions() {
    const auto anyChecked = [](const std::vector<TCheckedAddress>& list) {
        for (const TCheckedAddress& entry : list)
            if (entry.checked) return true;
        return false;
    };
    Actions["SendAdminComplaint"].SetEnabled(anyChecked(AdminList));
    Actions["SendUserComplaint"].SetEnabled(anyChecked(UserList));
}

void TComplaintForm::SetAdminChecked(std::size_t index, bool checked) {
    if (index >= AdminList.size()) return;
    AdminList[index].checked = checked;
    UpdateSendActions();
}

void TComplaintForm::SetUserChecked(std::size_t index, bool checked) {
    if (index >= UserList.size()) return;
    UserList[index].checked = checked;
    UpdateSendActions();
}

void TComplaintForm::Check() {
    PagesEnabled = false;
    IPInformation.clear();
    AdminList.clear();
    UpdateSendActions();
    Changed();
    TAbuseContacts found;
    {
        const TWaitCursor wait;
        const TWhoisSettings settings = WhoisSettings ? WhoisSettings() : TWhoisSettings::FromMiscIni();
        const bool chosen = RouteIndex >= 0 && RouteIndex < static_cast<int>(RouteList.size());
        found = FindAbuseAddresses(chosen ? RouteList[static_cast<std::size_t>(RouteIndex)] : std::string(), settings);
    }
    IPInformation = found.reply;
    Changed();
    if (SplitLines(IPInformation).empty())
        UserInterface().MessageBox(Tr("no_complaint", "NO COMPLAINT"), Tr("error", "Error"), TMsgIcon::Error, mbOK);
    for (const std::string& address : found.addresses) AdminList.push_back({address, false});
    PagesEnabled = true;
    UpdateSendActions();
    Changed();
}

bool TComplaintForm::SendComplaint(const std::vector<TCheckedAddress>& list, const TComplaintTemplate& message,
                                   bool appendSubject, bool includeOriginal, const std::string& sentText) {
    TSendSession session(*this);
    if (!session.Begin()) return false;
    TComplaintMail mail;
    mail.sender = AddressOf(SenderAddress);
    session.smtp.MailFrom(mail.sender, 0);
    for (const TCheckedAddress& entry : list)
        if (entry.checked) {
            mail.recipients.push_back(entry.address);
            session.smtp.RcptTo(entry.address);
        }
    mail.subject = message.subject;
    mail.appendOriginalSubject = appendSubject;
    mail.originalSubject = MessageSubject;
    mail.text = message.text;
    mail.includeOriginal = includeOriginal;
    mail.original = MessageText;
    return session.Send(ComposeComplaint(mail), sentText, Tr("twkComplaint.Information", "Information"));
}

bool TComplaintForm::SendAdminComplaint() {
    return SendComplaint(AdminList, Templates.admin, AdminAppendSubject, AdminIncludeOriginal,
                         Tr("twkComplaint.AdminMessageSent", "Admin message sent."));
}

bool TComplaintForm::SendUserComplaint() {
    return SendComplaint(UserList, Templates.user, UserAppendSubject, UserIncludeOriginal,
                         Tr("twkComplaint.UserMessageSent", "User message sent."));
}

bool TComplaintForm::SendErrMsg() {
    TSendSession session(*this);
    if (!session.Begin()) return false;
    const TAccountValues& account = session.account;
    session.smtp.MailFrom("MAILER-DAEMON@" + account.host, 0);
    session.smtp.RcptTo(AddressOf(MessageFrom));
    const auto lines = BuildErrorMessage(
        Templates.error, {account.host, MessageFrom, MessageDate, account.login + "@" + account.host, MessageText});
    // Fixed English, as it always was.
    return session.Send(lines, "Error message sent.", "Information");
}

void TComplaintForm::RetrieveMessage(const TAccountValues& account) {
    MessageText.clear();
    auto mailbox = CreateAccountMailbox(account);
    if (WarnIfMailClientRunning) WarnIfMailClientRunning();
    if (!mailbox->Login()) {
        UserInterface().MessageBox(Tr("twkComplaint.RetriveMessageError", "Retrive message error"),
                                   Tr("twkComplaint.Error", "Error"), TMsgIcon::Error, mbOK);
        return;
    }
    if (mailbox->Retr(static_cast<int>(MessageNumber))) {
        for (std::size_t i = 0; i < mailbox->FullResult.size(); ++i)
            MessageText += (i ? "\r\n" : "") + mailbox->FullResult[i];
    }
    mailbox->Logout();
}

bool TComplaintForm::SendErrorMessage(const TAccountValues& account, const std::string& fromValue,
                                      const std::string& dateText, const std::string& senderAddress) {
    if (TrimText(account.smtpHost).empty()) {
        ShowSmtpMissing();
        return false;
    }
    TSmtpClient smtp;
    SetUpSmtpClient(smtp, account);
    if (WarnIfMailClientRunning) WarnIfMailClientRunning();
    if (!smtp.Login()) {
        ShowSmtpSendError(smtp.LoginProblem);
        return false;
    }
    smtp.MailFrom("MAILER-DAEMON@" + account.host, 0);
    smtp.RcptTo(senderAddress.empty() ? AddressOf(fromValue) : senderAddress);
    const bool sent = smtp.SendData(BuildErrorMessage(
        Templates.error, {account.host, fromValue, dateText, account.login + "@" + account.host, MessageText}));
    const std::string refusal = sent ? std::string() : smtp.ResultString;
    smtp.Logout();
    // A server that wants a sign-in the account cannot give refuses here: the
    // user must hear it, not find the message missing.
    if (!sent) ShowSmtpSendError(refusal);
    return sent;
}

std::string MessageDateText(TDateTime value) { return UserDateTimeText(value); }
