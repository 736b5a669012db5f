#include "core/Scramble.h"

bool IsBlankText(const std::string& text) {
    for (unsigned char c : text)
        if (c > ' ') return false;
    return true;
}

std::string ScramblePassword(const std::string& text, const std::string& key, bool encode) {
    // A scrambled password may consist of control characters alone: it is not blank.
    const bool scrambled = !encode && text.size() > 1 && text.front() == kScrambledPasswordMark;
    if (!scrambled && IsBlankText(text)) return text;
    if (text.front() != (encode ? kPlainPasswordMark : kScrambledPasswordMark)) return text;
    unsigned k = 0;
    for (unsigned char c : key) k = (k + c) % 256;
    std::string out;
    out.reserve(text.size());
    if (encode) out.push_back(kScrambledPasswordMark);
    for (size_t i = 1; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out.push_back(c == k ? static_cast<char>(c) : static_cast<char>(c ^ k));
    }
    return out;
}
