// Feeds arbitrary bytes to the header parser, the encoded-word decoder and the
// date parser. The first byte picks the target charset; the rest are lines.
#include "parsing/Charset.h"
#include "parsing/ConvertError.h"
#include "parsing/EncodedWords.h"
#include "parsing/MailDate.h"
#include "parsing/TMailHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto target = static_cast<TCharset>(data[0] % (static_cast<unsigned>(TCharset::Utf7) + 1));
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> lines;
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(from, end - from));
        from = end + 1;
    }

    TMailHeader header;
    try {
        header.ParseLines(lines);
    } catch (const TConvertError&) {
        // An invalid Date line; the only exception the parser lets out.
    }
    (void)header.CustomValue("X-Tarnwick");

    (void)DecodeEncodedWords(text, target);
    for (const TCharset from : {TCharset::Utf8, TCharset::Utf7, TCharset::Ucs2, TCharset::Ucs4, TCharset::Cp895})
        (void)ConvertCharset(text, from, target);
    try {
        (void)ParseMailDate(text);
    } catch (const TConvertError&) {
    }
    return 0;
}
