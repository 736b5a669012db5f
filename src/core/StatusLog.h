#pragma once

#include <functional>
#include <string>
#include <vector>

// The log of the last scan or Process Mail run: lines with a text and a status
// column ("Ok", "Error", "Done"), and the three values of the account being
// worked on. The status window shows it; the core only writes it.
class TStatusLog {
public:
    static constexpr const char* kNotAvailable = "N/A";

    struct TLine {
        std::string Text;
        // Usually one word; a line of Process Mail can carry two.
        std::vector<std::string> Status;
        // The words joined by one blank.
        std::string StatusText() const;
    };

    enum class TChange { Cleared, Added, Appended, Scrolled, AccountValues };
    // line: the index of the line concerned, -1 when none.
    std::function<void(TChange change, int line)> OnChanged;

    // Removes the lines; the account values keep what they show.
    void Clear();
    // Appends a line; returns its index.
    int Add(const std::string& text);
    // Puts a word into the status column of the last line (of no line when the log is empty).
    void Append(const std::string& word);
    void Append(int line, const std::string& word);
    // Asks the view to show the last line.
    void ScrollToEnd();

    const std::vector<TLine>& Lines() const { return lines_; }
    int Count() const { return static_cast<int>(lines_.size()); }

    // "Description", "Messages" and "Size": "N/A" until set, then the last value.
    const std::string& AccountDesc() const { return accountDesc_; }
    const std::string& MsgNumber() const { return msgNumber_; }
    const std::string& MsgTotalSize() const { return msgTotalSize_; }
    void SetAccountDesc(const std::string& description);
    void SetMessageCount(long long count);
    void SetTotalSize(long long bytes);

private:
    void Changed(TChange change, int line);

    std::vector<TLine> lines_;
    std::string accountDesc_ = kNotAvailable;
    std::string msgNumber_ = kNotAvailable;
    std::string msgTotalSize_ = kNotAvailable;
};
