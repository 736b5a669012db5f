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

std::string TMessaging::HeaderText(const TMailMessage& message) const {
    const TCharset charset = SystemCharset();
    std::size_t size = 0;
    for (const std::string& line : message.RawLines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : message.RawLines) {
        // Most lines hold no encoded word and are taken as they are.
        if (line.find("=?") == std::string::npos) text += line;
        else text += DecodeEncodedWords(line, charset);
        text += "\r\n";
    }
    return text;
}
