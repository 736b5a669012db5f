#pragma once

#include "platform/DateTime.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The header lines a parse keeps as they are, in one buffer: a scan parses
// thousands of headers of a dozen such lines each.
class TOtherLines {
public:
    void push_back(std::string_view line) {
        spans_.emplace_back(text_.size(), line.size());
        text_ += line;
    }
    void clear() {
        text_.clear();
        spans_.clear();
    }
    bool empty() const { return spans_.empty(); }
    std::size_t size() const { return spans_.size(); }
    std::string_view operator[](std::size_t i) const {
        return std::string_view(text_).substr(spans_[i].first, spans_[i].second);
    }
    // The lines as strings of their own.
    std::vector<std::string> List() const;

private:
    std::string text_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;  // offset, length
};

// The values the program takes from a message header, decoded into the
// program's code page.
class TMailHeader {
public:
    std::string FromText;
    // The sender's address (AddressOf rules), taken before decoding: an
    // encoded word in the display name could otherwise pose as the address.
    std::string FromAddress;
    std::vector<std::string> ToItems;
    std::vector<std::string> CcItems;
    std::string SubjectText;
    std::string OrganizationText;
    TDateTime DateValue = 0;  // local time; 0 without a Date line
    TOtherLines OtherLines;  // unfolded, not decoded

    // Reads header lines up to the first empty one. An invalid Date line throws
    // TConvertError; what was read before it stays.
    void ParseLines(const std::vector<std::string>& lines);
    void Reset();

    // The value of the first other line that begins with name (exactly,
    // case-sensitively) followed by the colon; empty when there is none.
    std::string CustomValue(std::string_view name) const;
};

// One header line with its continuation lines joined by single blanks;
// index moves past them. The last line of the list is never a continuation.
std::string UnfoldHeaderLine(const std::vector<std::string>& lines, std::size_t& index);
// The same into a buffer the caller keeps, so that its room is reused.
void UnfoldHeaderLineInto(const std::vector<std::string>& lines, std::size_t& index, std::string& line);
