#include "core/StatusLog.h"

std::string TStatusLog::TLine::StatusText() const {
    std::string text;
    for (const auto& word : Status) {
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

void TStatusLog::Clear() {
    lines_.clear();
    Changed(TChange::Cleared, -1);
}

int TStatusLog::Add(const std::string& text) {
    lines_.push_back({text, {}});
    const int line = Count() - 1;
    Changed(TChange::Added, line);
    return line;
}

void TStatusLog::Append(const std::string& word) { Append(Count() - 1, word); }

void TStatusLog::Append(int line, const std::string& word) {
    if (line < 0 || line >= Count()) return;
    lines_[line].Status.push_back(word);
    Changed(TChange::Appended, line);
}

void TStatusLog::ScrollToEnd() { Changed(TChange::Scrolled, Count() - 1); }

void TStatusLog::SetAccountDesc(const std::string& description) {
    accountDesc_ = description;
    Changed(TChange::AccountValues, -1);
}

void TStatusLog::SetMessageCount(long long count) {
    msgNumber_ = std::to_string(count);
    Changed(TChange::AccountValues, -1);
}

void TStatusLog::SetTotalSize(long long bytes) {
    msgTotalSize_ = std::to_string(bytes);
    Changed(TChange::AccountValues, -1);
}

void TStatusLog::Changed(TChange change, int line) {
    if (OnChanged) OnChanged(change, line);
}
