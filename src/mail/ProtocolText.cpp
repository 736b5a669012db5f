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
    // Room for lines of a header's usual length at once.
    lines.reserve(n / 48 + 1);
    const auto find = [base](char c, std::size_t from, std::size_t to) {
        const void* hit = from < to ? std::memchr(base + from, c, to - from) : nullptr;
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : to;
    };
    std::size_t i = 0, cr = find('\r', 0, n);
    while (i < n) {
        // The next CR is mostly that of the line's CR LF: an LF is then
        // looked for only before it. It is kept while lines end with a bare
        // LF, so that text without CRs is not read to its end for each line.
        if (cr < i) cr = find('\r', i, n);
        const std::size_t lf = find('\n', i, cr);
        if (lf < cr) {
            lines.emplace_back(text.substr(i, lf - i));
            i = lf + 1;
            continue;
        }
        lines.emplace_back(text.substr(i, cr - i));
        // LF or CR LF end the line together; a CR elsewhere ends it alone.
        i = cr + 1 < n && base[cr + 1] == '\n' ? cr + 2 : cr + 1;
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
