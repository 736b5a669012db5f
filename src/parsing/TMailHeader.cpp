#include "parsing/TMailHeader.h"

#include "parsing/Charset.h"
#include "parsing/EncodedWords.h"
#include "parsing/MailDate.h"
#include "parsing/TextOps.h"

#include <algorithm>
#include <cstring>

namespace {

bool BeginsWithIgnoringCase(std::string_view line, std::string_view upperPrefix) {
    if (line.size() < upperPrefix.size()) return false;
    for (std::size_t i = 0; i < upperPrefix.size(); ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upperPrefix[i]) return false;
    }
    return true;
}

// The items TakeItem would give one by one, without copying the rest of the
// list for every item. A comma inside a quoted display name splits there too;
// callers rely on it.
void AddItems(std::string_view list, TCharset charset, std::vector<std::string>& items) {
    for (std::size_t from = 0; from <= list.size();) {
        std::size_t comma = list.find(',', from);
        if (comma == std::string_view::npos) comma = list.size();
        std::string item = DecodeEncodedWords(TrimmedView(list.substr(from, comma - from)), charset);
        if (!item.empty()) items.push_back(std::move(item));
        from = comma + 1;
    }
}

bool IsContinuation(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

}  // namespace

std::string UnfoldHeaderLine(const std::vector<std::string>& lines, std::size_t& index) {
    std::string line;
    UnfoldHeaderLineInto(lines, index, line);
    return line;
}

void UnfoldHeaderLineInto(const std::vector<std::string>& lines, std::size_t& index, std::string& line) {
    line.assign(lines[index++]);
    if (line.empty()) return;
    while (index + 1 < lines.size()) {
        const std::string& next = lines[index];
        if (!IsContinuation(next)) break;
        // Tabs read as blanks; blanks and controls around the piece go.
        std::size_t begin = 0, end = next.size();
        while (begin < end && static_cast<unsigned char>(next[begin]) <= ' ') ++begin;
        while (end > begin && static_cast<unsigned char>(next[end - 1]) <= ' ') --end;
        line += ' ';
        const std::size_t from = line.size();
        line.append(next, begin, end - begin);
        // Tabs inside a piece are rare: they are looked for, not every byte read.
        char* const pieceEnd = line.data() + line.size();
        for (char* tab = line.data() + from;
             (tab = static_cast<char*>(std::memchr(tab, '\t', static_cast<std::size_t>(pieceEnd - tab))));)
            *tab++ = ' ';
        ++index;
    }
}

std::vector<std::string> TOtherLines::List() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < size(); ++i) lines.emplace_back((*this)[i]);
    return lines;
}

// Member by member, so that the room of the kept lines serves the next header.
void TMailHeader::Reset() {
    FromText.clear();
    FromAddress.clear();
    ToItems.clear();
    CcItems.clear();
    SubjectText.clear();
    OrganizationText.clear();
    DateValue = 0;
    OtherLines.clear();
}

void TMailHeader::ParseLines(const std::vector<std::string>& lines) {
    const TCharset charset = SystemCharset();
    std::size_t index = 0;
    // One buffer for every folded line; a line without continuation is read
    // where it is. The fields read here need no copy.
    std::string unfolded;
    while (index < lines.size()) {
        std::string_view line = lines[index];
        const bool folded = index + 2 < lines.size() && IsContinuation(lines[index + 1]);
        if (folded) {
            UnfoldHeaderLineInto(lines, index, unfolded);
            line = unfolded;
        } else {
            ++index;
        }
        if (line.empty()) break;
        if (BeginsWithIgnoringCase(line, "FROM:")) {
            const std::string_view value = TextAfterView(line, ":");
            FromAddress = SenderAddressOf(value);
            FromText = DecodeEncodedWords(value, charset);
        } else if (BeginsWithIgnoringCase(line, "SUBJECT:"))
            SubjectText = DecodeEncodedWords(TextAfterView(line, ":"), charset);
        else if (BeginsWithIgnoringCase(line, "ORGANIZATION:"))
            OrganizationText = DecodeEncodedWords(TextAfterView(line, ":"), charset);
        else if (BeginsWithIgnoringCase(line, "TO:"))
            AddItems(TextAfterView(line, ":"), charset, ToItems);
        else if (BeginsWithIgnoringCase(line, "CC:"))
            AddItems(TextAfterView(line, ":"), charset, CcItems);
        else if (BeginsWithIgnoringCase(line, "DATE:"))
            DateValue = ParseMailDate(TextAfterView(line, ":"));
        else
            OtherLines.push_back(line);
    }
}

std::string TMailHeader::CustomValue(std::string_view name) const {
    for (std::size_t i = 0; i < OtherLines.size(); ++i) {
        const std::string_view line = OtherLines[i];
        // The first byte turns most lines away without a call.
        if (!name.empty() && (line.empty() || line[0] != name[0])) continue;
        if (line.compare(0, name.size(), name) != 0) continue;
        // "X-Tarnwick" must not answer for "X-Tarnwick-Version".
        std::size_t after = name.size();
        while (after < line.size() && (line[after] == ' ' || line[after] == '\t')) ++after;
        const bool nameEndsWithColon = !name.empty() && name.back() == ':';
        if (nameEndsWithColon || (after < line.size() && line[after] == ':')) return TextAfter(line, ":");
    }
    return {};
}
