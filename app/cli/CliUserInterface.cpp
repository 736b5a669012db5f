#include "CliUserInterface.h"

#include "TerminalText.h"

#include "core/DataModule.h"
#include "core/IdentityChooser.h"

#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

// Messages may quote a server or a file: their control characters never reach the terminal.
void CliError(const std::string& text) { std::cerr << "tarnwick-cli: " << TerminalLines(text) << std::endl; }

namespace {

std::string OneText(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::optional<std::string> ReadLine(int fd) {
    std::string line;
    char c;
    bool any = false;
    for (;;) {
        const ssize_t got = read(fd, &c, 1);
        if (got <= 0) break;
        any = true;
        if (c == '\n') break;
        line += c;
    }
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

std::optional<std::string> ReadSecretLine(int fd, const std::string& prompt) {
    if (!isatty(fd)) return ReadLine(fd);
    std::cerr << prompt << std::flush;
    termios saved{};
    const bool quiet = tcgetattr(fd, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &silent);
    }
    auto line = ReadLine(fd);
    if (quiet) tcsetattr(fd, TCSAFLUSH, &saved);
    std::cerr << std::endl;
    return line;
}

TMsgResult TCliUserInterface::MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                                         unsigned buttons) {
    const std::string body = TerminalLines(OneText(text));
    const bool question = (buttons & (mbYes | mbCancel | mbNo)) != 0;
    if (!question) {
        if (icon == TMsgIcon::Information || icon == TMsgIcon::None) {
            std::cerr << body << std::endl;
        } else {
            errorShown_ = true;
            CliError(caption.empty() || caption == "Error" ? body : caption + ": " + body);
        }
        return TMsgResult::OK;
    }
    const TMsgResult yes = buttons & mbYes ? TMsgResult::Yes : TMsgResult::OK;
    const TMsgResult no = buttons & mbNo ? TMsgResult::No : TMsgResult::Cancel;
    if (assumeYes_) return yes;
    if (!isatty(STDIN_FILENO)) {
        errorShown_ = true;
        CliError(body + " (refused: no terminal to ask; give --yes to agree)");
        return no;
    }
    std::cerr << body << " [y/N] " << std::flush;
    const auto answer = ReadLine(STDIN_FILENO);
    return answer && (*answer == "y" || *answer == "Y" || *answer == "yes") ? yes : no;
}

bool TCliUserInterface::ShowIdentityChooser(TIdentityChooser& chooser) {
    if (!identity_.empty()) {
        if (!chooser.Select(identity_)) {
            errorShown_ = true;
            CliError("there is no identity named '" + identity_ + "'");
            return false;
        }
    } else if (chooser.SelectedIndex() < 0 && chooser.Names().size() == 1) {
        chooser.SelectIndex(0);
    }
    if (!chooser.CanContinue()) {
        errorShown_ = true;
        CliError(chooser.Names().empty() ? "there is no identity yet; make one with: identity add NAME"
                                         : "choose the identity with --identity NAME");
        return false;
    }
    // An identity without a password reads nothing, so that it works with any input.
    if (dm_.IdentityPasswordMatches("")) return chooser.Continue("") == TIdentityChooser::TResult::Accepted;
    const bool terminal = isatty(passwordFd_);
    for (;;) {
        const auto typed = ReadSecretLine(passwordFd_, "Password of " + chooser.SelectedName() + ": ");
        switch (chooser.Continue(typed.value_or(""))) {
            case TIdentityChooser::TResult::Accepted: return true;
            case TIdentityChooser::TResult::Cancelled: return false;
            case TIdentityChooser::TResult::WrongPassword:
                if (!terminal || !typed) return false;
        }
    }
}
