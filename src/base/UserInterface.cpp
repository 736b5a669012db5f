#include "base/UserInterface.h"

namespace {

TUserInterface*& Installed() {
    static TSilentUserInterface silent;
    static TUserInterface* current = &silent;
    return current;
}

}  // namespace

TMsgResult TSilentUserInterface::MessageBox(const std::string&, const std::string&, TMsgIcon, unsigned buttons) {
    if (buttons & mbOK) return TMsgResult::OK;
    if (buttons & mbYes) return TMsgResult::Yes;
    if (buttons & mbAbort) return TMsgResult::Abort;
    if (buttons & mbRetry) return TMsgResult::Retry;
    return TMsgResult::Cancel;
}

TUserInterface& UserInterface() { return *Installed(); }

TUserInterfaceScope::TUserInterfaceScope(TUserInterface& ui) : previous_(Installed()) { Installed() = &ui; }

TUserInterfaceScope::~TUserInterfaceScope() { Installed() = previous_; }
