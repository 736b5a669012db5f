#pragma once

#include <string>
#include <vector>

class TDM;
class TTranslator;

// What the settings dialog does beyond showing the identities and accounts
// tables: the protocol tabs of the accounts page, the password boxes, the
// SMTP-host default, the language and mail-client lists and the check timer
// with its file "misc.ini". The dialog's widgets only forward to it.
class TSettingsRules {
public:
    explicit TSettingsRules(TDM& dm);

    // ------------------------------------------------------------ protocol tabs
    // The tabs in their order; an account's "proto" is the name of its tab.
    static const std::vector<std::string>& ProtocolTabs();
    // The tab of the current account's protocol, or current when the protocol
    // names no tab (or there is no account).
    int TabOfCurrentAccount(int current) const;
    // Only a fresh account, with no server, login, password or address yet,
    // may change its protocol.
    bool CanSwitchProtocol() const;
    // After the tab changed: the account takes its protocol (and the
    // protocol's usual port while the other protocol's usual one is set).
    void ProtocolTabChanged(int tab);
    void AddAccount(int tab);
    // The tab for the account that is current after the deletion.
    int DeleteAccount(int tab);
    void ApplyAccount(int tab);
    // The account test; a server whose certificate did not verify is then
    // offered to be trusted by that certificate's fingerprint, for this
    // account only.
    void TestAccount();

    // ------------------------------------------------------------ account fields
    // The password boxes never show the stored password.
    static const char* PasswordMask() { return "************"; }
    // A typed password waits, marked, to be scrambled when the row is stored;
    // blank text changes nothing.
    void PasswordTyped(const std::string& text);
    // Entering an empty SMTP-server box offers the incoming server.
    static std::string SmtpHostOnEnter(const std::string& smtpHost, const std::string& incomingHost);

    // How each server is secured: the stored words and what the lists show.
    static const std::vector<std::string>& SecurityWords();
    static const std::vector<std::string>& SecurityNames();
    // The list position of a stored word ("ssl" reads as "tls", empty as "auto").
    static int SecurityIndex(const std::string& stored);
    // A choice from a security list (of the SMTP server or the incoming one):
    // stored, and the port follows between the protocol's usual plain and TLS
    // ports while it is one of them.
    void SecurityChosen(bool smtp, int index);

    // ------------------------------------------------------------ Misc page
    // The display names of the languages with a file, sorted, and the
    // position of the current one (where it would be inserted, if missing).
    static std::vector<std::string> LanguageNames(const TTranslator& translator);
    static int CurrentLanguageIndex(const std::vector<std::string>& names, const TTranslator& translator);
    // Re-translates the whole application.
    static void ChooseLanguage(TTranslator& translator, const std::string& name);

    // The registered mail clients; the stored entry's position (exact text),
    // -1 when it is not among them.
    static std::vector<std::string> MailClients();
    int CurrentMailClientIndex(const std::vector<std::string>& clients) const;
    void ChooseMailClient(const std::string& entry);
    void SetStartMailClient(bool start);

    // ------------------------------------------------------------ timer
    static constexpr int kMinHours = 0, kMaxHours = 23, kHourStep = 1;
    static constexpr int kMinMinutes = 15, kMaxMinutes = 55, kMinuteStep = 5;
    int Hours() const;
    int Minutes() const;
    bool TimerEnabled() const;
    // "Enabled" switches the timer at once.
    void SetTimerEnabled(bool enabled);
    // Closing the dialog: pending edits are posted, "misc.ini" is written with
    // the boxes' texts, and the timer follows "Enabled" and the boxes. Throws
    // EIniFileError when "misc.ini" cannot be written.
    void DialogHidden(bool enabled, const std::string& hoursText, const std::string& minutesText);

private:
    TDM& dm_;
};
