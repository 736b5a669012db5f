#pragma once

#include "platform/CodePageTables.h"

#include <string>
#include <string_view>

// The program's code page: the 8-bit encoding of all text it keeps.
// TARNWICK_CODEPAGE (1250 to 1258) when set, else the Windows code page of the
// locale's language (LC_ALL, LC_CTYPE or LANG), else Windows-1252.
int ProgramCodePage();

// The code page that the environment asks for (as ProgramCodePage() starts).
int CodePageFromEnvironment();

// Tests and the settings switch the code page at run time (1250 to 1258;
// other values are ignored).
void SetProgramCodePage(int codePage);

// The charset of a Windows code page 1250 to 1258 (Windows1252 for others).
TSingleByteCharset CharsetOfCodePage(int codePage);

// Case mapping of the program's code page, byte for byte.
unsigned char CodePageUpper(unsigned char c);
unsigned char CodePageLower(unsigned char c);
std::string CodePageUpperCase(std::string_view text);
std::string CodePageLowerCase(std::string_view text);
// Equal without regard to letter case in the program's code page.
bool CodePageSameText(std::string_view a, std::string_view b);

// Conversion between 8-bit text and Unicode. A byte the code page leaves
// undefined becomes U+FFFD; a character the code page lacks (and any invalid
// UTF-8 or UTF-16 unit) becomes "_".
std::string CodePageToUtf8(std::string_view text);  // the program's code page
std::string Utf8ToCodePage(std::string_view utf8);
std::u16string CodePageToUtf16(std::string_view text);
std::string Utf16ToCodePage(std::u16string_view utf16);

std::string CharsetToUtf8(std::string_view text, TSingleByteCharset charset);
std::string Utf8ToCharset(std::string_view utf8, TSingleByteCharset charset);
std::u16string CharsetToUtf16(std::string_view text, TSingleByteCharset charset);
std::string Utf16ToCharset(std::u16string_view utf16, TSingleByteCharset charset);

// The byte of a Unicode character in a charset; false when it has none.
bool EncodeCharacter(char32_t ch, TSingleByteCharset charset, unsigned char& byte);

// Appends a character as UTF-8; one that has no UTF-8 form becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t ch);
