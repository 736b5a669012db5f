#pragma once

#include <string>
#include <string_view>

// Text from a server or a table, made safe to print in one terminal column:
// the C0 controls (NUL, ESC, BEL, tab, line ends ...), DEL and the C1
// controls (U+0080 to U+009F, written as UTF-8) each become U+FFFD, so that
// a message cannot move the cursor, clear the screen or start a new column.
// Every other byte is kept as it is.
std::string TerminalText(std::string_view text);
// The same, added to the end of out.
void AppendTerminalText(std::string& out, std::string_view text);
// The same for text in the program's code page, which is made UTF-8 first.
void AppendCodePageTerminalText(std::string& out, std::string_view text);

// The same for text of several lines: the line ends stay.
std::string TerminalLines(std::string_view text);
