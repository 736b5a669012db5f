#pragma once

#include <string>
#include <string_view>
#include <vector>

// Small helpers the protocol clients share.

// A whole decimal number (digits only, an optional leading minus); fallback
// for anything else, including an empty text and an overflow.
long long ParseDecimal(std::string_view text, long long fallback = 0);

// Text split at its line breaks (CR LF, a lone LF or a lone CR); a break at
// the very end yields no empty last line.
std::vector<std::string> SplitLines(std::string_view text);
// The same into lines, whose strings keep their room for the next text.
void SplitLinesInto(std::string_view text, std::vector<std::string>& lines);

// ASCII upper case.
std::string UpperAscii(std::string_view text);

bool StartsWith(std::string_view text, std::string_view prefix);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);
// The first place of needle in text, ASCII case ignored; npos when none.
std::size_t FindNoCase(std::string_view text, std::string_view needle);
