#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Switches the program's code page for one test.
class TCodePageScope {
public:
    explicit TCodePageScope(int page) : old_(ProgramCodePage()) { SetProgramCodePage(page); }
    ~TCodePageScope() { SetProgramCodePage(old_); }

private:
    int old_;
};

TEST(CodePageTest, RoundTripThroughUnicode) {
    struct Case {
        int page;
        const char* bytes;  // in the code page
        const char* utf8;
    } cases[] = {
        {1252, "Gr\xFC\xDF" "e \x80 5", "Grüße € 5"},
        {1252, "Volap\xFCk", "Volapük"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2, \xB8\xE6", "Привет, ёж"},
        {1250, "\xBE\x9A\xE8", "ľšč"},
        {1253, "\xE1\xE2\xE3", "αβγ"},
    };
    for (const Case& c : cases) {
        TCodePageScope scope(c.page);
        EXPECT_EQ(CodePageToUtf8(c.bytes), c.utf8) << c.page;
        EXPECT_EQ(Utf8ToCodePage(c.utf8), c.bytes) << c.page;
        EXPECT_EQ(Utf16ToCodePage(CodePageToUtf16(c.bytes)), c.bytes) << c.page;
    }
}

TEST(CodePageTest, MissingCharactersBecomeUnderscore) {
    TCodePageScope scope(1252);
    EXPECT_EQ(Utf8ToCodePage("Привет, world"), "______, world");
    EXPECT_EQ(Utf8ToCodePage("a😀b"), "a_b");
    EXPECT_EQ(Utf16ToCodePage(u"x\U0001F600y"), "x_y");
    EXPECT_EQ(Utf16ToCodePage(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a_b");
    // Bytes the code page leaves undefined show as U+FFFD and come back as "_".
    EXPECT_EQ(CodePageToUtf8("\x81"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToCodePage(CodePageToUtf8("\x81")), "_");
    // Malformed UTF-8: a bad lead, an overlong form, an encoded surrogate, a cut sequence.
    EXPECT_EQ(Utf8ToCodePage("a\xFF" "b"), "a_b");
    EXPECT_EQ(Utf8ToCodePage("\xC0\xAF"), "__");
    EXPECT_EQ(Utf8ToCodePage("\xED\xA0\x80"), "___");
    EXPECT_EQ(Utf8ToCodePage("ok\xC3"), "ok_");

    TCodePageScope cyrillic(1251);
    EXPECT_EQ(Utf8ToCodePage("Grüße"), "Gr__e");
}

TEST(CodePageTest, CaseMappingFollowsTheCodePage) {
    {
        TCodePageScope scope(1252);
        EXPECT_EQ(CodePageUpperCase("gr\xFC\xDF" "e \xFF"), "GR\xDC\xDF" "E \x9F");
        EXPECT_EQ(CodePageLower(0xC4), 0xE4);
        EXPECT_EQ(CodePageUpper(0xFF), 0x9F);  // ÿ to Ÿ
        EXPECT_EQ(CodePageUpper(0xE9), 0xC9);
    }
    TCodePageScope scope(1251);
    EXPECT_EQ(CodePageUpperCase("\xEF\xF0\xE8\xE2\xE5\xF2 \xB8"), "\xCF\xD0\xC8\xC2\xC5\xD2 \xA8");  // привет ё
    EXPECT_EQ(CodePageLowerCase("ABC\xDF"), "abc\xFF");  // Я to я
    EXPECT_TRUE(CodePageSameText("\xCF\xD0\xC8\xC2\xC5\xD2", "\xEF\xF0\xE8\xE2\xE5\xF2"));
    EXPECT_FALSE(CodePageSameText("\xCF", "\xCF\xCF"));
}

TEST(CodePageTest, CodePageFromEnvironment) {
    struct Case {
        const char *codePage, *lcAll, *lang;
        int expected;
    } cases[] = {
        {"1251", nullptr, "de_DE.UTF-8", 1251},
        {"437", nullptr, "ru_RU.UTF-8", 1251},  // not a supported page: the locale decides
        {nullptr, nullptr, "ru_RU.UTF-8", 1251},
        {nullptr, "pl_PL", "ru_RU", 1250},
        {nullptr, nullptr, "de_DE.UTF-8", 1252},
        {nullptr, nullptr, nullptr, 1252},
    };
    const char* names[] = {"TARNWICK_CODEPAGE", "LC_ALL", "LC_CTYPE", "LANG"};
    std::string saved[4];
    bool had[4] = {};
    for (int i = 0; i < 4; ++i)
        if (const char* v = std::getenv(names[i])) had[i] = true, saved[i] = v;
    unsetenv("LC_CTYPE");
    for (const Case& c : cases) {
        const char* values[] = {c.codePage, c.lcAll, nullptr, c.lang};
        for (int i = 0; i < 4; ++i)
            if (values[i])
                setenv(names[i], values[i], 1);
            else
                unsetenv(names[i]);
        EXPECT_EQ(CodePageFromEnvironment(), c.expected) << (c.lang ? c.lang : "-");
    }
    for (int i = 0; i < 4; ++i)
        if (had[i])
            setenv(names[i], saved[i].c_str(), 1);
        else
            unsetenv(names[i]);
}

}  // namespace
