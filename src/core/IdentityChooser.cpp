#include "core/IdentityChooser.h"

#include "core/DataModule.h"
#include "base/Tr.h"
#include "base/UserInterface.h"

TIdentityChooser::TIdentityChooser(TDM& dm) : dm_(dm) {}

void TIdentityChooser::Show() {
    TTable& t = dm_.cdsIdentities;
    names_.clear();
    selected_ = -1;
    chosen_ = 0;
    const auto position = t.Bookmark();
    for (t.First(); !t.Eof(); t.Next()) {
        names_.push_back(t.AsString("username"));
        if (t.AsBoolean("default")) selected_ = static_cast<int>(names_.size()) - 1;
    }
    if (t.BookmarkValid(position)) t.GotoBookmark(position);
    if (selected_ >= 0) SelectIndex(selected_);
    failed_ = 0;
}

std::string TIdentityChooser::SelectedName() const { return selected_ >= 0 ? names_[selected_] : std::string(); }

bool TIdentityChooser::Select(const std::string& name) {
    for (size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == name) return SelectIndex(static_cast<int>(i));
    selected_ = -1;
    return false;
}

bool TIdentityChooser::SelectIndex(int index) {
    if (index < 0 || index >= static_cast<int>(names_.size())) {
        selected_ = -1;
        return false;
    }
    selected_ = index;
    // The first identity of that name, as the list shows names only.
    dm_.cdsIdentities.Locate("username", names_[index]);
    return true;
}

bool TIdentityChooser::CanContinue() const { return selected_ >= 0 && !dm_.cdsIdentities.IsEmpty(); }

TIdentityChooser::TResult TIdentityChooser::Continue(const std::string& typed) {
    if (!CanContinue()) return TResult::WrongPassword;
    // The table may have been moved since the selection.
    SelectIndex(selected_);
    if (dm_.IdentityPasswordMatches(typed)) {
        chosen_ = dm_.cdsIdentities.AsInteger("id");
        return TResult::Accepted;
    }
    if (failed_ == kWrongPasswordsAnswered) return TResult::Cancelled;
    UserInterface().MessageBox(Tr("PleaseEnterValidPassword", "Please enter valid identity password"),
                               Tr("InvalidPassword", "Invalid password"), TMsgIcon::Error, mbOK);
    ++failed_;
    return TResult::WrongPassword;
}

bool TIdentityChooser::NewIdentity() {
    const auto entry = UserInterface().ShowNewIdentityDialog(*this);
    if (!entry) return false;
    if (!dm_.CreateIdentity(entry->Name, entry->Password)) return false;
    chosen_ = dm_.cdsIdentities.AsInteger("id");
    return true;
}

bool TIdentityChooser::CheckNewIdentity(const std::string& name, const std::string& password,
                                        const std::string& repeat) const {
    return dm_.CheckNewIdentity(name, password, repeat);
}
