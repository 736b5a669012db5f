#pragma once

// Byte-to-Unicode tables and case maps of the single-byte code pages.
// A byte that the published code page leaves undefined maps to U+FFFD.

enum class TSingleByteCharset : unsigned {
    Iso8859_1, Iso8859_2, Iso8859_3, Iso8859_4, Iso8859_5, Iso8859_6, Iso8859_7,
    Iso8859_8, Iso8859_9, Iso8859_10, Iso8859_13, Iso8859_14, Iso8859_15,
    Windows1250, Windows1251, Windows1252, Windows1253, Windows1254, Windows1255,
    Windows1256, Windows1257, Windows1258,
    Koi8R, Cp852,
};

struct TCodePageTable {
    const char16_t* toUnicode;    // 256 entries
    const unsigned char* upper;   // 256 entries; identity where no single-byte upper case exists
    const unsigned char* lower;   // 256 entries
};

// nullptr for a value outside the enumeration.
const TCodePageTable* CodePageTable(TSingleByteCharset charset);
