#pragma once

#include "core/IdentityChooser.h"
#include "support/FakeUserInterface.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The fake user interface with the identity dialogs scripted: each showing of
// the chooser runs the next script (none: cancelled), the new-identity and
// change-password dialogs hand back the next answer (none: cancelled).
class TDialogUserInterface : public TFakeUserInterface {
public:
    using TChooserScript = std::function<bool(TIdentityChooser&)>;

    std::deque<TChooserScript> choosers;
    std::deque<std::optional<TNewIdentity>> newIdentities;
    std::deque<std::optional<std::string>> newPasswords;
    int choosersShown = 0;
    bool mainWindowClosed = false;

    bool ShowIdentityChooser(TIdentityChooser& chooser) override {
        ++choosersShown;
        if (choosers.empty()) return false;
        auto script = std::move(choosers.front());
        choosers.pop_front();
        return script(chooser);
    }
    std::optional<TNewIdentity> ShowNewIdentityDialog(TIdentityChooser&) override {
        if (newIdentities.empty()) return std::nullopt;
        auto answer = newIdentities.front();
        newIdentities.pop_front();
        return answer;
    }
    std::optional<std::string> ShowChangePasswordDialog() override {
        if (newPasswords.empty()) return std::nullopt;
        auto answer = newPasswords.front();
        newPasswords.pop_front();
        return answer;
    }
    void CloseMainWindow() override { mainWindowClosed = true; }

    // A chooser script: picks the name (when given), then types the passwords
    // in order until one is accepted or the chooser gives up.
    static TChooserScript Typing(std::string name, std::vector<std::string> passwords) {
        return [name, passwords](TIdentityChooser& chooser) {
            if (!name.empty() && !chooser.Select(name)) return false;
            for (const auto& password : passwords) {
                const auto result = chooser.Continue(password);
                if (result == TIdentityChooser::TResult::Accepted) return true;
                if (result == TIdentityChooser::TResult::Cancelled) return false;
            }
            return false;  // the user pressed "E&xit"
        };
    }

    int MessagesWithText(const std::string& text) const {
        int n = 0;
        for (const auto& m : messages) n += m.text == text;
        return n;
    }
};
