#pragma once

#include <string>

// The program's code page: the 8-bit encoding of all text it keeps.
// Windows-1252 unless TARNWICK_CODEPAGE or the locale's language says otherwise.
int ProgramCodePage();

// Tests and the settings switch the code page at run time.
void SetProgramCodePage(int codePage);

// Case mapping of the program's code page, byte for byte.
unsigned char CodePageUpper(unsigned char c);
unsigned char CodePageLower(unsigned char c);
