// Account commands, the account test, the check timer and the mail client of
// the signed-in identity.
#include "core/DataModule.h"
#include "core/Scramble.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "integration/MailClients.h"
#include "mail/Mailbox.h"
#include "mail/SmtpClient.h"
#include "parsing/TextOps.h"

void TDM::SetUpAccountActions() {
    auto add = [this](const char* name, const char* caption, void (TDM::*handler)()) -> TAction& {
        TAction& a = Actions.Add(name, caption, "Accounts");
        a.OnExecute = [this, handler](TAction&) { (this->*handler)(); };
        return a;
    };
    const auto editing = [this] { return cdsAccounts.State() != TTable::TState::Browse; };
    // An account needs an identity to belong to; none of them may run during a scan.
    add("AddAccount", "Add", &TDM::AddAccountExecute).OnUpdate = [this](TAction& a) {
        a.SetEnabled(Idle && !cdsIdentities.IsEmpty());
    };
    add("DeleteAccount", "Delete", &TDM::DeleteAccountExecute).OnUpdate = [this](TAction& a) {
        a.SetEnabled(Idle && !cdsAccounts.IsEmpty());
    };
    add("ApplyAcc", "Apply", &TDM::ApplyAccExecute).OnUpdate = [this, editing](TAction& a) {
        a.SetEnabled(Idle && editing());
    };
    Actions.Add("Test", "Test", "Accounts").OnUpdate = [this, editing](TAction& a) {
        a.SetEnabled(Idle && !editing() && !cdsAccounts.IsEmpty());
    };
    Actions["Test"].OnExecute = [this](TAction&) { TestAccount(); };
}

void TDM::AddAccountExecute() {
    cdsAccounts.Append();
    cdsAccounts.SetValue("port", std::int64_t{110});
    cdsAccounts.SetValue("authtype", std::string("Login"));
    cdsAccounts.SetValue("description", Tr("NewAccountName", "<New account>"));
}

void TDM::DeleteAccountExecute() { cdsAccounts.Delete(); }

void TDM::ApplyAccExecute() {
    const std::string typed = cdsAccounts.AsString("password");
    cdsAccounts.SetValue("password", ScramblePassword(typed, cdsAccounts.AsString("login"), true));
    // A refused post keeps the row in edit mode: with the password as typed, so
    // that a corrected login still becomes its key.
    try {
        if (cdsAccounts.Post()) return;
    } catch (...) {
        cdsAccounts.SetValue("password", typed);
        throw;
    }
    cdsAccounts.SetValue("password", typed);
}

bool TDM::SetAccountPassword(const std::string& typed) {
    if (IsBlankText(typed)) return true;
    if (typed.size() > kAccountPasswordMax) {
        std::string text = Tr("PasswordTooLong", "The password is longer than <%max> characters.");
        if (const size_t at = text.find("<%max>"); at != std::string::npos)
            text.replace(at, 6, std::to_string(kAccountPasswordMax));
        UserInterface().MessageBox(text, Tr("Error", "Error"), TMsgIcon::Error, mbOK);
        return false;
    }
    if (cdsAccounts.State() == TTable::TState::Browse) cdsAccounts.Edit();
    cdsAccounts.SetValue("password", kPlainPasswordMark + typed);
    return true;
}

TAccountTestResult TDM::TestAccount() {
    TAccountTestResult result;
    if (IsMailClientRunning()) return result;
    result.Ran = true;
    TUserInterface& ui = UserInterface();
    ui.SetCursor(TCursor::Wait);
    const std::string proto = cdsAccounts.AsString("proto");
    {
        auto box = CreateMailbox(proto);
        box->Host = cdsAccounts.AsString("host");
        box->Port = std::to_string(cdsAccounts.AsInteger("port"));
        box->AuthType = AuthUserPass;
        box->Username = cdsAccounts.AsString("login");
        box->Password = ScramblePassword(cdsAccounts.AsString("password"), box->Username, false);
        result.IncomingOk = box->Login();
        result.Text = result.IncomingOk ? Tr("POP3_SERVER_OK", "TEST <Proto> SERVER OK")
                                        : Tr("POP3_SERVER_ERR", "TEST <Proto> SERVER ERROR");
        result.Text = ReplaceAll(result.Text, "<Proto>", proto);
        if (result.IncomingOk) box->Logout();
    }
    {
        TSmtpClient smtp;
        smtp.Host = cdsAccounts.AsString("smtp_host");
        smtp.Port = std::to_string(cdsAccounts.AsInteger("smtp_host_port"));
        smtp.Timeout = 10000;
        result.SmtpOk = smtp.Login();
        result.Text += "\r\n";
        if (result.SmtpOk) {
            result.Text += Tr("SMTP_SERVER_OK", "TEST SMTP SERVER OK");
            smtp.MailFrom("user", 0);
            smtp.Logout();
        } else {
            result.Text += Tr("SMTP_SERVER_ERR", "TEST SMTP SERVER ERR");
        }
    }
    ui.SetCursor(TCursor::Default);
    ui.MessageBox(result.Text, Tr("TEST_INFO", "TEST INFO"), TMsgIcon::Information, mbOK);
    return result;
}

// ---------------------------------------------------------------- timer

void TDM::TimerTimer() {
    if (!Idle) return;
    // Hook: the scan and Process Mail are the actions "ReceiveIdentityMail" and
    // "ProcessMail", added by their own files. Executing applies their
    // availability rules, so Process Mail runs only when there is work.
    if (TAction* scan = Actions.Find("ReceiveIdentityMail")) scan->Execute();
    if (TAction* process = Actions.Find("ProcessMail")) process->Execute();
}

// ---------------------------------------------------------------- mail client

bool TDM::IsMailClientRunning() { return ::IsMailClientRunning(); }

void TDM::RunMailClientCommand() {
    if (cdsIdentities.IsEmpty()) return;
    ::RunMailClientCommand(cdsIdentities.AsString("mailclient"));
}
