#include <gtest/gtest.h>

#include <string>

#include "TerminalText.h"
#include "platform/CodePage.h"

namespace {

struct TCodePageScope {
    const int saved = ProgramCodePage();
    explicit TCodePageScope(int codePage) { SetProgramCodePage(codePage); }
    ~TCodePageScope() { SetProgramCodePage(saved); }
};

}  // namespace

// Every byte, at every place a word-wise search could get wrong, comes out as
// converting the whole text and then replacing its controls would have it.
TEST(TerminalText, CodePageTextComesOutAsConvertedThenMadeSafe) {
    const std::string printable = "The quick brown fox jumps over.";
    for (int codePage : {1252, 1251}) {
        const TCodePageScope scope(codePage);
        for (std::size_t at : {0u, 1u, 6u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 24u, 30u}) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string text = printable;
                text[at] = static_cast<char>(byte);
                for (const std::string& tail : {std::string(), std::string("\x1b[2J"), std::string("\xE9t\xE9")})
                {
                    const std::string input = text + tail;
                    std::string expected = "kept|", got = "kept|";
                    AppendTerminalText(expected, CodePageToUtf8(input));
                    AppendCodePageTerminalText(got, input);
                    ASSERT_EQ(got, expected) << codePage << " byte " << byte << " at " << at;
                }
            }
        }
    }
}
