#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class TLocaleEnvironment {
public:
    TLocaleEnvironment(const char* all, const char* messages, const char* lang) {
        Save();
        Set("LC_ALL", all);
        Set("LC_MESSAGES", messages);
        Set("LANG", lang);
    }
    ~TLocaleEnvironment() {
        for (int i = 0; i < 3; ++i) Set(kNames[i], had_[i] ? old_[i].c_str() : nullptr);
    }

private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    void Save() {
        for (int i = 0; i < 3; ++i)
            if (const char* v = std::getenv(kNames[i])) had_[i] = true, old_[i] = v;
    }
    static void Set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    bool had_[3] = {};
    std::string old_[3];
};

TEST(LocaleTest, UserDefaultLanguageFromEnvironment) {
    struct Case {
        const char *all, *messages, *lang;
        int expected;
    } cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", 0x07},
        {nullptr, nullptr, "ru_RU", 0x19},
        {nullptr, nullptr, "zh_CN.UTF-8", 0x04},
        {nullptr, "fr_FR.UTF-8", "de_DE.UTF-8", 0x0C},  // LC_MESSAGES before LANG
        {"it_IT", "fr_FR", "de_DE", 0x10},              // LC_ALL before both
        {"", "", "sv_SE", 0x1D},                        // empty means unset
        {nullptr, nullptr, "C.UTF-8", 0x09},
        {nullptr, nullptr, "POSIX", 0x09},
        {nullptr, nullptr, nullptr, 0x09},
        {nullptr, nullptr, "xx_YY", 0x00},
        {nullptr, nullptr, "sr_RS@latin", 0x1A},
        {nullptr, nullptr, "nb_NO.UTF-8", 0x14},
    };
    for (const Case& c : cases) {
        TLocaleEnvironment env(c.all, c.messages, c.lang);
        EXPECT_EQ(UserDefaultLanguage(), c.expected) << (c.lang ? c.lang : "(none)");
    }
}

TEST(LocaleTest, CodePageOfLocale) {
    struct Case {
        const char* locale;
        int codePage;
    } cases[] = {
        {"de_DE.UTF-8", 1252}, {"ru_RU.UTF-8", 1251}, {"uk_UA", 1251},     {"sr_RS", 1251},
        {"sr_RS@latin", 1250}, {"pl_PL", 1250},       {"cs_CZ", 1250},     {"el_GR", 1253},
        {"tr_TR", 1254},       {"he_IL", 1255},       {"fa_IR", 1256},     {"lt_LT", 1257},
        {"vi_VN", 1258},       {"ja_JP", 1252},       {"C", 1252},         {"", 1252},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowsCodePageOfLocale(c.locale), c.codePage) << c.locale;
}

}  // namespace
