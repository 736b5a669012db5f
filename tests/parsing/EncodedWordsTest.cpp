#include "parsing/EncodedWords.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TDecodeCase {
    const char* what;
    std::string text;
    TCharset target;
    std::string expected;
};

}  // namespace

TEST(EncodedWords, DecodeIntoTheTargetCharset) {
    const TCharset w1252 = TCharset::Windows1252;
    const TDecodeCase cases[] = {
        {"q word", "=?ISO-8859-1?Q?Gr=FC=DFe?=", w1252, "Gr\xFC\xDF" "e"},
        {"target lacks two characters", "=?ISO-8859-1?Q?Gr=FC=DFe?=", TCharset::Windows1251, "Gr__e"},
        {"blank between two words stays", "=?ISO-8859-1?Q?Gr=FC=DFe?= =?ISO-8859-1?Q?aus_Wien?=", w1252,
         "Gr\xFC\xDF" "e aus Wien"},
        {"text around words stays", "Re: =?iso-8859-1?q?caf=E9?= (2)", w1252, "Re: caf\xE9 (2)"},
        {"koi8-r base64", "=?KOI8-R?B?8NLJ18XULCDNydI=?=", TCharset::Windows1251,
         "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"},
        {"utf-8 base64", "=?UTF-8?B?R3LDvMOfZQ==?=", w1252, "Gr\xFC\xDF" "e"},
        {"lower-case letter", "=?utf-8?b?R3LDvMOfZQ==?=", w1252, "Gr\xFC\xDF" "e"},
        {"empty data", "a=?ISO-8859-1?Q?\?=b", w1252, "ab"},
        {"q with question mark and equals in data", "=?ISO-8859-1?Q?a=3Fb=3D?=", w1252, "a?b="},
        {"charset from the name only, not the data", "=?ISO-8859-1?Q?Preis_852_=E9?=", w1252, "Preis 852 \xE9"},
        {"ucs-2 word of odd length", "=?UCS-2?B?AEEA?=", w1252, "A_"},
        {"base64 with garbage", "=?ISO-8859-1?B?SGVs*bG8=?=", w1252, "Hel"},
        {"base64 without padding", "=?ISO-8859-1?B?SGVsbG8?=", w1252, "Hello"},
    };
    for (const TDecodeCase& c : cases) EXPECT_EQ(DecodeEncodedWords(c.text, c.target), c.expected) << c.what;
}

TEST(EncodedWords, InvalidWordsStayAndLaterWordsAreStillDecoded) {
    const TCharset w1252 = TCharset::Windows1252;
    const TDecodeCase cases[] = {
        {"unknown encoding letter", "=?ISO-8859-1?X?abc?= and =?ISO-8859-1?Q?ok?=", w1252,
         "=?ISO-8859-1?X?abc?= and ok"},
        {"letter of two characters", "=?ISO-8859-1?QQ?abc?= =?ISO-8859-1?Q?ok?=", w1252, "=?ISO-8859-1?QQ?abc?= ok"},
        {"stray start before a word", "cost =?x =?ISO-8859-1?Q?ok?=", w1252, "cost =?x ok"},
        {"unterminated start", "Subject =?ISO-8859-1?Q?never ends", w1252, "Subject =?ISO-8859-1?Q?never ends"},
        {"start without question marks", "=?", w1252, "=?"},
        {"end too early", "=?\?=", w1252, "=?\?="},
    };
    for (const TDecodeCase& c : cases) EXPECT_EQ(DecodeEncodedWords(c.text, c.target), c.expected) << c.what;
}

TEST(EncodedWords, DecodedTextIsNeverDecodedAgain) {
    // The word decodes to the text of another encoded word, which must stay.
    EXPECT_EQ(DecodeEncodedWords("=?ISO-8859-1?Q?=3D=3FISO-8859-1=3FQ=3Fx=3F=3D?=", TCharset::Windows1252),
              "=?ISO-8859-1?Q?x?=");
    // A decoded "?" right after a literal "=" makes no new word either.
    EXPECT_EQ(DecodeEncodedWords("a==?ISO-8859-1?Q?=3FQ=3Fb?=?=", TCharset::Windows1252), "a=?Q?b?=");
}

TEST(EncodedWords, QDataRules) {
    const std::pair<const char*, const char*> cases[] = {
        {"a_b", "a b"},   {"=41=42", "AB"},  {"=4a", "J"},     {"a=ZZb", "a b"},
        {"ab=", "ab"},    {"ab=4", "ab4"},   {"=", ""},        {"=3", "3"},
    };
    for (const auto& [data, expected] : cases) EXPECT_EQ(DecodeQData(data), expected) << data;
}

TEST(EncodedWords, ManyWordsOnOneLongLineAreAllDecoded) {
    std::string line;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        line += "=?ISO-8859-1?Q?=E9?= ";
        expected += "\xE9 ";
    }
    EXPECT_EQ(DecodeEncodedWords(line, TCharset::Windows1252), expected);

    std::string noEnd;  // a megabyte of starts without an end
    for (int i = 0; i < (1 << 19); ++i) noEnd += "=?";
    EXPECT_EQ(DecodeEncodedWords(noEnd, TCharset::Windows1252), noEnd);
}
