#include "TerminalText.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsC0OrDel(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// UTF-8 of U+0080 to U+009F: C2 80 to C2 9F.
bool IsC1At(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
           static_cast<unsigned char>(text[i + 1]) >= 0x80 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

void AppendReplaced(std::string& out, std::string_view text, bool keepLineEnds) {
    // Most text has nothing to replace and goes out as it is.
    if (std::none_of(text.begin(), text.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return IsC0OrDel(byte) || byte == 0xC2;
        })) {
        out.append(text);
        return;
    }
    out.reserve(out.size() + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Printable runs go out whole.
        std::size_t end = i;
        while (end < text.size() && !IsC0OrDel(static_cast<unsigned char>(text[end])) &&
               static_cast<unsigned char>(text[end]) != 0xC2)
            ++end;
        out.append(text.data() + i, end - i);
        i = end;
        if (i == text.size()) break;
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (keepLineEnds && byte == '\n') {
            out += '\n';
        } else if (IsC0OrDel(byte)) {
            out += kReplacement;
        } else if (IsC1At(text, i)) {
            out += kReplacement;
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
}

// Length of the printable ASCII (0x20 to 0x7E) at the start of text, found
// eight bytes at a time.
std::size_t PrintableAsciiPrefix(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        // Without high bits of its own, a byte below 0x20 gains one by the
        // subtraction and DEL by the addition.
        if ((word | (word - 0x20 * kOnes) | (word + kOnes)) & kHigh) break;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x20 && static_cast<unsigned char>(text[i]) < 0x7F)
        ++i;
    return i;
}

}  // namespace

void AppendTerminalText(std::string& out, std::string_view text) { AppendReplaced(out, text, false); }

void AppendCodePageTerminalText(std::string& out, std::string_view text) {
    // Printable ASCII reads the same in every code page of the program
    // (1250 to 1258), in UTF-8 and on a terminal; a listing is mostly that.
    const std::size_t plain = PrintableAsciiPrefix(text);
    out.append(text.data(), plain);
    if (plain < text.size()) AppendTerminalText(out, CodePageToUtf8(text.substr(plain)));
}

std::string TerminalText(std::string_view text) {
    std::string out;
    AppendTerminalText(out, text);
    return out;
}

std::string TerminalLines(std::string_view text) {
    std::string out;
    AppendReplaced(out, text, true);
    return out;
}
