#include "support/FakeUserInterface.h"

TMsgResult TFakeUserInterface::MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                                          unsigned buttons) {
    messages.push_back({text, caption, icon, buttons});
    if (!answers.empty()) {
        const TMsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return TSilentUserInterface().MessageBox(text, caption, icon, buttons);
}

void TFakeUserInterface::ProcessMessages() {
    ++processMessagesCalls;
    if (onProcessMessages) onProcessMessages(processMessagesCalls);
}

std::optional<std::string> TFakeUserInterface::NextFile() {
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<std::string> TFakeUserInterface::OpenFileName(const TFileDialog&) { return NextFile(); }
std::optional<std::string> TFakeUserInterface::SaveFileName(const TFileDialog&) { return NextFile(); }
