// Identities and sign-in: the commands of TDM around identities and the
// checks of the identity dialogs.
#include "core/DataModule.h"
#include "core/IdentityChooser.h"
#include "core/Scramble.h"
#include "base/Tr.h"
#include "base/UserInterface.h"

#include <ctime>

namespace {

std::string ReplaceFirst(std::string text, const std::string& mark, const std::string& value) {
    if (const size_t at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), value);
    return text;
}

// A password that would not fit whole beside its marker is refused: a cut one
// would never match again.
bool PasswordFits(const std::string& password, size_t longest) {
    if (password.size() <= longest) return true;
    UserInterface().MessageBox(ReplaceFirst(Tr("PasswordTooLong", "The password is longer than <%max> characters."),
                                            "<%max>", std::to_string(longest)),
                               Tr("Error", "Error"), TMsgIcon::Error, mbOK);
    return false;
}

void Error(const std::string& text) { UserInterface().MessageBox(text, "Error", TMsgIcon::Error, mbOK); }

}  // namespace

void TDM::SetUpIdentityActions() {
    auto add = [this](const char* name, const char* caption, void (TDM::*handler)()) -> TAction& {
        TAction& a = Actions.Add(name, caption, "Identities");
        a.OnExecute = [this, handler](TAction&) { (this->*handler)(); };
        return a;
    };
    const auto hasRows = [this](TAction& a) { a.SetEnabled(!cdsIdentities.IsEmpty()); };
    add("Login", "Login", &TDM::LoginExecute);
    // Changing the identity in the middle of a scan would change its accounts.
    add("ChangeIdentities", "Change Identities", &TDM::ChangeIdentitiesExecute).OnUpdate = [this](TAction& a) {
        a.SetEnabled(Idle);
    };
    add("DefaultIdentity", "Set As Default", &TDM::DefaultIdentityExecute).OnUpdate = [this](TAction& a) {
        a.SetEnabled(!cdsIdentities.IsEmpty() && !cdsIdentities.AsBoolean("default"));
    };
    add("AutoLogin", "Auto login", &TDM::AutoLoginExecute).OnUpdate = hasRows;
    add("DeleteIdentity", "Delete Identity", &TDM::DeleteIdentityExecute).OnUpdate = [this](TAction& a) {
        a.SetEnabled(Idle && !cdsIdentities.IsEmpty());
    };
    add("AddIdentity", "Add Identity", &TDM::AddIdentityExecute);
    add("ChangePassword", "Change password", &TDM::ChangePasswordExecute).OnUpdate = hasRows;
    add("UpdateStatus", "UpdateStatus", &TDM::UpdateStatusExecute);
}

// ---------------------------------------------------------------- sign-in

std::int64_t TDM::RunIdentityChooser() {
    TIdentityChooser chooser(*this);
    chooser.Show();
    const bool accepted = UserInterface().ShowIdentityChooser(chooser);
    // Only an identity whose password was right (or that was just made) counts.
    if (!accepted || chooser.Chosen() <= 0 || !cdsIdentities.Locate("id", chooser.Chosen())) return 0;
    return chooser.Chosen();
}

void TDM::SignIn(std::int64_t id) {
    cdsIdentities.Locate("id", id);
    CurrentIdentityId = id;
    CurrentUserName = cdsIdentities.AsString("username");
    NotLoggedIn = false;
}

void TDM::LoginExecute() {
    const std::int64_t previous = NotLoggedIn ? 0 : CurrentIdentityId;
    if (AutoLoginFound && !cdsIdentities.Eof() && !cdsIdentities.IsEmpty()) {
        SignIn(cdsIdentities.AsInteger("id"));
    } else {
        CurrentIdentityId = -1;
        CurrentUserName.clear();
        if (const std::int64_t chosen = RunIdentityChooser(); chosen > 0) {
            SignIn(chosen);
        } else if (previous > 0 && cdsIdentities.Locate("id", previous)) {
            // Leaving the dialog keeps the identity that was signed in.
            SignIn(previous);
        } else {
            CurrentIdentityId = 0;
            NotLoggedIn = true;
        }
    }
    if (!NotLoggedIn) Actions["DefaultIdentity"].Execute();
    Actions["UpdateStatus"].Execute();
}

void TDM::ChangeIdentitiesExecute() {
    AutoLoginFound = false;
    Actions["Login"].Execute();
}

// ---------------------------------------------------------------- marks

void TDM::DefaultIdentityExecute() {
    TTable& t = cdsIdentities;
    const auto current = t.Bookmark();
    t.SetIndexName("id");
    // Every mark goes, not only the first: with two left the chooser would
    // preselect the last of them instead of this one.
    for (t.First(); !t.Eof(); t.Next()) {
        if (!t.AsBoolean("default")) continue;
        t.Edit();
        t.SetValue("default", false);
        t.Post();
    }
    t.GotoBookmark(current);
    t.Edit();
    t.SetValue("default", true);
    t.Post();
}

void TDM::AutoLoginExecute() {
    TTable& t = cdsIdentities;
    const auto current = t.Bookmark();
    const bool was = t.AsBoolean("AutoLogin");
    for (t.First(); !t.Eof(); t.Next()) {
        if (!t.AsBoolean("AutoLogin")) continue;
        t.Edit();
        t.SetValue("AutoLogin", false);
        t.Post();
    }
    t.GotoBookmark(current);
    t.Edit();
    t.SetValue("AutoLogin", !was);
    t.Post();
}

// ---------------------------------------------------------------- identities

void TDM::DeleteIdentityExecute() {
    if (UserInterface().MessageBox(Tr("SettingsForm.Deletequestion", "Are you sure?"),
                                   Tr("SettingsForm.DeleteIdentities", "Delete Identities"), TMsgIcon::Question,
                                   mbYesNo) != TMsgResult::Yes)
        return;
    cdsIdentities.Delete();
    if (const std::int64_t chosen = RunIdentityChooser(); chosen > 0) {
        // The identity chosen now is the one signed in.
        SignIn(chosen);
        Actions["DefaultIdentity"].Execute();
        Actions["UpdateStatus"].Execute();
        return;
    }
    CurrentIdentityId = 0;
    CurrentUserName.clear();
    NotLoggedIn = true;
    UserInterface().CloseMainWindow();
}

void TDM::AddIdentityExecute() {
    cdsIdentities.Append();
    cdsIdentities.Post();
    if (cdsIdentities.RecordCount() == 1) Actions["DefaultIdentity"].Execute();
}

void TDM::ChangePasswordExecute() {
    const auto typed = UserInterface().ShowChangePasswordDialog();
    if (!typed || IsBlankText(*typed) || !PasswordFits(*typed, kIdentityPasswordMax)) return;
    cdsIdentities.Edit();
    cdsIdentities.SetValue("password",
                           ScramblePassword(kPlainPasswordMark + *typed, cdsIdentities.AsString("username"), true));
    cdsIdentities.Post();
}

bool TDM::CheckNewIdentity(const std::string& name, const std::string& password, const std::string& repeat) const {
    if (name.empty()) {
        Error("User name is empty");
        return false;
    }
    if (password != repeat) {
        Error("Passwords does not match");
        return false;
    }
    // The name is the key of the scrambling: a cut one would unlock nothing.
    if (name.size() > static_cast<size_t>(cdsIdentities.FieldDef("username").size)) {
        UserInterface().MessageBox(Tr("UserNameTooLong", "The user name is too long."), Tr("Error", "Error"),
                                   TMsgIcon::Error, mbOK);
        return false;
    }
    // The chooser could reach only the first of two identities of one name.
    if (!IsNull(cdsIdentities.Lookup("username", name, "id"))) {
        UserInterface().MessageBox(Tr("UserNameExists", "An identity with this user name exists already."),
                                   Tr("Error", "Error"), TMsgIcon::Error, mbOK);
        return false;
    }
    return IsBlankText(password) || PasswordFits(password, kIdentityPasswordMax);
}

bool TDM::CheckChangePassword(const std::string& password, const std::string& repeat) {
    if (password != repeat) {
        Error("Passwords doesnt match");
        return false;
    }
    return IsBlankText(password) || PasswordFits(password, kIdentityPasswordMax);
}

bool TDM::CreateIdentity(const std::string& name, const std::string& password) {
    if (!CheckNewIdentity(name, password, password)) return false;
    cdsIdentities.Append();
    cdsIdentities.SetValue("username", name);
    if (!IsBlankText(password))
        cdsIdentities.SetValue("password", ScramblePassword(kPlainPasswordMark + password, name, true));
    if (!cdsIdentities.Post()) {
        cdsIdentities.Cancel();
        return false;
    }
    return true;
}

bool TDM::IdentityPasswordMatches(const std::string& typed) const {
    if (cdsIdentities.IsEmpty()) return false;
    return ScramblePassword(cdsIdentities.AsString("password"), cdsIdentities.AsString("username"), false) == typed;
}

// ---------------------------------------------------------------- caption

void TDM::UpdateStatusExecute() {
    std::string caption = Tr("AntiSpamWindow.Caption", "");
    if (!CurrentUserName.empty()) caption += "     " + Tr("User", "User:") + " " + CurrentUserName;
    char time[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(time, sizeof time, "%X", &local);
    caption += "    " + Tr("last_check", "Last check:") + " " + time;
    UserInterface().SetCaption(caption);
}
