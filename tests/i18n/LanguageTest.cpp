#include "i18n/Language.h"

#include <gtest/gtest.h>

namespace {

TEST(LanguageTest, NamesInOrder) {
    EXPECT_EQ(LanguageCount, 157);
    struct Case {
        int value;
        const char* name;
    } cases[] = {
        {0, "Abkhazian"}, {12, "Bengali (Bangla)"}, {24, "Chinese (Simplified)"}, {33, "English"},
        {41, "French"},   {48, "German"},           {105, "Rhaeto-Romance"},      {107, "Russian"},
        {148, "Volap\xFCk"}, {155, "Zulu"},         {156, "Other"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageName(static_cast<TLanguage>(c.value)), c.name);
        EXPECT_EQ(static_cast<int>(LanguageFromName(c.name)), c.value);
    }
    EXPECT_EQ(LanguageFromName("german"), TLanguage::Other);  // letter case counts
    EXPECT_EQ(LanguageFromName("German "), TLanguage::Other);
    EXPECT_EQ(LanguageFromName(""), TLanguage::Other);
    EXPECT_EQ(LanguageFromName("Volapuk"), TLanguage::Other);
}

TEST(LanguageTest, LanguageOfPrimaryIdentifier) {
    struct Case {
        int id;
        TLanguage language;
    } cases[] = {
        {0x07, TLanguage::German},   {0x19, TLanguage::Russian},  {0x0C, TLanguage::French},
        {0x09, TLanguage::English},  {0x04, TLanguage::English},  // CHINESE names no display name
        {0x23, TLanguage::English},  {0x26, TLanguage::English},  // BELARUSIAN, LATVIAN neither
        {0x1A, TLanguage::Croatian}, {0x0407, TLanguage::German},  // the sublanguage bits do not count
        {0x00, TLanguage::English},  {0x3F, TLanguage::English},  {0x2A, TLanguage::Vietnamese},
    };
    for (const Case& c : cases) EXPECT_EQ(LanguageOfPrimaryId(c.id), c.language) << std::hex << c.id;
}

}  // namespace
