#include "parsing/TMessaging.h"

#include "parsing/Charset.h"
#include "parsing/EncodedWords.h"

std::vector<std::string> TMessaging::HeaderLines(const TMailMessage& message) const {
    const TCharset charset = SystemCharset();
    std::vector<std::string> lines;
    lines.reserve(message.RawLines.size());
    for (const std::string& line : message.RawLines) lines.push_back(DecodeEncodedWords(line, charset));
    return lines;
}
