// The language files that ship with the program: well formed in their code
// pages, and holding every key the code asks for with a literal key.
#include "i18n/LanguageFiles.h"
#include "i18n/Translator.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = TARNWICK_SOURCE_ROOT;

struct TShipped {
    TLanguage language;
    TSingleByteCharset charset;
};

const TShipped kShipped[] = {
    {TLanguage::German, TSingleByteCharset::Windows1252},
    {TLanguage::Russian, TSingleByteCharset::Windows1251},
};

// Keys of the Translate("key", ...) and Tr("key", ...) calls in the program's sources.
void CollectKeys(const std::string& text, std::set<std::string>& keys) {
    auto identifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (const std::string call : {"Translate(", "Tr("}) {
        for (auto at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
            if (at > 0 && identifier(text[at - 1])) continue;
            auto i = text.find_first_not_of(" \t\r\n", at + call.size());
            if (i == std::string::npos || text[i] != '"') continue;
            std::string key;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                key += text[i];
            }
            if (!key.empty()) keys.insert(key);
        }
    }
}

std::set<std::string> KeysInCode() {
    std::set<std::string> keys;
    for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot / "src")) {
        const auto ext = entry.path().extension();
        if (ext == ".cpp" || ext == ".h") CollectKeys(ReadFile(entry.path().string()), keys);
    }
    return keys;
}

TEST(ShippedLanguageFilesTest, WellFormedInTheirCodePages) {
    for (const TShipped& s : kShipped) {
        const fs::path file = kSourceRoot / "lang" / LanguageFileName(s.language);
        ASSERT_TRUE(fs::exists(file)) << file;
        const std::string text = ReadFile(file.string());
        // Every byte is a character of the file's code page.
        EXPECT_EQ(CharsetToUtf8(text, s.charset).find("\xEF\xBF\xBD"), std::string::npos) << file;
        EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0), std::string::npos) << "no byte-order mark in " << file;
        const TIniFile ini(file.string());
        EXPECT_GT(ini.ReadSection(LanguageName(s.language)).size(), 10u) << file;
    }
}

TEST(ShippedLanguageFilesTest, EveryKeyOfTheCodeIsTranslated) {
    const std::set<std::string> keys = KeysInCode();
    for (const TShipped& s : kShipped) {
        const TIniFile ini((kSourceRoot / "lang" / LanguageFileName(s.language)).string());
        std::string missing;
        for (const std::string& key : keys)
            if (!ini.ValueExists(LanguageName(s.language), key)) missing += "\n  " + key;
        EXPECT_TRUE(missing.empty()) << LanguageFileName(s.language) << " lacks:" << missing;
    }
}

TEST(ShippedLanguageFilesTest, BothFilesHoldTheSameKeys) {
    auto keysOf = [](const TShipped& s) {
        const TIniFile ini((kSourceRoot / "lang" / LanguageFileName(s.language)).string());
        std::set<std::string> keys;
        for (const auto& key : ini.ReadSection(LanguageName(s.language))) keys.insert(key);
        return keys;
    };
    EXPECT_EQ(keysOf(kShipped[0]), keysOf(kShipped[1]));
}

TEST(ShippedLanguageFilesTest, FoundThroughTheDefaultFolders) {
    TTempHome home;
    SetLanguageFolders({});
    WriteFile(home.File("language.ini"), "[Config]\nLanguage=Russian\n");
    TTranslator translator;
    translator.Loaded();
    std::vector<std::string> list;
    translator.ListLanguages(list);
    EXPECT_NE(std::find(list.begin(), list.end(), "German"), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), "Russian"), list.end());
    // "Ok" stays English everywhere, "Error" does not.
    EXPECT_EQ(translator.Translate("Error", "Error"), "\xCE\xF8\xE8\xE1\xEA\xE0");  // Ошибка in 1251
}

}  // namespace
