#include "core/SettingsRules.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "core/DataModule.h"
#include "core/Scramble.h"
#include "i18n/Language.h"
#include "i18n/Translator.h"
#include "integration/MailClients.h"
#include "mail/TlsSettings.h"
#include "parsing/TextOps.h"
#include "platform/Home.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <exception>

namespace {

constexpr int kPop3Tab = 0;
constexpr int kImapTab = 2;

// The usual port of each tab's protocol; AOL has its fixed address.
int UsualPort(int tab) { return tab == kImapTab ? 143 : tab == kPop3Tab ? 110 : 0; }

// A box's text as a number; what is no number counts as the low end.
int NumberOf(const std::string& text, int fallback) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        return used == text.size() ? value : fallback;
    } catch (...) {
        return fallback;
    }
}

// A row to show: a stored one, or one being added.
bool HasRow(const TTable& table) { return table.RecordCount() > 0 || table.State() != TTable::TState::Browse; }

void EnsureEditing(TTable& table) {
    if (table.State() == TTable::TState::Browse) table.Edit();
}

}  // namespace

TSettingsRules::TSettingsRules(TDM& dm) : dm_(dm) {}

// ------------------------------------------------------------ protocol tabs

const std::vector<std::string>& TSettingsRules::ProtocolTabs() {
    static const std::vector<std::string> tabs{"POP3", "AOL", "IMAP"};
    return tabs;
}

int TSettingsRules::TabOfCurrentAccount(int current) const {
    if (!HasRow(dm_.cdsAccounts)) return current;
    const std::string proto = dm_.cdsAccounts.AsString("proto");
    const auto& tabs = ProtocolTabs();
    const auto found = std::find(tabs.begin(), tabs.end(), proto);
    return found == tabs.end() ? current : static_cast<int>(found - tabs.begin());
}

bool TSettingsRules::CanSwitchProtocol() const {
    const TTable& a = dm_.cdsAccounts;
    if (!HasRow(a)) return true;
    for (const char* field : {"host", "login", "password", "smtp_host", "email"})
        if (!a.AsString(field).empty()) return false;
    return true;
}

void TSettingsRules::ProtocolTabChanged(int tab) {
    TTable& a = dm_.cdsAccounts;
    const auto& tabs = ProtocolTabs();
    if (tab < 0 || tab >= static_cast<int>(tabs.size())) return;
    if (!HasRow(a)) return;
    const std::string& proto = tabs[static_cast<std::size_t>(tab)];
    if (a.AsString("proto") == proto) return;
    EnsureEditing(a);
    const int oldPort = UsualPort(TabOfCurrentAccount(-1));
    a.SetValue("proto", proto);
    if (UsualPort(tab) != 0 && oldPort != 0 && a.AsInteger("port") == oldPort)
        a.SetValue("port", static_cast<std::int64_t>(UsualPort(tab)));
}

void TSettingsRules::AddAccount(int tab) {
    dm_.Actions["AddAccount"].Execute();
    ProtocolTabChanged(tab);
}

int TSettingsRules::DeleteAccount(int tab) {
    dm_.Actions["DeleteAccount"].Execute();
    const int shown = TabOfCurrentAccount(tab);
    ProtocolTabChanged(shown);
    return shown;
}

void TSettingsRules::ApplyAccount(int tab) {
    ProtocolTabChanged(tab);
    dm_.Actions["ApplyAcc"].Execute();
}

void TSettingsRules::TestAccount() {
    const TAccountTestResult result = dm_.TestAccount();
    if (!result.Ran) return;
    TTable& a = dm_.cdsAccounts;
    const struct {
        const std::string& fingerprint;
        const char* hostField;
        const char* trustField;
    } servers[] = {{result.IncomingCertificate, "host", "trusted_cert"},
                   {result.SmtpCertificate, "smtp_host", "smtp_trusted_cert"}};
    for (const auto& server : servers) {
        if (server.fingerprint.empty()) continue;
        // One line a text in the language files: the fingerprint stands between.
        const std::string text =
            ReplaceAll(Tr("TrustCertificate", "The certificate of <%host> cannot be verified. Its SHA-256 fingerprint is:"),
                       "<%host>", a.AsString(server.hostField)) +
            "\r\n" + server.fingerprint + "\r\n" +
            Tr("TrustCertificateQuestion",
               "Trust it only if your mail provider gives the same fingerprint. Trust this certificate for this account?");
        if (UserInterface().MessageBox(text, Tr("TrustCertificateCaption", "Certificate"), TMsgIcon::Warning,
                                       mbYesNo) != TMsgResult::Yes)
            continue;
        EnsureEditing(a);
        a.SetValue(server.trustField, server.fingerprint);
        a.Post();
    }
}

// ------------------------------------------------------------ account fields

void TSettingsRules::PasswordTyped(const std::string& text) {
    if (HasRow(dm_.cdsAccounts)) dm_.SetAccountPassword(text);
}

std::string TSettingsRules::SmtpHostOnEnter(const std::string& smtpHost, const std::string& incomingHost) {
    return smtpHost.empty() ? incomingHost : smtpHost;
}

const std::vector<std::string>& TSettingsRules::SecurityWords() {
    static const std::vector<std::string> words{SecurityWord(TSecurity::Automatic), SecurityWord(TSecurity::Tls),
                                                SecurityWord(TSecurity::StartTls), SecurityWord(TSecurity::None)};
    return words;
}

const std::vector<std::string>& TSettingsRules::SecurityNames() {
    static const std::vector<std::string> names{"Automatic", "SSL/TLS", "STARTTLS", "None"};
    return names;
}

int TSettingsRules::SecurityIndex(const std::string& stored) {
    const TSecurity security = ParseSecurity(stored).value_or(TSecurity::Automatic);
    const auto& words = SecurityWords();
    const auto found = std::find(words.begin(), words.end(), SecurityWord(security));
    return found == words.end() ? 0 : static_cast<int>(found - words.begin());
}

void TSettingsRules::SecurityChosen(bool smtp, int index) {
    TTable& a = dm_.cdsAccounts;
    const auto& words = SecurityWords();
    if (!HasRow(a) || index < 0 || index >= static_cast<int>(words.size())) return;
    const std::string& word = words[static_cast<std::size_t>(index)];
    EnsureEditing(a);
    a.SetValue(smtp ? "smtp_security" : "security", word);
    // Plain and implicit-TLS ports of SMTP, POP3 and IMAP.
    const int plain = smtp ? 25 : a.AsString("proto") == "IMAP" ? 143 : 110;
    const int tls = smtp ? 465 : plain == 143 ? 993 : 995;
    const char* portField = smtp ? "smtp_host_port" : "port";
    const std::int64_t port = a.AsInteger(portField);
    if (port != plain && port != tls) return;
    const bool implicitTls = word == SecurityWord(TSecurity::Tls);
    a.SetValue(portField, static_cast<std::int64_t>(implicitTls ? tls : plain));
}

// ------------------------------------------------------------ Misc page

std::vector<std::string> TSettingsRules::LanguageNames(const TTranslator& translator) {
    std::vector<std::string> names;
    translator.ListLanguages(names);
    // The program's own texts are English and need no file: without it in
    // the list, a user who chose another language could never come back.
    const std::string builtIn = LanguageName(TLanguage::English);
    if (std::find(names.begin(), names.end(), builtIn) == names.end()) names.push_back(builtIn);
    std::sort(names.begin(), names.end());
    return names;
}

int TSettingsRules::CurrentLanguageIndex(const std::vector<std::string>& names, const TTranslator& translator) {
    const std::string current = LanguageName(translator.Language());
    return static_cast<int>(std::lower_bound(names.begin(), names.end(), current) - names.begin());
}

void TSettingsRules::ChooseLanguage(TTranslator& translator, const std::string& name) {
    translator.ApplyLanguage(LanguageFromName(name));
}

std::vector<std::string> TSettingsRules::MailClients() { return ListMailClients(); }

int TSettingsRules::CurrentMailClientIndex(const std::vector<std::string>& clients) const {
    const std::string stored = dm_.cdsIdentities.AsString("mailclient");
    const auto found = std::find(clients.begin(), clients.end(), stored);
    return found == clients.end() ? -1 : static_cast<int>(found - clients.begin());
}

void TSettingsRules::ChooseMailClient(const std::string& entry) {
    if (!HasRow(dm_.cdsIdentities)) return;
    EnsureEditing(dm_.cdsIdentities);
    dm_.cdsIdentities.SetValue("mailclient", entry);
}

void TSettingsRules::SetStartMailClient(bool start) {
    if (!HasRow(dm_.cdsIdentities)) return;
    EnsureEditing(dm_.cdsIdentities);
    dm_.cdsIdentities.SetValue("startmailclient", start);
}

// ------------------------------------------------------------ timer

int TSettingsRules::Hours() const { return dm_.TimerHours; }
int TSettingsRules::Minutes() const { return dm_.TimerMinutes; }
bool TSettingsRules::TimerEnabled() const { return dm_.Timer.Enabled(); }

void TSettingsRules::SetTimerEnabled(bool enabled) { dm_.Timer.SetEnabled(enabled); }

void TSettingsRules::DialogHidden(bool enabled, const std::string& hoursText, const std::string& minutesText) {
    // A pending row that its table refuses stays in edit mode and its error is
    // passed on, but only after the timer settings are kept: they are not lost
    // for a mistake in an account.
    std::exception_ptr refused;
    for (TTable* table : {&dm_.cdsIdentities, &dm_.cdsAccounts}) {
        try {
            if (table->State() != TTable::TState::Browse) table->Post();
        } catch (...) {
            if (!refused) refused = std::current_exception();
        }
    }
    TIniFile ini(ProgramFile("misc.ini"));
    ini.WriteBool("timer", "enable", enabled);
    ini.WriteString("timer", "hours", hoursText);
    ini.WriteString("timer", "minuts", minutesText);
    dm_.SetTimerInterval(NumberOf(hoursText, kMinHours), NumberOf(minutesText, kMinMinutes));
    dm_.Timer.SetEnabled(enabled);
    if (refused) std::rethrow_exception(refused);
}
