#pragma once

#include "parsing/TMailHeader.h"

#include <string>
#include <vector>

// A retrieved message: its lines as the mailbox gave them and the parsed header.
class TMailMessage {
public:
    std::vector<std::string> RawLines;  // without line ends; filled by the caller
    TMailHeader HeaderInfo;

    void Reset();

    // Fills HeaderInfo from RawLines. The only exception it lets out is
    // TConvertError for an invalid Date line; the header then holds what was
    // read before that line.
    void Parse();
};
