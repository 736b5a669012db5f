#include "mail/ProtocolText.h"

#include "base/ByteSearch.h"

#include <charconv>

long long ParseDecimal(std::string_view text, long long fallback) {
    if (text.empty()) return fallback;
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return fallback;
    return value;
}

// One pass over each line for either line-end byte: a scan splits megabytes
// of headers.
void SplitLinesInto(std::string_view text, std::vector<std::string>& lines) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    // Room for lines of a header's usual length at once.
    if (lines.capacity() == 0) lines.reserve(n / 48 + 1);
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++count) {
        const std::size_t end = FindEither(s, i, n, '\r', '\n');
        if (count < lines.size())
            lines[count].assign(text.data() + i, end - i);
        else
            lines.emplace_back(text.substr(i, end - i));
        // LF or CR LF end the line together; a CR elsewhere ends it alone.
        i = end + 1 < n && s[end] == '\r' && s[end + 1] == '\n' ? end + 2 : end + 1;
    }
    lines.resize(count);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    SplitLinesInto(text, lines);
    return lines;
}

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

namespace {

char UpperOf(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperOf(a[i]) != UpperOf(b[i])) return false;
    return true;
}

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameNoCase(text.substr(0, prefix.size()), prefix);
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return SameNoCase(a, b); }

std::size_t FindNoCase(std::string_view text, std::string_view needle) {
    if (needle.empty()) return 0;
    if (needle.size() > text.size()) return std::string_view::npos;
    // Only places that hold the needle's first byte, in either case, are compared.
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t last = text.size() - needle.size() + 1;
    const auto first = static_cast<unsigned char>(UpperOf(needle[0]));
    const auto firstLower = static_cast<unsigned char>(first >= 'A' && first <= 'Z' ? first - 'A' + 'a' : first);
    for (std::size_t at = FindEither(s, std::size_t{0}, last, first, firstLower); at < last;
         at = FindEither(s, at + 1, last, first, firstLower))
        if (SameNoCase(text.substr(at, needle.size()), needle)) return at;
    return std::string_view::npos;
}
