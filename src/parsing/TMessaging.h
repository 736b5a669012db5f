#pragma once

#include "parsing/TMailMessage.h"

#include <string>
#include <vector>

// The header text of a message: what the filters see and the boxes store.
class TMessaging {
public:
    // Every raw line of the message with its encoded words decoded into the
    // program's code page, one by one as they stood (before any unfolding).
    std::vector<std::string> HeaderLines(const TMailMessage& message) const;
    // The same lines, each followed by CR LF, as one text.
    std::string HeaderText(const TMailMessage& message) const;
};
