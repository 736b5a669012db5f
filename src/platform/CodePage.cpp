#include "platform/CodePage.h"

#include "platform/Locale.h"

#include <array>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace {

bool ValidCodePage(int page) { return page >= 1250 && page <= 1258; }

}  // namespace

int CodePageFromEnvironment() {
    if (const char* env = std::getenv("TARNWICK_CODEPAGE")) {
        const int value = std::atoi(env);
        if (ValidCodePage(value)) return value;
    }
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return WindowsCodePageOfLocale(value);
    }
    return 1252;
}

namespace {

int& CurrentCodePage() {
    static int codePage = CodePageFromEnvironment();
    return codePage;
}

const TCodePageTable& CurrentTable() { return *CodePageTable(CharsetOfCodePage(CurrentCodePage())); }

constexpr std::size_t kCharsetCount = static_cast<std::size_t>(TSingleByteCharset::Cp852) + 1;

const std::unordered_map<char16_t, unsigned char>& ReverseTable(TSingleByteCharset charset) {
    static std::array<std::unordered_map<char16_t, unsigned char>, kCharsetCount> maps;
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < kCharsetCount; ++i) {
            const TCodePageTable* table = CodePageTable(static_cast<TSingleByteCharset>(i));
            for (int b = 0; b < 256; ++b)
                if (table->toUnicode[b] != 0xFFFD) maps[i].emplace(table->toUnicode[b], static_cast<unsigned char>(b));
        }
    });
    return maps[static_cast<std::size_t>(charset)];
}


constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at i and advances i; kInvalid for a malformed one
// (overlong forms, surrogates and values past U+10FFFF included), which then
// consumes one byte.
char32_t NextUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len;
    char32_t ch, min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, ch = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, ch = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, ch = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kInvalid;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) {
        ++i;
        return kInvalid;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kInvalid;
        }
        ch = (ch << 6) | (b & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        ++i;
        return kInvalid;
    }
    i += static_cast<std::size_t>(len);
    return ch;
}

void AppendEncoded(std::string& out, char32_t ch, TSingleByteCharset charset) {
    unsigned char byte = 0;
    out += EncodeCharacter(ch, charset, byte) ? static_cast<char>(byte) : '_';
}

}  // namespace

void AppendUtf8(std::string& out, char32_t ch) {
    // Beyond Unicode and lone surrogates have no UTF-8 form.
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) ch = 0xFFFD;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

int ProgramCodePage() { return CurrentCodePage(); }

void SetProgramCodePage(int codePage) {
    if (ValidCodePage(codePage)) CurrentCodePage() = codePage;
}

TSingleByteCharset CharsetOfCodePage(int codePage) {
    if (!ValidCodePage(codePage)) return TSingleByteCharset::Windows1252;
    return static_cast<TSingleByteCharset>(static_cast<unsigned>(TSingleByteCharset::Windows1250) +
                                           static_cast<unsigned>(codePage - 1250));
}

unsigned char CodePageUpper(unsigned char c) { return CurrentTable().upper[c]; }
unsigned char CodePageLower(unsigned char c) { return CurrentTable().lower[c]; }

std::string CodePageUpperCase(std::string_view text) {
    const TCodePageTable& table = CurrentTable();
    std::string out(text);
    for (char& ch : out) ch = static_cast<char>(table.upper[static_cast<unsigned char>(ch)]);
    return out;
}

std::string CodePageLowerCase(std::string_view text) {
    const TCodePageTable& table = CurrentTable();
    std::string out(text);
    for (char& ch : out) ch = static_cast<char>(table.lower[static_cast<unsigned char>(ch)]);
    return out;
}

bool CodePageSameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const TCodePageTable& table = CurrentTable();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (table.lower[static_cast<unsigned char>(a[i])] != table.lower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

bool EncodeCharacter(char32_t ch, TSingleByteCharset charset, unsigned char& byte) {
    if (ch < 0x80) {  // every supported charset keeps ASCII
        byte = static_cast<unsigned char>(ch);
        return true;
    }
    if (ch > 0xFFFF || ch == 0xFFFD || !CodePageTable(charset)) return false;
    const auto& reverse = ReverseTable(charset);
    const auto it = reverse.find(static_cast<char16_t>(ch));
    if (it == reverse.end()) return false;
    byte = it->second;
    return true;
}

namespace {

// Whether the charset leaves every ASCII byte as it is.
bool KeepsAscii(TSingleByteCharset charset) {
    static std::array<bool, kCharsetCount> keeps;
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < kCharsetCount; ++i) {
            const TCodePageTable* table = CodePageTable(static_cast<TSingleByteCharset>(i));
            keeps[i] = table != nullptr;
            for (int b = 0; b < 0x80 && keeps[i]; ++b) keeps[i] = table->toUnicode[b] == b;
        }
    });
    const auto i = static_cast<std::size_t>(charset);
    return i < kCharsetCount && keeps[i];
}

bool AllAscii(std::string_view text) {
    unsigned char any = 0;
    for (const char c : text) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

}  // namespace

std::string CharsetToUtf8(std::string_view text, TSingleByteCharset charset) {
    // Most header text is ASCII and needs no look-up at all.
    if (AllAscii(text) && KeepsAscii(charset)) return std::string(text);
    const TCodePageTable* table = CodePageTable(charset);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        // Runs of bytes the charset keeps as they are (ASCII in all of them)
        // are copied whole: most header text is nothing else.
        std::size_t end = i;
        while (end < text.size() && table && static_cast<unsigned char>(text[end]) < 0x80 &&
               table->toUnicode[static_cast<unsigned char>(text[end])] == static_cast<unsigned char>(text[end]))
            ++end;
        out.append(text.data() + i, end - i);
        if (end == text.size()) break;
        AppendUtf8(out, table ? table->toUnicode[static_cast<unsigned char>(text[end])] : 0xFFFD);
        i = end + 1;
    }
    return out;
}

std::string Utf8ToCharset(std::string_view utf8, TSingleByteCharset charset) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t ch = NextUtf8(utf8, i);
        if (ch == kInvalid)
            out += '_';
        else
            AppendEncoded(out, ch, charset);
    }
    return out;
}

std::u16string CharsetToUtf16(std::string_view text, TSingleByteCharset charset) {
    const TCodePageTable* table = CodePageTable(charset);
    std::u16string out;
    out.reserve(text.size());
    for (char ch : text) out += table ? table->toUnicode[static_cast<unsigned char>(ch)] : u'\uFFFD';
    return out;
}

std::string Utf16ToCharset(std::u16string_view utf16, TSingleByteCharset charset) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            ++i;  // outside the basic plane: no single-byte charset has it
            out += '_';
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += '_';
        } else {
            AppendEncoded(out, unit, charset);
        }
    }
    return out;
}

std::string CodePageToUtf8(std::string_view text) { return CharsetToUtf8(text, CharsetOfCodePage(ProgramCodePage())); }
std::string Utf8ToCodePage(std::string_view utf8) { return Utf8ToCharset(utf8, CharsetOfCodePage(ProgramCodePage())); }
std::u16string CodePageToUtf16(std::string_view text) {
    return CharsetToUtf16(text, CharsetOfCodePage(ProgramCodePage()));
}
std::string Utf16ToCodePage(std::u16string_view utf16) {
    return Utf16ToCharset(utf16, CharsetOfCodePage(ProgramCodePage()));
}
