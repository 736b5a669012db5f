#include "parsing/TextOps.h"

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// An empty delimiter counts as absent, so that a loop of TakeItem always ends.
std::size_t FindDelimiter(std::string_view text, std::string_view delimiter) {
    return delimiter.empty() ? std::string_view::npos : text.find(delimiter);
}

}  // namespace

std::string_view TrimmedView(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlankOrControl(text[begin])) ++begin;
    while (end > begin && IsBlankOrControl(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string TrimText(std::string_view text) { return std::string(TrimmedView(text)); }

std::string TextBefore(std::string_view text, std::string_view delimiter) {
    const std::size_t pos = FindDelimiter(text, delimiter);
    return TrimText(pos == std::string_view::npos ? text : text.substr(0, pos));
}

std::string TextAfter(std::string_view text, std::string_view delimiter) {
    return std::string(TextAfterView(text, delimiter));
}

std::string_view TextAfterView(std::string_view text, std::string_view delimiter) {
    const std::size_t pos = FindDelimiter(text, delimiter);
    return TrimmedView(pos == std::string_view::npos ? text : text.substr(pos + delimiter.size()));
}

std::string TakeItem(std::string& text, std::string_view delimiter) {
    std::string item = TextBefore(text, delimiter);
    if (FindDelimiter(text, delimiter) != std::string_view::npos)
        text = TextAfter(text, delimiter);
    else
        text.clear();
    return item;
}

std::size_t LastPosOf(std::string_view part, std::string_view text) {
    if (part.empty()) return 0;
    const std::size_t pos = text.rfind(part);
    return pos == std::string_view::npos ? 0 : pos + 1;
}

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
    if (search.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t pos; (pos = text.find(search, from)) != std::string_view::npos; from = pos + search.size()) {
        result.append(text, from, pos - from);
        result.append(replacement);
    }
    result.append(text, from);
    return result;
}

std::string AddressOf(std::string_view text) { return TrimText(TextBefore(TextAfter(text, "<"), ">")); }

std::string SenderAddressOf(std::string_view rawValue) {
    int comment = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < rawValue.size(); ++i) {
        const char c = rawValue[i];
        if ((quoted || comment > 0) && c == '\\') {
            ++i;  // an escaped character never opens or closes anything
        } else if (quoted) {
            quoted = c != '"';
        } else if (c == '(') {
            ++comment;
        } else if (comment > 0) {
            if (c == ')') --comment;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            return AddressOf(rawValue.substr(i));
        }
    }
    return TrimText(rawValue);
}

std::string DisplayNameOf(std::string_view text) {
    // An unclosed quote or parenthesis runs to the end of the text.
    if (const std::size_t quote = text.find('"'); quote != std::string_view::npos) {
        const std::size_t close = text.find('"', quote + 1);
        return std::string(text.substr(quote + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                  : close - quote - 1));
    }
    if (const std::size_t angle = text.find('<'); angle != std::string_view::npos)
        return TrimText(text.substr(0, angle));
    if (const std::size_t paren = text.find('('); paren != std::string_view::npos) {
        const std::size_t close = text.find(')', paren + 1);
        return std::string(text.substr(paren + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                  : close - paren - 1));
    }
    return {};
}
