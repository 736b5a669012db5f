#include "platform/Home.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Sets (or, with nullptr, clears) an environment variable for one scope.
class TEnvSetting {
public:
    TEnvSetting(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TEnvSetting() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(HomeTest, FolderFromEnvironment) {
    TEnvSetting user("HOME", "/home/someone");
    {
        TEnvSetting home("TARNWICK_HOME", "/srv/tw");
        TEnvSetting xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(HomeFolder(), "/srv/tw");
        EXPECT_EQ(ProgramFile("misc.ini"), "/srv/tw/misc.ini");
    }
    TEnvSetting home("TARNWICK_HOME", "");
    {
        TEnvSetting xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(HomeFolder(), "/data/tarnwick");
    }
    {
        TEnvSetting xdg("XDG_DATA_HOME", "relative/ignored");
        EXPECT_EQ(HomeFolder(), "/home/someone/.local/share/tarnwick");
    }
    TEnvSetting xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(HomeFolder(), "/home/someone/.local/share/tarnwick");
}

TEST(HomeTest, EnterCreatesPrivateFolderAndMakesItCurrent) {
    TTempHome temp;  // restores the working directory and TARNWICK_HOME afterwards
    const std::string target = temp.File("a/b/home");
    TEnvSetting home("TARNWICK_HOME", target.c_str());
    ASSERT_TRUE(EnterHomeFolder());
    EXPECT_EQ(fs::current_path(), fs::path(target));
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(EnterHomeFolder());  // an existing folder is fine

    // A relative setting is made absolute, so it still names the same folder.
    fs::current_path(temp.Path());
    TEnvSetting relative("TARNWICK_HOME", "rel");
    ASSERT_TRUE(EnterHomeFolder());
    EXPECT_EQ(HomeFolder(), temp.File("rel"));
    EXPECT_EQ(fs::current_path(), fs::path(temp.File("rel")));
}

TEST(HomeTest, EnterFailsWhenAFileIsInTheWay) {
    TTempHome temp;
    WriteFile(temp.File("plain"), "x");
    TEnvSetting home("TARNWICK_HOME", temp.File("plain").c_str());
    EXPECT_FALSE(EnterHomeFolder());
}

}  // namespace
