// The commands on one listed message, and what the mail commands share.
#include "core/MailCommands.h"

#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MessageIdentity.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "filtering/dmfilters.h"
#include "mail/Mailbox.h"
#include "mail/TlsAccount.h"
#include "parsing/TMailMessage.h"
#include "parsing/TextOps.h"
#include "parsing/TMessaging.h"

TMailCommands::TMailCommands(TDM& dm, TComplaintForm& complaint, TFilterDM* filters)
    : dm_(dm), complaint_(complaint), filters_(filters), blacklist_(dm.cdsBlackList) {
    SetUpActions();
    if (filters_) filters_->IsScanRunning = [this] { return !dm_.Idle; };
    // The error message warns of a running mail client and is sent all the same.
    if (!complaint_.WarnIfMailClientRunning) complaint_.WarnIfMailClientRunning = [this] { dm_.IsMailClientRunning(); };
    // The complaint window's sends stop while one runs.
    if (!complaint_.IsMailClientRunning) complaint_.IsMailClientRunning = [this] { return dm_.IsMailClientRunning(); };
    if (!complaint_.AccountOf)
        complaint_.AccountOf = [this](std::int64_t id) -> std::optional<TAccountValues> {
            if (!LocateAccount(id)) return std::nullopt;
            return CurrentAccount();
        };
}

void TMailCommands::SetUpActions() {
    auto boxAction = [this](const char* name, const char* caption, const char* category, TTable& box,
                            void (TMailCommands::*execute)()) {
        TAction& action = dm_.Actions.Add(name, caption, category);
        action.OnExecute = [this, execute](TAction&) { (this->*execute)(); };
        action.OnUpdate = [this, &box](TAction& a) { a.SetEnabled(!box.IsEmpty() && dm_.Idle); };
    };
    TAction& receive = dm_.Actions.Add("ReceiveIdentityMail", "Receive Mail", "InBox");
    receive.OnExecute = [this](TAction&) { ReceiveIdentityMailExecute(); };
    receive.OnUpdate = [this](TAction& a) { a.SetEnabled(dm_.Idle && !dm_.NotLoggedIn); };
    TAction& process = dm_.Actions.Add("ProcessMail", "Process Mail", "InBox");
    process.OnExecute = [this](TAction&) { ProcessMailExecute(); };
    process.OnUpdate = [this](TAction& a) { ProcessMailUpdate(a); };
    TAction& run = dm_.Actions.Add("RunMailClient", "Process&&Run", "InBox");
    run.OnExecute = [this](TAction&) { RunMailClientExecute(); };
    run.OnUpdate = [this](TAction& a) { ProcessMailUpdate(a); };
    boxAction("RetrieveBody", "Retrieve body", "InBox", dm_.cdsInBox, &TMailCommands::RetrieveBodyExecute);
    boxAction("DelRetrieveBody", "Retrieve body", "Friends", dm_.cdsDelBox, &TMailCommands::DelRetrieveBodyExecute);
    boxAction("Complain", "Complain", "InBox", dm_.cdsInBox, &TMailCommands::ComplainExecute);
    boxAction("DelBoxComplain", "Complain", "Friends", dm_.cdsDelBox, &TMailCommands::DelBoxComplainExecute);
}

TAccountValues AccountValuesOf(TTable& accounts) {
    const TTable& a = accounts;
    TAccountValues v;
    v.id = a.AsInteger("id");
    v.description = a.AsString("description");
    v.host = a.AsString("host");
    v.port = static_cast<int>(a.AsInteger("port"));
    v.proto = a.AsString("proto");
    v.login = a.AsString("login");
    v.password = TDM::ScramblePassword(a.AsString("password"), v.login, false);
    v.smtpHost = a.AsString("smtp_host");
    v.smtpPort = static_cast<int>(a.AsInteger("smtp_host_port"));
    v.email = a.AsString("email");
    v.security = a.AsString("security");
    v.smtpSecurity = a.AsString("smtp_security");
    v.tlsUsed = a.AsBoolean("tls_used");
    v.smtpTlsUsed = a.AsBoolean("smtp_tls_used");
    v.trustedCertificate = a.AsString("trusted_cert");
    v.smtpTrustedCertificate = a.AsString("smtp_trusted_cert");
    v.rememberTls = [&accounts, id = v.id](bool outgoing) { RememberTlsUsed(accounts, id, outgoing); };
    return v;
}

void RememberTlsUsed(TTable& accounts, std::int64_t id, bool outgoing) {
    if (accounts.State() != TTable::TState::Browse || accounts.IsEmpty()) return;
    const char* field = outgoing ? "smtp_tls_used" : "tls_used";
    const TTable::TBookmark standing = accounts.Bookmark();
    if (accounts.AsInteger("id") == id || accounts.Locate("id", id)) {
        if (!accounts.AsBoolean(field)) {
            accounts.Edit();
            accounts.SetValue(field, true);
            // A table file that cannot be written loses only this note; the mail goes on.
            try {
                accounts.Post();
            } catch (const std::exception&) {
                if (accounts.State() != TTable::TState::Browse) accounts.Cancel();
            }
        }
    }
    accounts.GotoBookmark(standing);
}

std::string RowSenderAddress(TTable& box) {
    const std::string address = box.AsString("fromaddress");
    return address.empty() ? AddressOf(box.AsString("from")) : address;
}

TAccountValues TMailCommands::CurrentAccount() const { return AccountValuesOf(dm_.cdsAccounts); }

bool TMailCommands::LocateAccount(std::int64_t id) { return id > 0 && dm_.cdsAccounts.Locate("id", id); }

namespace {

// A row whose account is gone (deleted, or another identity signed in) is
// never served from another account.
void ShowAccountMissing() {
    UserInterface().MessageBox(
        Tr("DM.AccountMissing", "The account of this message is not available; sign in to its identity first."),
        Tr("Error", "Error"), TMsgIcon::Error, mbOK);
}

}  // namespace

void TMailCommands::RetrieveBody(TTable& box) {
    if (box.IsEmpty()) return;
    if (!LocateAccount(box.AsInteger("idaccount"))) return ShowAccountMissing();
    TUserInterface& ui = UserInterface();
    ui.SetCursor(TCursor::Wait);
    const TAccountValues account = CurrentAccount();
    {
        auto mailbox = CreateAccountMailbox(account);
        TMailMessage message;
        std::vector<std::string> lines;
        // The number of the scan names the message only while nobody else changed the mailbox.
        if (mailbox->Login()) {
            mailbox->LoadUniqueIds();  // without ids, the header decides
            const int number = LocateMessage(*mailbox, static_cast<int>(box.AsInteger("messagenum")), box.AsString("uid"));
            if (number > 0 && mailbox->Retr(number)) message.RawLines = mailbox->FullResult;
        }
        std::string text = TMessaging().HeaderText(message);
        text += "\n\r";
        box.Edit();
        box.SetValue("header", text);
        box.Post();
        // Freed without signing off: nothing marked, nothing deleted.
    }
    ui.SetCursor(TCursor::Default);
}

void TMailCommands::RetrieveBodyExecute() { RetrieveBody(dm_.cdsInBox); }
void TMailCommands::DelRetrieveBodyExecute() { RetrieveBody(dm_.cdsDelBox); }

void TMailCommands::Complain(TTable& box) {
    if (box.IsEmpty()) return;
    if (!LocateAccount(box.AsInteger("idaccount"))) return ShowAccountMissing();
    complaint_.MessageText = box.AsString("header");
    complaint_.MessageFrom = box.AsString("from");
    complaint_.MessageDate = box.IsNull("date") ? "" : MessageDateText(box.AsDateTime("date"));
    complaint_.AccountId = box.AsInteger("idaccount");
    complaint_.MessageNumber = box.AsInteger("messagenum");
    complaint_.SenderAddress = dm_.cdsAccounts.AsString("email");
    complaint_.MessageSubject = box.AsString("subject");
    UserInterface().ShowComplaintWindow(complaint_);
}

void TMailCommands::ComplainExecute() { Complain(dm_.cdsInBox); }
void TMailCommands::DelBoxComplainExecute() { Complain(dm_.cdsDelBox); }
