#include "mail/ProtocolText.h"

#include <cstring>

#include <charconv>

long long ParseDecimal(std::string_view text, long long fallback) {
    if (text.empty()) return fallback;
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return fallback;
    return value;
}

// Jumps from line end to line end with memchr: a scan splits megabytes of headers.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    const char* base = text.data();
    const std::size_t n = text.size();
    // Room for one line per LF at once, instead of growing a header's
    // vector a handful of times.
    std::size_t feeds = 0;
    for (const char* at = base; (at = static_cast<const char*>(std::memchr(at, '\n', n - (at - base)))); ++at) ++feeds;
    lines.reserve(feeds + 1);
    std::size_t i = 0;
    while (i < n) {
        const void* lf = std::memchr(base + i, '\n', n - i);
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) : n;
        const void* cr = std::memchr(base + i, '\r', end - i);
        const std::size_t cut = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : end;
        lines.emplace_back(text.substr(i, cut - i));
        // LF or CR LF end the line together; a CR elsewhere ends it alone.
        i = cut == end || cut + 1 == end ? end + 1 : cut + 1;
    }
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
    for (std::size_t at = 0; at + needle.size() <= text.size(); ++at)
        if (UpperOf(text[at]) == UpperOf(needle[0]) && SameNoCase(text.substr(at, needle.size()), needle)) return at;
    return std::string_view::npos;
}
