// Account commands, the account test, the check timer and the mail client of
// the signed-in identity.
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/Scramble.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "data/TTableFile.h"
#include "integration/MailClients.h"
#include "mail/Mailbox.h"
#include "mail/SmtpClient.h"
#include "mail/TlsAccount.h"
#include "parsing/TextOps.h"

#include <filesystem>

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

namespace {

// What the test adds to a server's line: the TLS that was negotiated, or why
// the connection or sign-in was refused for its security.
std::string SecurityNote(bool ok, const std::string& negotiated, const std::string& problem) {
    if (ok) return negotiated.empty() ? std::string() : " (" + negotiated + ")";
    return problem.empty() ? std::string() : ": " + problem;
}

// The certificate that a connection was given up for, if that was why.
std::string RefusedCertificate(const TTlsOutcome& outcome) {
    return !outcome.Encrypted && !outcome.Problem.empty() ? outcome.Fingerprint : std::string();
}

}  // namespace

TAccountTestResult TDM::TestAccount() {
    TAccountTestResult result;
    if (IsMailClientRunning()) return result;
    result.Ran = true;
    TUserInterface& ui = UserInterface();
    ui.SetCursor(TCursor::Wait);
    const TAccountValues account = AccountValuesOf(cdsAccounts);
    {
        auto box = CreateAccountMailbox(account);
        result.IncomingOk = box->Login();
        result.Text = result.IncomingOk ? Tr("POP3_SERVER_OK", "TEST <Proto> SERVER OK")
                                        : Tr("POP3_SERVER_ERR", "TEST <Proto> SERVER ERROR");
        result.Text = ReplaceAll(result.Text, "<Proto>", account.proto);
        const std::string problem = box->SocketError() == SecureFailure ? box->ResultString : std::string();
        result.Text += SecurityNote(result.IncomingOk, box->SecurityText(), problem);
        if (!result.IncomingOk) result.IncomingCertificate = RefusedCertificate(box->TlsOutcome());
        if (result.IncomingOk) box->Logout();
    }
    {
        TSmtpClient smtp;
        SetUpSmtpClient(smtp, account);
        smtp.Timeout = 10000;
        result.SmtpOk = smtp.Login();
        result.Text += "\r\n";
        if (result.SmtpOk) {
            result.Text += Tr("SMTP_SERVER_OK", "TEST SMTP SERVER OK");
            result.Text += SecurityNote(true, smtp.SecurityText(), "");
            smtp.MailFrom("user", 0);
            smtp.Logout();
        } else {
            result.Text += Tr("SMTP_SERVER_ERR", "TEST SMTP SERVER ERR");
            result.Text += SecurityNote(false, "", smtp.LoginProblem);
            result.SmtpCertificate = RefusedCertificate(smtp.TlsOutcome());
        }
    }
    ui.SetCursor(TCursor::Default);
    ui.MessageBox(result.Text, Tr("TEST_INFO", "TEST INFO"), TMsgIcon::Information, mbOK);
    return result;
}

// An accounts.dat from before the security fields holds the older fields
// only, in the same order, and the table would refuse to load it. It is
// written anew with the added fields at their defaults and put in place in
// one rename, so that a crash leaves the old file or the new one.
void TDM::UpgradeAccountsFile() {
    const std::string file = cdsAccounts.FileName();
    std::vector<TStoredField> layout;
    std::vector<TValue> defaults;
    for (const TFieldDef& f : cdsAccounts.Fields()) {
        if (f.calculated) continue;
        layout.push_back({f.name, FieldTypeName(f.type), f.size});
        defaults.push_back(f.defaultValue);
    }
    const auto stored = TTableFile::ReadLayout(file);
    if (!stored || stored->empty() || stored->size() >= layout.size()) return;
    for (std::size_t i = 0; i < stored->size(); ++i)
        if ((*stored)[i].name != layout[i].name || (*stored)[i].type != layout[i].type) return;
    TStoredTable old;
    if (TTableFile(file).Read(old) != TLoadResult::Loaded) return;
    std::vector<const TStoredRow*> rows;
    for (TStoredRow& row : old.rows) {
        for (std::size_t i = row.values.size(); i < layout.size(); ++i) row.values.push_back(defaults[i]);
        rows.push_back(&row);
    }
    const std::string upgraded = file + ".upgrade";
    std::error_code ec;
    std::filesystem::remove(upgraded, ec);
    bool written;
    {
        TTableFile writer(upgraded);
        written = writer.Write(layout, rows, {}, old.nextAutoInc);
    }
    if (written) std::filesystem::rename(upgraded, file, ec);
    if (!written || ec) std::filesystem::remove(upgraded, ec);
}

// ---------------------------------------------------------------- timer

void TDM::TimerTimer() {
    if (!Idle) return;
    // Hook: the scan and Process Mail are the actions "ReceiveIdentityMail" and
    // "ProcessMail", added by their own files. Executing applies their
    // availability rules, so Process Mail runs only when there is work.
    if (TAction* scan = Actions.Find("ReceiveIdentityMail")) scan->Execute();
    TAction* process = Actions.Find("ProcessMail");
    const bool processed = process && process->Execute();
    if (AfterTimedRun) AfterTimedRun(processed);
}

// ---------------------------------------------------------------- mail client

bool TDM::IsMailClientRunning() { return ::IsMailClientRunning(); }

void TDM::RunMailClientCommand() {
    if (cdsIdentities.IsEmpty()) return;
    ::RunMailClientCommand(cdsIdentities.AsString("mailclient"));
}
