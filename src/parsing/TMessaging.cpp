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
    // Most lines hold no encoded word and are copied as they are, straight
    // into room made for all of them.
    std::string text(size, '\0');
    std::size_t at = 0;
    for (const std::string& line : message.RawLines) {
        if (line.find("=?") == std::string::npos) {
            line.copy(text.data() + at, line.size());
            at += line.size();
        } else {
            const std::string decoded = DecodeEncodedWords(line, charset);
            text.replace(at, line.size(), decoded);  // the room left over moves along
            at += decoded.size();
        }
        text[at++] = '\r';
        text[at++] = '\n';
    }
    text.resize(at);
    return text;
}
