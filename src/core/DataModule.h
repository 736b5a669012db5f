#pragma once

#include "core/StatusLog.h"
#include "base/TAction.h"
#include "base/TTimer.h"
#include "data/TTable.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The outcome of an account test (TDM::TestAccount).
struct TAccountTestResult {
    bool Ran = false;  // false when a running mail client stopped it
    bool IncomingOk = false;
    bool SmtpOk = false;
    std::string Text;  // what the message box showed
    // The SHA-256 fingerprint ("AB:CD:...") of a server's certificate that
    // ended the connection because it did not verify; empty otherwise.
    std::string IncomingCertificate;
    std::string SmtpCertificate;
};

// The central data module: the tables of identities, accounts, the two
// message lists of the last scan, friends and blacklist; the signed-in
// identity, the commands as named actions, the check timer and the status log.
//
// Source files: DataModule.cpp (the store, creation), Identities.cpp
// (sign-in and the identity commands), Accounts.cpp (account commands, account
// test, timer, mail client).
class TDM {
public:
    // The host that every "AOL" account shows; the web-mail adapter has its own address.
    static constexpr const char* kAolHost = "webmail.aol.com";

    TDM();
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // ------------------------------------------------------------ the store
    // Loads the file-backed tables in their order. A file that cannot be read
    // is kept aside under another name, the user is told, and its table starts
    // empty. A file that another program (another Tarnwick on the same home
    // folder) keeps locked for longer than the busy timeout throws
    // THomeInUseError (data/TTableError.h): nothing was renamed or deleted,
    // nothing was shown, and the program should end with its what().
    void LoadStore();

    TTable cdsIdentities;
    TTable cdsAccounts;
    TTable cdsInBox;
    TTable cdsDelBox;
    TTable cdsFriends;
    TTable cdsBlackList;

    // ------------------------------------------------------------ creation
    // What the module does once when the program starts: the timer from
    // "misc.ini", the tables, scrambling plain passwords, finding the
    // auto-login identity. Throws THomeInUseError as LoadStore does.
    void DataModuleCreate();

    // ------------------------------------------------------------ state
    bool Idle = true;            // no scan runs; "Stop" sets it
    bool NotLoggedIn = true;     // no identity is signed in
    std::int64_t CurrentIdentityId = 0;  // -1 while the identity dialog is open
    std::string CurrentUserName;
    bool AutoLoginFound = false;  // an identity carries AutoLogin; the table stands on it

    // The module in the translators' walk: its actions' captions are
    // translated under "DM.<action>.Caption".
    TBasicComponent Component{nullptr, "DM"};

    // Every command of the module, by name. Those of this module so far:
    // Identities: Login, ChangeIdentities, DefaultIdentity, AutoLogin,
    //   DeleteIdentity, AddIdentity, ChangePassword, UpdateStatus;
    // Accounts: AddAccount, DeleteAccount, ApplyAcc, Test;
    // Friends / BlackList: AddFriends, FriendsRemove, AddBlackList, BlackListRemove;
    // InBox: AddToFilter (with the filter module that exists then).
    TActionList Actions;
    // The views' own actions, which a scan makes unavailable with the module's,
    // and their change handlers, run when it ends.
    std::vector<TActionList*> ViewActions;
    std::vector<std::function<void()>> ViewChangeHandlers;

    // The log of the last scan or processing run, shown by the status window.
    TStatusLog StatusLog;

    // ------------------------------------------------------------ identities
    static std::string ScramblePassword(const std::string& text, const std::string& key, bool encode);

    // The checks of the new-identity dialog's "OK" (and of every other way to
    // create an identity); each failure is told in a message box.
    bool CheckNewIdentity(const std::string& name, const std::string& password, const std::string& repeat) const;
    // The check of the change-password dialog's "OK".
    static bool CheckChangePassword(const std::string& password, const std::string& repeat);
    // Appends and posts an identity with the password scrambled, after
    // CheckNewIdentity(name, password, password). True when stored; the table
    // then stands on it.
    bool CreateIdentity(const std::string& name, const std::string& password);
    // Whether typed is the password of the current identity.
    bool IdentityPasswordMatches(const std::string& typed) const;

    // ------------------------------------------------------------ accounts
    // Puts a typed password, waiting to be scrambled, into the account row
    // being edited (the settings dialog's password box). Blank text changes
    // nothing; a password too long to be kept whole is refused with a message.
    bool SetAccountPassword(const std::string& typed);
    // The account test of the current account; shows its result in a message box.
    TAccountTestResult TestAccount();

    // ------------------------------------------------------------ timer
    // Interval and enabling come from "misc.ini"; the hours and minutes as
    // clamped, for the settings dialog.
    TTimer Timer;
    int TimerHours = 0;
    int TimerMinutes = 15;
    // Applies hours and minutes (clamped) to the timer's interval.
    void SetTimerInterval(int hours, int minutes);
    // The tick: when no scan runs, executes "ReceiveIdentityMail" and then
    // "ProcessMail". Those two actions are added by the scan's and the
    // processing's own files (ReceiveMail.cpp, ProcessMail.cpp); until they
    // exist a tick does nothing.
    void TimerTimer();
    // After each run of the timer: whether Process Mail ran in it.
    std::function<void(bool processed)> AfterTimedRun;

    // ------------------------------------------------------------ mail client
    // True (after telling the user) when a registered mail client runs.
    bool IsMailClientRunning();
    // Starts the signed-in identity's chosen mail client; nothing without one.
    void RunMailClientCommand();

private:
    // store
    void SetUpIdentities();
    void SetUpAccounts();
    void SetUpBoxes();
    void SetUpLists();

    void cdsAccountsAfterInsert(TTable& table);
    bool cdsAccountsBeforePost(TTable& table);
    bool cdsFriendsBeforePost(TTable& table);
    bool cdsBlackListBeforePost(TTable& table);

    // creation
    void ReadTimerSettings();
    void ScramblePlainPasswords();
    void FindAutoLogin();

    // identities (Identities.cpp)
    void SetUpIdentityActions();
    void LoginExecute();
    void ChangeIdentitiesExecute();
    void DefaultIdentityExecute();
    void AutoLoginExecute();
    void DeleteIdentityExecute();
    void AddIdentityExecute();
    void ChangePasswordExecute();
    void UpdateStatusExecute();
    // Shows the identity chooser; the id of the identity whose password was
    // entered correctly (or that was created in it), 0 when cancelled.
    std::int64_t RunIdentityChooser();
    void SignIn(std::int64_t id);

    // friends and blacklist (ListActions.cpp); add to filter (AddToFilterAction.cpp)
    void SetUpListActions();
    void ListChanged(TTable& list, const char* removeAction);
    void SetUpAddToFilter();
    void AddToFilterExecute();

    // accounts (Accounts.cpp)
    void SetUpAccountActions();
    void AddAccountExecute();
    void DeleteAccountExecute();
    void ApplyAccExecute();
    // Rewrites an accounts.dat from before the security fields with them at
    // their defaults, so that it loads.
    void UpgradeAccountsFile();
};
