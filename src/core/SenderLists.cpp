#include "core/SenderLists.h"

#include "base/UserInterface.h"
#include "data/TTable.h"
#include "parsing/TextOps.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

const char kListFileFilter[] = "Text files (*.txt)|*.txt|All files (*.*)|*.*";

namespace {

// The matcher's own move to the entry that matched is no change of the list.
class TOwnMove {
public:
    explicit TOwnMove(bool& moving) : moving_(moving) { moving_ = true; }
    ~TOwnMove() { moving_ = false; }
    TOwnMove(const TOwnMove&) = delete;
    TOwnMove& operator=(const TOwnMove&) = delete;

private:
    bool& moving_;
};

}  // namespace

TBlacklistMatcher::TBlacklistMatcher(TTable& list) : list_(list) {
    token_ = list_.Subscribe([this](TTable&, TTable::TChange change) {
        if (!moving_ && change != TTable::TChange::Scroll) stale_ = true;
    });
}

TBlacklistMatcher::~TBlacklistMatcher() { list_.Unsubscribe(token_); }

// Read without moving: a row the user is adding or editing stays as it is.
void TBlacklistMatcher::Refresh() {
    entries_.clear();
    const int field = list_.FieldIndex("name");
    const int rows = list_.RecordCount();
    for (int recNo = 1; recNo <= rows; ++recNo) {
        const std::string name = ValueToString(list_.ValueAt(recNo, field));
        if (!name.empty()) entries_.push_back({recNo, CodePageUpperCase(name)});
    }
    stale_ = false;
}

bool TBlacklistMatcher::Matches(const std::string& address) {
    if (stale_) Refresh();
    const std::string upperAddress = CodePageUpperCase(address);
    for (const TEntry& entry : entries_) {
        if (upperAddress.find(entry.upperName) == std::string::npos) continue;
        if (list_.RecNo() != entry.recNo) {
            const TOwnMove move(moving_);
            list_.SetRecNo(entry.recNo);
        }
        return true;
    }
    return false;
}

bool IsNewListAddress(const std::string& address, TTable& list) {
    for (int recNo = 1; recNo <= list.RecordCount(); ++recNo) {
        const TValue& name = list.ValueAt(recNo, list.FieldIndex("name"));
        if (const auto* text = std::get_if<std::string>(&name); text && CodePageSameText(*text, address)) return false;
    }
    return true;
}

void AddListAddresses(const std::vector<std::string>& addresses, TTable& list) {
    for (const std::string& address : addresses) {
        list.Append();
        list.SetValue("name", address);
        if (!list.Post()) return;
    }
}

std::string ListRowsText(TTable& list, std::vector<int> recNos) {
    std::sort(recNos.begin(), recNos.end());
    recNos.erase(std::unique(recNos.begin(), recNos.end()), recNos.end());
    std::string text;
    const int fields = static_cast<int>(list.Fields().size());
    for (int recNo : recNos) {
        if (recNo < 1 || recNo > list.RecordCount()) continue;
        for (int field = 1; field < fields; ++field) {
            if (list.Fields()[static_cast<std::size_t>(field)].calculated) continue;
            text += (field == 1 ? "" : ", ") + ValueToString(list.ValueAt(recNo, field));
        }
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> TextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

namespace {

void TellFileError(const std::string& what, const std::string& path) {
    UserInterface().MessageBox(what + " " + path + ": " + std::strerror(errno), "Tarnwick", TMsgIcon::Error, mbOK);
}

TFileDialog ListFileDialog() { return {"", kListFileFilter, "", ""}; }

}  // namespace

void ExportGridRows(TTable& list, const std::vector<int>& recNos, bool toFile) {
    SettleListRow(list);
    const std::string text = ListRowsText(list, recNos);
    if (!toFile) {
        UserInterface().SetClipboardText(text);
        return;
    }
    const auto path = UserInterface().SaveFileName(ListFileDialog());
    if (!path) return;
    std::ofstream out(*path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush())
        TellFileError("Cannot write", *path);
}

int ImportGridRows(TTable& list, bool fromFile) {
    SettleListRow(list);
    std::string text;
    if (fromFile) {
        const auto path = UserInterface().OpenFileName(ListFileDialog());
        if (!path) return 0;
        std::ifstream in(*path, std::ios::binary);
        if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.is_open() || in.bad()) {
            TellFileError("Cannot read", *path);
            return 0;
        }
    } else {
        text = UserInterface().ClipboardText();
    }
    int added = 0;
    for (const std::string& line : TextLines(text)) {
        list.Append();
        list.SetValue("name", TextBefore(line, ","));
        if (!list.Post()) break;
        ++added;
    }
    return added;
}

void SettleListRow(TTable& list) {
    if (list.State() == TTable::TState::Browse) return;
    if (TrimText(list.AsString("name")).empty())
        list.Cancel();
    else
        list.Post();
}
