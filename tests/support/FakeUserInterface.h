#pragma once

#include "base/UserInterface.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// A user interface for tests: records every message box and answers from a
// script the test fills; an unscripted question gets the first button.
class TFakeUserInterface : public TUserInterface {
public:
    struct TMessage {
        std::string text, caption;
        TMsgIcon icon;
        unsigned buttons;
    };

    std::vector<TMessage> messages;
    std::deque<TMsgResult> answers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<std::string> captions;
    int processMessagesCalls = 0;
    std::string clipboard;
    TCursor cursor = TCursor::Default;

    TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                          unsigned buttons) override;
    void ProcessMessages() override;
    void SetCursor(TCursor c) override { cursor = c; }
    std::optional<std::string> OpenFileName(const TFileDialog& dialog) override;
    std::optional<std::string> SaveFileName(const TFileDialog& dialog) override;
    std::string ClipboardText() override { return clipboard; }
    void SetClipboardText(const std::string& text) override { clipboard = text; }
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }

    bool statusWindowVisible = false;
    int statusWindowShown = 0;
    int progressPosition = 0, progressMaximum = 0;
    int boxesRefilled = 0;
    int complaintWindowShown = 0;
    void ShowRetrievalStatus(bool visible) override {
        statusWindowVisible = visible;
        statusWindowShown += visible;
    }
    void SetProgress(int position, int maximum) override {
        progressPosition = position;
        progressMaximum = maximum;
    }
    void BoxesRefilled() override { ++boxesRefilled; }
    void ShowComplaintWindow(TComplaintForm&) override { ++complaintWindowShown; }

    // Runs during every ProcessMessages call, so a test can press "Stop" mid-run.
    std::function<void(int call)> onProcessMessages;

private:
    std::optional<std::string> NextFile();
};
