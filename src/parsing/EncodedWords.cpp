#include "parsing/EncodedWords.h"
#include "parsing/Base64.h"

#include <vector>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string DecodeBase64Data(std::string_view data) {
    std::string out;
    out.reserve(data.size() / 4 * 3 + 3);
    // Groups of four; a group yields the bytes of its characters up to its first
    // pad, a missing end of the last group counts as padding.
    for (std::size_t group = 0; group < data.size(); group += 4) {
        unsigned bits = 0;
        int digits = 0;
        for (std::size_t k = group; k < group + 4 && k < data.size(); ++k) {
            const int v = Base64Value(static_cast<unsigned char>(data[k]));
            if (v < 0) break;
            bits = (bits << 6) | static_cast<unsigned>(v);
            ++digits;
        }
        bits <<= 6 * (4 - digits);
        for (int b = 0; b < digits - 1; ++b) out += static_cast<char>((bits >> (16 - 8 * b)) & 0xFF);
    }
    return out;
}

std::string DecodeQData(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    const std::size_t n = data.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == '_') {
            out += ' ';
        } else if (c != '=') {
            out += c;
        } else if (i + 2 < n) {
            const int high = HexValue(data[i + 1]);
            const int low = HexValue(data[i + 2]);
            out += high >= 0 && low >= 0 ? static_cast<char>(high * 16 + low) : ' ';
            i += 2;
        }
        // An "=" among the last two characters is dropped.
    }
    return out;
}

std::string DecodeEncodedWords(std::string_view text, TCharset target) {
    if (text.find("=?") == std::string_view::npos) return std::string(text);

    // The end of a word is the first "?" from the third after its "=?" on that
    // is followed by "=". With the question marks listed once, and for each the
    // first such end at or after it, every word's end is found in constant time.
    // Kept between calls: a header has several encoded lines, a scan thousands.
    thread_local std::vector<std::size_t> marks, endFrom;
    marks.clear();
    for (std::size_t i = text.find('?'); i != std::string_view::npos; i = text.find('?', i + 1)) marks.push_back(i);
    endFrom.assign(marks.size() + 1, std::string_view::npos);
    for (std::size_t k = marks.size(); k-- > 0;)
        endFrom[k] = marks[k] + 1 < text.size() && text[marks[k] + 1] == '=' ? marks[k] : endFrom[k + 1];

    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;  // text before this is in out
    std::size_t search = 0;
    std::size_t mark = 0;  // first question mark at or after the current start's data
    for (std::size_t start; (start = text.find("=?", search)) != std::string_view::npos;) {
        while (mark < marks.size() && marks[mark] < start + 2) ++mark;
        const std::size_t end = mark + 2 <= marks.size() ? endFrom[mark + 2] : std::string_view::npos;
        if (end == std::string_view::npos) break;  // no later start can have an end either

        const std::string_view inner = text.substr(start + 2, end - start - 2);
        const std::size_t z = inner.find('?');  // always there: the end is the third mark or later
        const bool formOk = z != std::string_view::npos && z + 2 < inner.size() && inner[z + 2] == '?';
        const char letter = formOk ? inner[z + 1] : '\0';
        const bool valid = formOk &&
                           (letter == 'B' || letter == 'b' || letter == 'Q' || letter == 'q');
        if (!valid) {
            // Left as it stands; a word may still begin inside it.
            search = start + 2;
            continue;
        }
        const std::string_view data = inner.substr(z + 3);
        const std::string bytes = letter == 'B' || letter == 'b' ? DecodeBase64Data(data) : DecodeQData(data);
        out.append(text, copied, start - copied);
        out += ConvertCharset(bytes, CharsetFromName(inner.substr(0, z)), target);
        copied = search = end + 2;
    }
    out.append(text, copied);
    return out;
}
