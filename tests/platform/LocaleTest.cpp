#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

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

// Sets environment variables (nullptr: unset) and puts the old values back.
class TEnvironmentScope {
public:
    explicit TEnvironmentScope(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            saved_.push_back({name, old != nullptr, old ? old : ""});
            Set(name, value);
        }
    }
    ~TEnvironmentScope() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) Set(it->name, it->had ? it->value.c_str() : nullptr);
    }
    TEnvironmentScope(const TEnvironmentScope&) = delete;
    TEnvironmentScope& operator=(const TEnvironmentScope&) = delete;

private:
    static void Set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    struct TSaved {
        const char* name;
        bool had;
        std::string value;
    };
    std::vector<TSaved> saved_;
};

// A German locale compiled for these tests (with the ASCII character map,
// which compiles quickly): no locale but C may be installed. Rows that need it
// are left out where localedef is missing.
class UserDateTimeTextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char folder[] = "/tmp/tarnwick-locales-XXXXXX";
        if (!mkdtemp(folder)) return;
        localeFolder_ = folder;
        const std::string command =
            "localedef -c -i de_DE -f ANSI_X3.4-1968 " + localeFolder_ + "/de_DE >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str());
        haveGerman_ = std::filesystem::exists(localeFolder_ + "/de_DE/LC_TIME");
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!localeFolder_.empty()) std::filesystem::remove_all(localeFolder_, ec);
    }

    static std::string localeFolder_;
    static bool haveGerman_;
};

std::string UserDateTimeTextTest::localeFolder_;
bool UserDateTimeTextTest::haveGerman_ = false;

TEST_F(UserDateTimeTextTest, IsoWithoutALanguageElseTheLocaleFormat) {
    TDateTime morning = 0, midnight = 0;
    ASSERT_TRUE(TryEncodeDateTime({2003, 6, 3, 9, 5, 7, 0}, morning));
    ASSERT_TRUE(TryEncodeDateTime({2003, 6, 3, 0, 0, 0, 0}, midnight));
    const std::pair<const char*, const char*> iso{"2003-06-03 09:05:07", "2003-06-03"};
    const std::pair<const char*, const char*> german{"03.06.2003 09:05:07", "03.06.2003"};
    // In turn, so that the remembered locale must follow each change.
    struct {
        const char *all, *time, *lang;
        std::pair<const char*, const char*> expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, iso},
        {nullptr, nullptr, "de_DE", german},
        {nullptr, nullptr, "C.UTF-8", iso},
        {nullptr, "POSIX", "de_DE", iso},   // LC_TIME before LANG
        {"de_DE", "C", nullptr, german},    // LC_ALL before LC_TIME
        {nullptr, nullptr, "xx_YY", iso},   // not installed
        {"", "", "de_DE", german},          // empty means unset
    };
    TEnvironmentScope path({{"LOCPATH", localeFolder_.c_str()}});
    for (const auto& c : cases) {
        if (c.expected == german && !haveGerman_) continue;
        TEnvironmentScope env({{"LC_ALL", c.all}, {"LC_TIME", c.time}, {"LANG", c.lang}});
        EXPECT_EQ(UserDateTimeText(morning), c.expected.first) << (c.lang ? c.lang : "-");
        EXPECT_EQ(UserDateTimeText(midnight), c.expected.second) << (c.lang ? c.lang : "-");
        const TUserDateTimes list;
        EXPECT_EQ(list.Text(morning), c.expected.first) << (c.lang ? c.lang : "-");
        EXPECT_EQ(list.Text(midnight), c.expected.second) << (c.lang ? c.lang : "-");
    }
}

}  // namespace
