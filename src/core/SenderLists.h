#pragma once

#include <string>
#include <string_view>
#include <vector>

class TTable;

// Whether the friends list or blacklist has no entry equal to the address,
// compared without regard to case over the whole value.
bool IsNewListAddress(const std::string& address, TTable& list);
// Appends one entry per address, in order; each post runs the list's checks
// and saves it. Stops at the first entry the list refuses (its row stays in
// edit mode, as a refused post leaves it).
void AddListAddresses(const std::vector<std::string>& addresses, TTable& list);

// The blacklist's test of a sender: the first entry (in list order) that the
// address holds, compared without regard to case; an empty entry matches
// nothing. The entries are read and upper-cased once and again only after the
// list changed, not for every message of a scan.
class TBlacklistMatcher {
public:
    explicit TBlacklistMatcher(TTable& list);
    ~TBlacklistMatcher();
    TBlacklistMatcher(const TBlacklistMatcher&) = delete;
    TBlacklistMatcher& operator=(const TBlacklistMatcher&) = delete;
    // Moves the list to the matching entry; leaves it alone when none matches.
    bool Matches(const std::string& address);

private:
    struct TEntry {
        int recNo;
        std::string upperName;
    };
    void Refresh();

    TTable& list_;
    int token_ = 0;
    bool stale_ = true;
    bool moving_ = false;  // the notice of our own move changes nothing
    std::vector<TEntry> entries_;
};

// ---------------------------------------------------------------- text exchange
// The filter of the list views' file dialogs.
extern const char kListFileFilter[];

// The lines of the given rows (1-based, any order; taken in list order): the
// values of every field after the first, joined with ", ", each line followed
// by CR LF (the last too).
std::string ListRowsText(TTable& list, std::vector<int> recNos);
// The lines of a text: split at CR LF, CR or LF; a line end at the very end
// starts no further line.
std::vector<std::string> TextLines(std::string_view text);

// "Copy" (toFile false: the clipboard) and "Export" (a text file chosen in the
// save dialog; nothing when cancelled). A file that cannot be written is told
// to the user.
void ExportGridRows(TTable& list, const std::vector<int>& recNos, bool toFile);
// "Past" (the clipboard) and "Import" (a text file chosen in the open dialog;
// nothing when cancelled). Appends one row per line, its name the trimmed text
// before the first comma, posting each. A line the list refuses (blank) stops
// the import there: its row stays open for editing, the rows before it stay
// saved. Returns the number of rows added.
int ImportGridRows(TTable& list, bool fromFile);

// A row being typed that would be refused is dropped, any other is posted,
// so that a list operation starts from a settled list.
void SettleListRow(TTable& list);
