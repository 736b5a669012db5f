#pragma once

#include "base/UserInterface.h"

#include <optional>
#include <string>

class TDM;

// The user-interface port for a terminal: message boxes go to standard error,
// questions are answered by --yes or refused when there is no terminal to ask,
// files come from the command line, and the identity chooser takes its
// identity from --identity and its password from a file descriptor.
class TCliUserInterface : public TUserInterface {
public:
    TCliUserInterface(TDM& dm, bool assumeYes) : dm_(dm), assumeYes_(assumeYes) {}

    TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                          unsigned buttons) override;
    void ProcessMessages() override {}
    void SetCursor(TCursor) override {}
    std::optional<std::string> OpenFileName(const TFileDialog&) override { return file_; }
    std::optional<std::string> SaveFileName(const TFileDialog&) override { return file_; }
    std::string ClipboardText() override { return {}; }
    void SetClipboardText(const std::string&) override {}
    void SetCaption(const std::string&) override {}

    bool ShowIdentityChooser(TIdentityChooser& chooser) override;

    // The file the next file dialog answers with.
    void SetFile(std::optional<std::string> file) { file_ = std::move(file); }
    // The identity to sign in as (empty: the default one) and where its password comes from.
    void SetIdentity(std::string name, int passwordFd) {
        identity_ = std::move(name);
        passwordFd_ = passwordFd;
    }
    // Whether an error or warning was told since the last call.
    bool TakeErrorShown() {
        const bool shown = errorShown_;
        errorShown_ = false;
        return shown;
    }

private:
    TDM& dm_;
    bool assumeYes_;
    bool errorShown_ = false;
    std::optional<std::string> file_;
    std::string identity_;
    int passwordFd_ = 0;
};

// Prints one line "tarnwick-cli: text" to standard error.
void CliError(const std::string& text);

// One line from the file descriptor without its line end; nothing at the end
// of input. On a terminal the prompt is shown and the typing not echoed.
std::optional<std::string> ReadSecretLine(int fd, const std::string& prompt);
