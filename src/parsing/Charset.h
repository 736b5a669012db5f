#pragma once

#include <string>
#include <string_view>

// The charsets that encoded words and conversions know.
enum class TCharset {
    Iso8859_1, Iso8859_2, Iso8859_3, Iso8859_4, Iso8859_5, Iso8859_6, Iso8859_7,
    Iso8859_8, Iso8859_9, Iso8859_10, Iso8859_13, Iso8859_14, Iso8859_15,
    Windows1250, Windows1251, Windows1252, Windows1253, Windows1254, Windows1255,
    Windows1256, Windows1257, Windows1258,
    Koi8R, Cp895, Cp852,
    Ucs2, Ucs4, Utf8, Utf7,
};

// The charset a MIME charset name stands for; ISO-8859-1 for a name it does
// not know.
TCharset CharsetFromName(std::string_view name);

// The Windows charset of the program's code page (Windows-1252 for a code page
// without one of its own).
TCharset SystemCharset();

bool IsSingleByteCharset(TCharset charset);

// The 256 code points of a single-byte charset (U+FFFD where the published code
// page leaves a byte undefined); nullptr for the multi-byte ones.
const char16_t* CharsetToUnicode(TCharset charset);

// Converts text from one charset into another. A character the target lacks
// becomes "_" in a single-byte target; bytes that do not form a character of
// the source (invalid UTF-8, a dangling half of a UCS-2 unit) count as one
// unknown character each. UCS-2 and UCS-4 are big-endian.
std::string ConvertCharset(std::string_view text, TCharset from, TCharset to);
