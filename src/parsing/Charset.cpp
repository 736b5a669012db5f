#include "parsing/Charset.h"
#include "parsing/Base64.h"

#include "parsing/Cp895Table.h"
#include "platform/CodePage.h"
#include "platform/CodePageTables.h"

#include <array>
#include <memory>
#include <mutex>

namespace {

constexpr char32_t kUnknown = 0xFFFD;
constexpr unsigned kSingleByteCount = static_cast<unsigned>(TCharset::Cp852) + 1;

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

bool BeginsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

TCharset Offset(TCharset first, int by) { return static_cast<TCharset>(static_cast<int>(first) + by); }

struct TCharsetPrefix {
    std::string_view prefix;
    TCharset charset;
};

// The beginnings of charset names, upper-cased, in the order they are tried.
// Written out rather than built per call: every encoded word passes here.
constexpr TCharsetPrefix kCharsetPrefixes[] = {
    {"ISO-8859-10", TCharset::Iso8859_10},    {"ISO-8859-13", TCharset::Iso8859_13},
    {"ISO-8859-14", TCharset::Iso8859_14},    {"ISO-8859-15", TCharset::Iso8859_15},
    {"ISO-8859-2", TCharset::Iso8859_2},      {"ISO-8859-3", TCharset::Iso8859_3},
    {"ISO-8859-4", TCharset::Iso8859_4},      {"ISO-8859-5", TCharset::Iso8859_5},
    {"ISO-8859-6", TCharset::Iso8859_6},      {"ISO-8859-7", TCharset::Iso8859_7},
    {"ISO-8859-8", TCharset::Iso8859_8},      {"ISO-8859-9", TCharset::Iso8859_9},
    {"WINDOWS-1250", TCharset::Windows1250},  {"X-CP1250", TCharset::Windows1250},
    {"WINDOWS-1251", TCharset::Windows1251},  {"X-CP1251", TCharset::Windows1251},
    {"WINDOWS-1252", TCharset::Windows1252},  {"X-CP1252", TCharset::Windows1252},
    {"WINDOWS-1253", TCharset::Windows1253},  {"X-CP1253", TCharset::Windows1253},
    {"WINDOWS-1254", TCharset::Windows1254},  {"X-CP1254", TCharset::Windows1254},
    {"WINDOWS-1255", TCharset::Windows1255},  {"X-CP1255", TCharset::Windows1255},
    {"WINDOWS-1256", TCharset::Windows1256},  {"X-CP1256", TCharset::Windows1256},
    {"WINDOWS-1257", TCharset::Windows1257},  {"X-CP1257", TCharset::Windows1257},
    {"WINDOWS-1258", TCharset::Windows1258},  {"X-CP1258", TCharset::Windows1258},
    {"KOI8-R", TCharset::Koi8R},
};

// Reverse table of a single-byte charset: code point (up to U+FFFF) to byte,
// 0 where the charset has no byte for it. Built on first use.
const unsigned char* FromUnicode(TCharset charset) {
    static std::array<std::once_flag, kSingleByteCount> once;
    static std::array<std::unique_ptr<unsigned char[]>, kSingleByteCount> tables;
    const auto index = static_cast<unsigned>(charset);
    std::call_once(once[index], [&] {
        auto table = std::make_unique<unsigned char[]>(0x10000);
        const char16_t* toUnicode = CharsetToUnicode(charset);
        for (int b = 255; b >= 128; --b)  // the lowest byte wins where two share a character
            if (toUnicode[b] != kUnknown) table[toUnicode[b]] = static_cast<unsigned char>(b);
        tables[index] = std::move(table);
    });
    return tables[index].get();
}

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsSurrogateHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsSurrogateLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Joins UTF-16 units into characters: a high surrogate followed by a low one
// becomes one character, a lone surrogate stays as it is.
template <typename Sink>
class TUtf16Joiner {
public:
    explicit TUtf16Joiner(Sink& sink) : sink_(sink) {}
    void Unit(char32_t u) {
        if (pendingHigh_ && IsSurrogateLow(u)) {
            sink_(0x10000 + ((pendingHigh_ - 0xD800) << 10) + (u - 0xDC00));
            pendingHigh_ = 0;
            return;
        }
        Flush();
        if (IsSurrogateHigh(u))
            pendingHigh_ = u;
        else
            sink_(u);
    }
    void Flush() {
        if (pendingHigh_) sink_(pendingHigh_);
        pendingHigh_ = 0;
    }

private:
    Sink& sink_;
    char32_t pendingHigh_ = 0;
};

template <typename Sink>
void DecodeUtf8(std::string_view text, Sink& sink) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b < 0x80) {
            sink(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, cp = b & 0x07, min = 0x10000;
        }
        bool ok = length > 0 && i + length <= n;
        for (int k = 1; ok && k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (ok) {
            sink(cp);
            i += length;
        } else {
            // One unknown character per byte that starts no valid sequence.
            sink(kUnknown);
            ++i;
        }
    }
}

template <typename Sink>
void DecodeUcs2(std::string_view text, Sink& sink) {
    TUtf16Joiner<Sink> joiner(sink);
    std::size_t i = 0;
    for (; i + 1 < text.size(); i += 2)
        joiner.Unit((static_cast<unsigned char>(text[i]) << 8) | static_cast<unsigned char>(text[i + 1]));
    joiner.Flush();
    if (i < text.size()) sink(kUnknown);
}

template <typename Sink>
void DecodeUcs4(std::string_view text, Sink& sink) {
    std::size_t i = 0;
    for (; i + 3 < text.size(); i += 4) {
        char32_t cp = 0;
        for (int k = 0; k < 4; ++k) cp = (cp << 8) | static_cast<unsigned char>(text[i + k]);
        sink(cp);
    }
    if (i < text.size()) sink(kUnknown);
}

template <typename Sink>
void DecodeUtf7(std::string_view text, Sink& sink) {
    TUtf16Joiner<Sink> joiner(sink);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != '+') {
            joiner.Unit(c < 0x80 ? c : kUnknown);
            ++i;
            continue;
        }
        ++i;
        if (i < n && text[i] == '-') {  // "+-" is a plus sign
            joiner.Unit('+');
            ++i;
            continue;
        }
        unsigned bits = 0;
        int bitCount = 0;
        for (int v; i < n && (v = Base64Value(static_cast<unsigned char>(text[i]))) >= 0; ++i) {
            bits = (bits << 6) | static_cast<unsigned>(v);
            bitCount += 6;
            if (bitCount >= 16) {
                bitCount -= 16;
                joiner.Unit((bits >> bitCount) & 0xFFFF);
            }
            bits &= (1u << bitCount) - 1;
        }
        if (i < n && text[i] == '-') ++i;  // the run's terminator is absorbed
    }
    joiner.Flush();
}

template <typename Sink>
void DecodeText(std::string_view text, TCharset from, Sink& sink) {
    switch (from) {
        case TCharset::Utf8: DecodeUtf8(text, sink); return;
        case TCharset::Utf7: DecodeUtf7(text, sink); return;
        case TCharset::Ucs2: DecodeUcs2(text, sink); return;
        case TCharset::Ucs4: DecodeUcs4(text, sink); return;
        default: break;
    }
    const char16_t* table = CharsetToUnicode(from);
    for (const char c : text) sink(table[static_cast<unsigned char>(c)]);
}


void AppendUtf16Units(char32_t cp, std::u16string& units) {
    if (cp > 0x10FFFF) cp = kUnknown;
    if (cp >= 0x10000) {
        cp -= 0x10000;
        units += static_cast<char16_t>(0xD800 + (cp >> 10));
        units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        units += static_cast<char16_t>(cp);
    }
}

void AppendUcs2(std::string& out, char32_t cp) {
    std::u16string units;
    AppendUtf16Units(cp, units);
    for (const char16_t u : units) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    }
}

void AppendUcs4(std::string& out, char32_t cp) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((cp >> shift) & 0xFF);
}

// Characters UTF-7 writes as they are (its direct and optional direct sets
// without "\" and "~").
bool IsUtf7Direct(char32_t cp) {
    if (cp == '+' || cp == '\\' || cp == '~') return false;
    return (cp >= 0x20 && cp < 0x7F) || cp == '\t' || cp == '\r' || cp == '\n';
}

class TUtf7Writer {
public:
    explicit TUtf7Writer(std::string& out) : out_(out) {}
    void Add(char32_t cp) {
        if (IsUtf7Direct(cp)) {
            Close();
            out_ += static_cast<char>(cp);
            return;
        }
        if (cp == '+' && !open_) {
            out_ += "+-";
            return;
        }
        if (!open_) {
            out_ += '+';
            open_ = true;
        }
        std::u16string units;
        AppendUtf16Units(cp, units);
        for (const char16_t u : units) {
            bits_ = (bits_ << 16) | u;
            bitCount_ += 16;
            while (bitCount_ >= 6) {
                bitCount_ -= 6;
                out_ += kBase64Digits[(bits_ >> bitCount_) & 0x3F];
            }
            bits_ &= (1u << bitCount_) - 1;
        }
    }
    void Close() {
        if (!open_) return;
        // Always the explicit "-", so that a following digit or "-" reads right.
        if (bitCount_ > 0) out_ += kBase64Digits[(bits_ << (6 - bitCount_)) & 0x3F];
        out_ += '-';
        open_ = false;
        bits_ = 0;
        bitCount_ = 0;
    }

private:
    std::string& out_;
    bool open_ = false;
    unsigned bits_ = 0;
    int bitCount_ = 0;
};

}  // namespace

namespace {

TCharset CharsetOfName(std::string_view name) {
    const std::string upper = UpperAscii(name);
    for (const auto& [prefix, charset] : kCharsetPrefixes)
        if (BeginsWith(upper, prefix)) return charset;
    if (Contains(upper, "KAMENICKY") || Contains(upper, "895")) return TCharset::Cp895;
    if (Contains(upper, "LATIN-2") || Contains(upper, "852")) return TCharset::Cp852;
    if (BeginsWith(upper, "UTF-7")) return TCharset::Utf7;
    if (Contains(upper, "UTF-8")) return TCharset::Utf8;
    if (Contains(upper, "UCS-4")) return TCharset::Ucs4;
    if (Contains(upper, "UCS-2") || BeginsWith(upper, "UNICODE")) return TCharset::Ucs2;
    return TCharset::Iso8859_1;
}

}  // namespace

TCharset CharsetFromName(std::string_view name) {
    // A mailbox names a handful of charsets, each in thousands of headers.
    struct TKnown {
        std::string name;
        TCharset charset;
    };
    thread_local std::array<TKnown, 8> known;
    thread_local std::size_t next = 0;
    for (const TKnown& k : known)
        if (!k.name.empty() && k.name == name) return k.charset;
    const TCharset charset = CharsetOfName(name);
    if (!name.empty() && name.size() <= 40) {
        known[next] = {std::string(name), charset};
        next = (next + 1) % known.size();
    }
    return charset;
}

TCharset SystemCharset() {
    const int page = ProgramCodePage();
    if (page >= 1250 && page <= 1258 && page != 1252) return Offset(TCharset::Windows1250, page - 1250);
    return TCharset::Windows1252;
}

bool IsSingleByteCharset(TCharset charset) { return static_cast<unsigned>(charset) < kSingleByteCount; }

const char16_t* CharsetToUnicode(TCharset charset) {
    if (charset == TCharset::Cp895) return kCp895ToUnicode;
    if (!IsSingleByteCharset(charset)) return nullptr;
    // The platform's tables are in the same order, without CP895.
    auto index = static_cast<unsigned>(charset);
    if (charset == TCharset::Cp852) index -= 1;
    const TCodePageTable* table = CodePageTable(static_cast<TSingleByteCharset>(index));
    return table ? table->toUnicode : nullptr;
}

std::string ConvertCharset(std::string_view text, TCharset from, TCharset to) {
    std::string out;
    out.reserve(text.size());
    if (IsSingleByteCharset(to)) {
        const unsigned char* reverse = FromUnicode(to);
        auto sink = [&](char32_t cp) {
            if (cp < 0x80)
                out += static_cast<char>(cp);
            else if (cp <= 0xFFFF && reverse[cp] != 0)
                out += static_cast<char>(reverse[cp]);
            else
                out += '_';
        };
        DecodeText(text, from, sink);
        return out;
    }
    switch (to) {
        case TCharset::Utf8: {
            auto sink = [&](char32_t cp) { AppendUtf8(out, cp); };
            DecodeText(text, from, sink);
            break;
        }
        case TCharset::Ucs2: {
            auto sink = [&](char32_t cp) { AppendUcs2(out, cp); };
            DecodeText(text, from, sink);
            break;
        }
        case TCharset::Ucs4: {
            auto sink = [&](char32_t cp) { AppendUcs4(out, cp); };
            DecodeText(text, from, sink);
            break;
        }
        default: {
            TUtf7Writer writer(out);
            auto sink = [&](char32_t cp) { writer.Add(cp); };
            DecodeText(text, from, sink);
            writer.Close();
            break;
        }
    }
    return out;
}
