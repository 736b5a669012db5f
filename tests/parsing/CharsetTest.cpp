#include "parsing/Charset.h"

#include "CodePageGuard.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct TTableCase {
    TCharset charset;
    const char* name;
    bool bijective;  // the published code page defines all 256 bytes
    std::vector<std::pair<unsigned char, char16_t>> known;  // well-known characters
};

const std::vector<TTableCase>& TableCases() {
    static const std::vector<TTableCase> cases = {
        {TCharset::Iso8859_1, "ISO-8859-1", true, {{0xE9, 0x00E9}, {0xFC, 0x00FC}, {0xDF, 0x00DF}, {0xA9, 0x00A9}, {0xC4, 0x00C4}}},
        {TCharset::Iso8859_2, "ISO-8859-2", true, {{0xA1, 0x0104}, {0xB1, 0x0105}, {0xA3, 0x0141}, {0xB3, 0x0142}, {0xC8, 0x010C}, {0xA9, 0x0160}, {0xBE, 0x017E}}},
        {TCharset::Iso8859_3, "ISO-8859-3", false, {{0xA1, 0x0126}, {0xB1, 0x0127}, {0xA6, 0x0124}, {0xDD, 0x016C}, {0xF8, 0x011D}, {0xA5, 0xFFFD}}},
        {TCharset::Iso8859_4, "ISO-8859-4", true, {{0xA1, 0x0104}, {0xA2, 0x0138}, {0xA3, 0x0156}, {0xC0, 0x0100}, {0xE0, 0x0101}, {0xBD, 0x014A}}},
        {TCharset::Iso8859_5, "ISO-8859-5", true, {{0xB0, 0x0410}, {0xD0, 0x0430}, {0xA1, 0x0401}, {0xF1, 0x0451}, {0xF0, 0x2116}, {0xEF, 0x044F}}},
        {TCharset::Iso8859_6, "ISO-8859-6", false, {{0xC7, 0x0627}, {0xC8, 0x0628}, {0xAC, 0x060C}, {0xBF, 0x061F}, {0xBB, 0x061B}, {0xA1, 0xFFFD}}},
        {TCharset::Iso8859_7, "ISO-8859-7", false, {{0xC1, 0x0391}, {0xE1, 0x03B1}, {0xF9, 0x03C9}, {0xD9, 0x03A9}, {0xF2, 0x03C2}, {0xD2, 0xFFFD}}},
        {TCharset::Iso8859_8, "ISO-8859-8", false, {{0xE0, 0x05D0}, {0xFA, 0x05EA}, {0xAA, 0x00D7}, {0xBA, 0x00F7}, {0xDF, 0x2017}, {0xA1, 0xFFFD}}},
        {TCharset::Iso8859_9, "ISO-8859-9", true, {{0xD0, 0x011E}, {0xF0, 0x011F}, {0xDD, 0x0130}, {0xFD, 0x0131}, {0xDE, 0x015E}}},
        {TCharset::Iso8859_10, "ISO-8859-10", true, {{0xA1, 0x0104}, {0xA2, 0x0112}, {0xBD, 0x2015}, {0xBF, 0x014B}, {0xF0, 0x00F0}, {0xFF, 0x0138}}},
        {TCharset::Iso8859_13, "ISO-8859-13", true, {{0xA1, 0x201D}, {0xC0, 0x0104}, {0xE0, 0x0105}, {0xD9, 0x0141}, {0xF9, 0x0142}, {0xFF, 0x2019}}},
        {TCharset::Iso8859_14, "ISO-8859-14", true, {{0xA1, 0x1E02}, {0xA2, 0x1E03}, {0xD0, 0x0174}, {0xF0, 0x0175}, {0xDE, 0x0176}, {0xFE, 0x0177}}},
        {TCharset::Iso8859_15, "ISO-8859-15", true, {{0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D}, {0xBC, 0x0152}, {0xBE, 0x0178}}},
        {TCharset::Windows1250, "Windows-1250", false, {{0x80, 0x20AC}, {0x8A, 0x0160}, {0x9A, 0x0161}, {0xA3, 0x0141}, {0xB3, 0x0142}, {0xE8, 0x010D}, {0x81, 0xFFFD}}},
        {TCharset::Windows1251, "Windows-1251", false, {{0xC0, 0x0410}, {0xE0, 0x0430}, {0xA8, 0x0401}, {0xB8, 0x0451}, {0xB9, 0x2116}, {0x88, 0x20AC}, {0x98, 0xFFFD}}},
        {TCharset::Windows1252, "Windows-1252", false, {{0x80, 0x20AC}, {0x99, 0x2122}, {0x93, 0x201C}, {0x9F, 0x0178}, {0xFC, 0x00FC}, {0x81, 0xFFFD}}},
        {TCharset::Windows1253, "Windows-1253", false, {{0xC1, 0x0391}, {0xE1, 0x03B1}, {0xA2, 0x0386}, {0x80, 0x20AC}, {0xF9, 0x03C9}, {0xD2, 0xFFFD}}},
        {TCharset::Windows1254, "Windows-1254", false, {{0xD0, 0x011E}, {0xF0, 0x011F}, {0xDD, 0x0130}, {0xFD, 0x0131}, {0x80, 0x20AC}, {0x8A, 0x0160}}},
        {TCharset::Windows1255, "Windows-1255", false, {{0xE0, 0x05D0}, {0xFA, 0x05EA}, {0xA4, 0x20AA}, {0x80, 0x20AC}, {0xAA, 0x00D7}, {0xBA, 0x00F7}}},
        {TCharset::Windows1256, "Windows-1256", true, {{0xC7, 0x0627}, {0xC8, 0x0628}, {0xA1, 0x060C}, {0xBF, 0x061F}, {0x80, 0x20AC}, {0x81, 0x067E}, {0x8D, 0x0686}}},
        {TCharset::Windows1257, "Windows-1257", false, {{0xC0, 0x0104}, {0xE0, 0x0105}, {0xD9, 0x0141}, {0xF9, 0x0142}, {0x80, 0x20AC}, {0xA8, 0x00D8}}},
        {TCharset::Windows1258, "Windows-1258", false, {{0xC3, 0x0102}, {0xE3, 0x0103}, {0xD0, 0x0110}, {0xF0, 0x0111}, {0xDD, 0x01AF}, {0xFD, 0x01B0}, {0xFE, 0x20AB}}},
        {TCharset::Koi8R, "KOI8-R", true, {{0xC1, 0x0430}, {0xE1, 0x0410}, {0xA3, 0x0451}, {0xB3, 0x0401}, {0xD1, 0x044F}, {0xFF, 0x042A}, {0xC0, 0x044E}}},
        {TCharset::Cp895, "CP895", true, {{0x80, 0x010C}, {0x87, 0x010D}, {0x9B, 0x0160}, {0xA8, 0x0161}, {0x92, 0x017D}, {0x91, 0x017E}, {0xB0, 0x2591}, {0xE1, 0x00DF}}},
        {TCharset::Cp852, "CP852", true, {{0x80, 0x00C7}, {0x81, 0x00FC}, {0x9D, 0x0141}, {0x88, 0x0142}, {0xAC, 0x010C}, {0x9F, 0x010D}, {0xE6, 0x0160}, {0xA6, 0x017D}}},
    };
    return cases;
}

std::string Byte(unsigned b) { return std::string(1, static_cast<char>(b)); }

}  // namespace

TEST(CharsetTables, EverySingleByteCharsetHasItsPublishedTable) {
    ASSERT_EQ(TableCases().size(), static_cast<std::size_t>(TCharset::Cp852) + 1);
    for (const TTableCase& c : TableCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(IsSingleByteCharset(c.charset));
        const char16_t* table = CharsetToUnicode(c.charset);
        ASSERT_NE(table, nullptr);
        for (unsigned b = 0; b < 128; ++b) EXPECT_EQ(table[b], b) << "byte " << b;
        for (const auto& [byte, codePoint] : c.known)
            EXPECT_EQ(static_cast<unsigned>(table[byte]), static_cast<unsigned>(codePoint)) << "byte " << +byte;

        std::set<char16_t> seen;
        unsigned undefined = 0;
        for (unsigned b = 0; b < 256; ++b) {
            if (table[b] == 0xFFFD) {
                ++undefined;
                continue;
            }
            EXPECT_TRUE(seen.insert(table[b]).second) << "byte " << b << " repeats a character";
        }
        if (c.bijective) {
            EXPECT_EQ(undefined, 0u);
        }
    }
}

TEST(CharsetTables, EveryDefinedByteSurvivesARoundTripThroughUnicode) {
    for (const TTableCase& c : TableCases()) {
        SCOPED_TRACE(c.name);
        const char16_t* table = CharsetToUnicode(c.charset);
        for (unsigned b = 0; b < 256; ++b) {
            const std::string utf8 = ConvertCharset(Byte(b), c.charset, TCharset::Utf8);
            const std::string back = ConvertCharset(utf8, TCharset::Utf8, c.charset);
            EXPECT_EQ(back, table[b] == 0xFFFD ? "_" : Byte(b)) << "byte " << b;
            EXPECT_EQ(ConvertCharset(Byte(b), c.charset, c.charset), back) << "byte " << b;
        }
    }
}

TEST(Charset, NamesMapToCharsets) {
    struct Case {
        const char* name;
        TCharset charset;
    };
    const Case cases[] = {
        {"iso-8859-1", TCharset::Iso8859_1},     {"ISO-8859-10", TCharset::Iso8859_10},
        {"iso-8859-15", TCharset::Iso8859_15},   {"iso-8859-2", TCharset::Iso8859_2},
        {"ISO-8859-9", TCharset::Iso8859_9},     {"windows-1250", TCharset::Windows1250},
        {"x-cp1251", TCharset::Windows1251},     {"Windows-1258", TCharset::Windows1258},
        {"koi8-r", TCharset::Koi8R},             {"x-kamenicky", TCharset::Cp895},
        {"cp895", TCharset::Cp895},              {"latin-2", TCharset::Cp852},
        {"ibm852", TCharset::Cp852},             {"utf-7", TCharset::Utf7},
        {"utf-8", TCharset::Utf8},               {"x-utf-8", TCharset::Utf8},
        {"ucs-4", TCharset::Ucs4},               {"iso-10646-ucs-2", TCharset::Ucs2},
        {"unicode-1-1", TCharset::Ucs2},         {"us-ascii", TCharset::Iso8859_1},
        {"", TCharset::Iso8859_1},
    };
    for (const Case& c : cases) EXPECT_EQ(CharsetFromName(c.name), c.charset) << c.name;
}

TEST(Charset, SystemCharsetFollowsTheProgramCodePage) {
    const std::pair<int, TCharset> cases[] = {
        {1250, TCharset::Windows1250}, {1251, TCharset::Windows1251}, {1252, TCharset::Windows1252},
        {1253, TCharset::Windows1253}, {1256, TCharset::Windows1256}, {1258, TCharset::Windows1258},
    };
    for (const auto& [page, charset] : cases) {
        TCodePageGuard guard(page);
        EXPECT_EQ(SystemCharset(), charset) << page;
    }
}

TEST(Charset, ConvertsUnicodeFormsIntoASingleByteTarget) {
    struct Case {
        const char* what;
        std::string text;
        TCharset from;
        TCharset to;
        std::string expected;
    };
    const Case cases[] = {
        {"utf-8", "Gr\xC3\xBC\xC3\x9F" "e", TCharset::Utf8, TCharset::Windows1252, "Gr\xFC\xDF" "e"},
        {"character the target lacks", "Gr\xC3\xBC\xC3\x9F" "e", TCharset::Utf8, TCharset::Windows1251, "Gr__e"},
        {"above 16 bits", "a\xF0\x9F\x98\x80" "b", TCharset::Utf8, TCharset::Windows1252, "a_b"},
        {"invalid utf-8", "a\xC3(\xFF\xE2\x82" "b", TCharset::Utf8, TCharset::Windows1252, "a_(___b"},
        {"overlong utf-8", "\xC0\xAF", TCharset::Utf8, TCharset::Windows1252, "__"},
        {"ucs-2", std::string("\x00G\x00r\x00\xFC", 6), TCharset::Ucs2, TCharset::Windows1252, "Gr\xFC"},
        {"ucs-2 of odd length", std::string("\x00" "A\x00", 3), TCharset::Ucs2, TCharset::Windows1252, "A_"},
        {"ucs-2 surrogate pair", std::string("\xD8\x3D\xDE\x00\x00" "a", 6), TCharset::Ucs2, TCharset::Windows1252, "_a"},
        {"ucs-4", std::string("\x00\x00\x04\x10\x00\x00\x00" "b", 8), TCharset::Ucs4, TCharset::Windows1251, "\xC0" "b"},
        {"ucs-4 remainder", std::string("\x00\x00\x00" "a\x00", 5), TCharset::Ucs4, TCharset::Windows1252, "a_"},
        {"utf-7", "Hi Mom -+Jjo--!", TCharset::Utf7, TCharset::Windows1252, "Hi Mom -_-!"},
        {"utf-7 plus", "1 +- 1 +AOk-", TCharset::Utf7, TCharset::Windows1252, "1 + 1 \xE9"},
        {"utf-7 implicit end", "+AOkA6Q.", TCharset::Utf7, TCharset::Windows1252, "\xE9\xE9."},
        {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", TCharset::Koi8R, TCharset::Windows1251, "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {"undefined source byte", "\x81", TCharset::Windows1252, TCharset::Iso8859_1, "_"},
    };
    for (const Case& c : cases) EXPECT_EQ(ConvertCharset(c.text, c.from, c.to), c.expected) << c.what;
}

TEST(Charset, UnicodeTargetsRoundTrip) {
    const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80+~";
    for (const TCharset form : {TCharset::Ucs2, TCharset::Ucs4, TCharset::Utf7}) {
        const std::string encoded = ConvertCharset(utf8, TCharset::Utf8, form);
        EXPECT_EQ(ConvertCharset(encoded, form, TCharset::Utf8), utf8) << static_cast<int>(form);
    }
}
