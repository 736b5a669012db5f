#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TDM;

// What the identity chooser ("Choose your identity") decides, without the
// window: which identity is chosen, whether the typed password is right, how
// many wrong ones are left, and the creation of a new identity. The Qt dialog
// and the command line both drive it; the sign-in reads only Chosen().
class TIdentityChooser {
public:
    enum class TResult { Accepted, WrongPassword, Cancelled };

    explicit TIdentityChooser(TDM& dm);

    // Fills the list with every identity's user name in table order and
    // selects the (last) default identity; the wrong-password count starts at 0.
    void Show();

    const std::vector<std::string>& Names() const { return names_; }
    int SelectedIndex() const { return selected_; }
    std::string SelectedName() const;
    // Positions the identities table on the first identity with exactly this
    // user name; false (nothing selected) when there is none.
    bool Select(const std::string& name);
    bool SelectIndex(int index);
    // "Continue" is available.
    bool CanContinue() const;

    // "Continue" with the typed password: Accepted when it is the selected
    // identity's; WrongPassword after telling the user (three times);
    // Cancelled, without a message, at the fourth wrong one.
    TResult Continue(const std::string& typed);

    // "New identity": shows the new-identity dialog; when it is accepted and
    // the identity stored, the chooser is done (true) with it as the choice.
    bool NewIdentity();
    // The checks of the new-identity dialog's "OK".
    bool CheckNewIdentity(const std::string& name, const std::string& password, const std::string& repeat) const;

    // The id of the identity whose password was entered correctly or that was
    // created here; 0 while there is none.
    std::int64_t Chosen() const { return chosen_; }
    int FailedAttempts() const { return failed_; }

    static constexpr int kWrongPasswordsAnswered = 3;

private:
    TDM& dm_;
    std::vector<std::string> names_;
    int selected_ = -1;
    int failed_ = 0;
    std::int64_t chosen_ = 0;
};
