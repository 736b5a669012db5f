#include "core/DataModule.h"

#include "core/Scramble.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "data/TableRescue.h"
#include "platform/Home.h"
#include "platform/IniFile.h"

#include <algorithm>

namespace {

using F = TFieldDef;
using T = TFieldType;

// Fields of the two message lists in the order grids show them, with the
// fields only the DelBox has.
std::vector<TFieldDef> BoxFields(bool delBox) {
    std::vector<TFieldDef> f = {
        F("id", T::AutoInc).Label("#").Width(5).Hidden(),
        delBox ? F("Selected", T::Boolean).Label("#").Width(3).Centered()
               : F("Selected", T::Boolean).Label("#").Width(3).Centered().Default(false),
        F("attachment", T::Boolean).Label("@").Width(3),
        F("from", T::String, 100).Label("From").Width(20),
        F("to", T::String, 100).Label("To").Width(20),
        F("subject", T::String, 100).Label("Subject").Width(20),
        F("size", T::Integer).Label("Size").Width(12),
        F("date", T::DateTime).Label("Date").Width(22),
        F("organization", T::String, 100).Label("Organization").Width(20),
        F("header", T::Memo).Hidden(),
        delBox ? F("idaction", T::Integer).Label("Action").Width(8).Centered().Default(std::int64_t{0})
               : F("idaction", T::Integer).Hidden(),
        F("idaccount", T::Integer).Hidden(),
        F("messagenum", T::Integer).Hidden(),
        // What names the message on its server, checked before Process Mail deletes it.
        F("uid", T::Memo).Hidden(),
        // The sender's address as the header gave it, before decoding: bounces and copies go there.
        F("fromaddress", T::Memo).Hidden(),
    };
    if (delBox) f.push_back(F("Prichina", T::String, 100).Label("Reason").Width(50));
    return f;
}

bool IsBlank(const std::string& text) {
    for (unsigned char c : text)
        if (c > ' ') return false;
    return true;
}

// A blank friends or blacklist entry is refused with a question box; the row stays in edit mode.
bool CheckNotBlank(TTable& table, const std::string& key) {
    if (!IsBlank(table.AsString("name"))) return true;
    UserInterface().MessageBox(Tr(key, "Please enter value!"), "", TMsgIcon::Question, mbOK);
    return false;
}

}  // namespace

TDM::TDM()
    : cdsIdentities("cdsIdentities",
                    {F("id", T::AutoInc).ReadOnly().Hidden(),
                     F("username", T::String, 100).Label("User name").Width(25),
                     F("password", T::String, 20).Hidden(),
                     F("default", T::Boolean).Label("Default").Width(8),
                     F("mailclient", T::String, 200).Hidden(),
                     F("startmailclient", T::Boolean).Hidden(),
                     F("AutoLogin", T::Boolean).Width(9)}),
      cdsAccounts("cdsAccounts",
                  {F("id", T::AutoInc).ReadOnly(),
                   F("identity", T::Integer),
                   F("description", T::String, 100).Label("Description").Required(),
                   F("host", T::String, 50),
                   F("port", T::Word).Required().Default(std::int64_t{110}),
                   F("proto", T::String, 4).Required().Default(std::string("POP3")),
                   F("login", T::String, 50).Required(),
                   F("password", T::String, 50),
                   F("authtype", T::String, 5).Required().Default(std::string("Login")),
                   F("smtp_host", T::String, 50),
                   F("smtp_host_port", T::Word).Default(std::int64_t{25}),
                   F("email", T::String, 100).Required(),
                   // How each server is secured (TlsSettings.h), whether it was reached
                   // over TLS before, and the SHA-256 fingerprint ("AB:CD:...", as the
                   // messages show it) of a certificate the user trusts for it.
                   F("security", T::String, 8).Default(std::string("auto")),
                   F("smtp_security", T::String, 8).Default(std::string("auto")),
                   F("tls_used", T::Boolean).Default(false),
                   F("smtp_tls_used", T::Boolean).Default(false),
                   F("trusted_cert", T::String, 95),
                   F("smtp_trusted_cert", T::String, 95)}),
      cdsInBox("cdsInBox", BoxFields(false)),
      cdsDelBox("cdsDelBox", BoxFields(true)),
      cdsFriends("cdsFriends", {F("id", T::AutoInc).Hidden(), F("name", T::String, 50).Label("Name").Required()}),
      cdsBlackList("cdsBlackList",
                   {F("id", T::AutoInc).ReadOnly().Hidden(), F("name", T::String, 50).Label("Name")}) {
    SetUpIdentities();
    SetUpAccounts();
    SetUpBoxes();
    SetUpLists();
    Actions.AttachTo(Component);
    SetUpIdentityActions();
    SetUpAccountActions();
    SetUpListActions();
    SetUpAddToFilter();
    Timer.OnTimer = [this] { TimerTimer(); };
}

TDM::~TDM() = default;

void TDM::SetUpIdentities() {
    cdsIdentities.SetFileName("identities.dat");
    cdsIdentities.SetSaveAfterPost(true);
    cdsIdentities.SetColumnOrder({"default", "AutoLogin", "username", "id", "password", "mailclient", "startmailclient"});
    cdsIdentities.AddIndex("id", "id");
    cdsIdentities.AddIndex("default", "default");
    cdsIdentities.AddIndex("autologin", "AutoLogin");
    cdsIdentities.SetIndexName("id");
}

void TDM::SetUpAccounts() {
    cdsAccounts.SetFileName("accounts.dat");
    UpgradeAccountsFile();
    cdsAccounts.SetSaveAfterPost(true);
    cdsAccounts.FieldDef("description").defaultValue = Tr("NewAccountName", "<New account>");
    cdsAccounts.AddIndex("ID", "id");
    cdsAccounts.AddIndex("identity", "identity;id");
    cdsAccounts.SetIndexName("identity");
    cdsAccounts.SetMaster(&cdsIdentities, "id", "identity");
    cdsAccounts.AfterInsert = [this](TTable& t) { cdsAccountsAfterInsert(t); };
    cdsAccounts.BeforePost = [this](TTable& t) { return cdsAccountsBeforePost(t); };
}

void TDM::SetUpBoxes() {
    cdsDelBox.SetColumnOrder({"id", "Selected", "attachment", "idaction", "from", "to", "subject", "size", "date",
                              "organization", "header", "idaccount", "messagenum", "Prichina"});
    for (TTable* box : {&cdsInBox, &cdsDelBox}) {
        std::vector<std::string> sortable = {"id", "attachment", "from", "to", "subject", "size", "date",
                                             "organization", "Selected"};
        if (box == &cdsDelBox) sortable.insert(sortable.end(), {"Prichina", "idaction"});
        for (const auto& field : sortable) {
            box->AddIndex(field + "_asc", field);
            box->AddIndex(field + "_desc", field, true);
        }
        box->AddIndex("idaccount", "idaccount");
        box->SetIndexName("id_asc");
        box->SetFiltered(true);
    }
}

void TDM::SetUpLists() {
    cdsFriends.SetFileName("friends.dat");
    cdsFriends.SetSaveAfterPost(true);
    cdsFriends.BeforePost = [this](TTable& t) { return cdsFriendsBeforePost(t); };
    cdsBlackList.SetFileName("blacklist.dat");
    cdsBlackList.SetSaveAfterPost(true);
    cdsBlackList.BeforePost = [this](TTable& t) { return cdsBlackListBeforePost(t); };
}

void TDM::LoadStore() {
    for (TTable* table : {&cdsFriends, &cdsBlackList, &cdsIdentities, &cdsAccounts}) LoadKeepingDamaged(*table);
    cdsInBox.EmptyTable();
    cdsDelBox.EmptyTable();
}

void TDM::cdsAccountsAfterInsert(TTable& table) {
    table.SetValue("proto", std::string("POP3"));
    table.SetValue("authtype", std::string("Login"));
}

bool TDM::cdsAccountsBeforePost(TTable& table) {
    if (table.AsString("proto") == "AOL") table.SetValue("host", std::string(kAolHost));
    return true;
}

bool TDM::cdsFriendsBeforePost(TTable& table) { return CheckNotBlank(table, "FriendsFrame.EmptyQuestion"); }

bool TDM::cdsBlackListBeforePost(TTable& table) { return CheckNotBlank(table, "BlackListFrame.EmptyQuestion"); }

// ---------------------------------------------------------------- creation

void TDM::DataModuleCreate() {
    ReadTimerSettings();
    Idle = true;
    NotLoggedIn = true;
    LoadStore();
    ScramblePlainPasswords();
    FindAutoLogin();
}

void TDM::ReadTimerSettings() {
    const TIniFile ini(ProgramFile("misc.ini"));
    // A value that is no number counts as missing.
    SetTimerInterval(ini.ReadInteger("timer", "hours", 0), ini.ReadInteger("timer", "minuts", 5));
    Timer.SetEnabled(ini.ReadBool("timer", "enable", false));
}

void TDM::SetTimerInterval(int hours, int minutes) {
    TimerMinutes = std::clamp(minutes, 15, 55);
    TimerHours = std::clamp(hours, 0, 23);
    Timer.SetInterval(TimerMinutes * 60000 + TimerHours * 3600000);
}

namespace {

// Scrambles the stored password of the current row in place. A value already
// marked as waiting is scrambled as it is (another marker would become part of
// the password), and one that would not fit whole beside its marker stays
// plain: it is still used unchanged, while a cut one would never match again.
void ScrambleStoredPassword(TTable& table, const std::string& keyField) {
    const std::string stored = table.AsString("password");
    if (IsBlankText(stored) || stored.front() == kScrambledPasswordMark) return;
    const std::string waiting = stored.front() == kPlainPasswordMark ? stored : kPlainPasswordMark + stored;
    if (waiting.size() > static_cast<size_t>(table.FieldDef("password").size)) return;
    table.Edit();
    table.SetValue("password", ScramblePassword(waiting, table.AsString(keyField), true));
    table.Post();
}

}  // namespace

void TDM::ScramblePlainPasswords() {
    for (cdsIdentities.First(); !cdsIdentities.Eof(); cdsIdentities.Next())
        ScrambleStoredPassword(cdsIdentities, "username");
    // Every account, also those whose identity was deleted: the link to the
    // identities would show only the current identity's.
    cdsAccounts.SetMaster(nullptr, "", "");
    for (cdsAccounts.First(); !cdsAccounts.Eof(); cdsAccounts.Next()) ScrambleStoredPassword(cdsAccounts, "login");
    cdsAccounts.SetMaster(&cdsIdentities, "id", "identity");
}

void TDM::FindAutoLogin() {
    cdsIdentities.SetIndexName("id");
    cdsIdentities.First();
    while (!cdsIdentities.Eof() && !cdsIdentities.AsBoolean("AutoLogin")) cdsIdentities.Next();
    AutoLoginFound = !cdsIdentities.Eof();
}

std::string TDM::ScramblePassword(const std::string& text, const std::string& key, bool encode) {
    return ::ScramblePassword(text, key, encode);
}
