#include "platform/IniFile.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    TTempHome home;
    std::string path = home.File("test.ini");
};

TEST_F(IniFileTest, ReadingRules) {
    WriteFile(path,
              "stray=before any section\r\n"
              "[Config]\r\n"
              "Language=German\r\n"
              "LANGUAGE=French\r\n"
              "  Padded  =   some text   \r\n"
              "dq=\"  quoted  \"\r\n"
              "sq='single'\r\n"
              "half=\"open\r\n"
              "mixed=\"a'\r\n"
              "eq=a=b\r\n"
              "; comment=ignored\r\n"
              "empty=\r\n"
              "[other]\r\n"
              "Language=Dutch\r\n"
              "[ config ]\r\n"
              "late=second block\r\n");
    TIniFile ini(path);
    struct Case {
        const char *section, *key, *expected;
    } cases[] = {
        {"Config", "Language", "German"},   // first line with the key wins
        {"CONFIG", "language", "German"},   // letter case of section and key does not count
        {"Config", "padded", "some text"},  // blanks around key and value dropped
        {"Config", "dq", "  quoted  "},     // enclosing quotes go, blanks inside stay
        {"Config", "sq", "single"},
        {"Config", "half", "\"open"},
        {"Config", "mixed", "\"a'"},
        {"Config", "eq", "a=b"},             // the key ends at the first "="
        {"Config", "; comment", "<none>"},
        {"Config", "empty", ""},
        {"other", "Language", "Dutch"},
        {"Config", "late", "second block"},  // a section may come back later in the file
        {"Config", "stray", "<none>"},
        {"Missing", "Language", "<none>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<none>"), c.expected) << c.section << "/" << c.key;
}

TEST_F(IniFileTest, LongValueIsCutAt2047Characters) {
    const std::string longText(3000, 'x');
    WriteFile(path, "[s]\nk=" + longText + "\n");
    EXPECT_EQ(TIniFile(path).ReadString("s", "k", ""), std::string(2047, 'x'));
}

TEST_F(IniFileTest, MissingFileGivesDefaults) {
    TIniFile ini(home.File("none.ini"));
    EXPECT_FALSE(ini.FileExists());
    EXPECT_EQ(ini.ReadString("timer", "minuts", "05"), "05");
    EXPECT_EQ(ini.ReadInteger("timer", "minuts", 5), 5);
    EXPECT_FALSE(ini.ReadBool("timer", "enable", false));
    EXPECT_TRUE(ini.ReadSectionValues("White domains").empty());
}

TEST_F(IniFileTest, IntegersAndBooleans) {
    WriteFile(path,
              "[t]\nzero=05\neight=08\nneg=-12\nhex=$1F\nhex2=0x10\nbad=12a\nhuge=99999999999\nblank=\n"
              "on=1\noff=0\nword=true\nno=false\nodd=maybe\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("t", "zero", -1), 5);
    EXPECT_EQ(ini.ReadInteger("t", "eight", -1), 8);  // leading zeros are not octal
    EXPECT_EQ(ini.ReadInteger("t", "neg", -1), -12);
    EXPECT_EQ(ini.ReadInteger("t", "hex", -1), 31);
    EXPECT_EQ(ini.ReadInteger("t", "hex2", -1), 16);
    EXPECT_EQ(ini.ReadInteger("t", "bad", -1), -1);
    EXPECT_EQ(ini.ReadInteger("t", "huge", -1), -1);
    EXPECT_EQ(ini.ReadInteger("t", "blank", -1), -1);
    EXPECT_TRUE(ini.ReadBool("t", "on", false));
    EXPECT_FALSE(ini.ReadBool("t", "off", true));
    EXPECT_TRUE(ini.ReadBool("t", "word", false));
    EXPECT_FALSE(ini.ReadBool("t", "no", true));
    EXPECT_TRUE(ini.ReadBool("t", "odd", true));
    EXPECT_FALSE(ini.ReadBool("t", "odd", false));
}

TEST_F(IniFileTest, WriteKeepsTheRestOfTheFile) {
    const std::string before =
        "; settings of the timer\r\n"
        "[timer]\r\n"
        "  Minuts = 20 \r\n"
        "hours=00\r\n"
        "minuts=45\r\n"
        "\r\n"
        "[other]\r\n"
        "x=1\r\n";
    WriteFile(path, before);
    TIniFile ini(path);
    ini.WriteString("TIMER", "minuts", "30");   // the first line with the key, in its own spelling
    ini.WriteBool("timer", "enable", true);     // a new key at the end of its section
    ini.WriteInteger("new", "n", 7);            // a new section at the end of the file
    EXPECT_EQ(ReadFile(path),
              "; settings of the timer\r\n"
              "[timer]\r\n"
              "Minuts=30\r\n"
              "hours=00\r\n"
              "minuts=45\r\n"
              "enable=1\r\n"
              "\r\n"
              "[other]\r\n"
              "x=1\r\n"
              "\r\n"
              "[new]\r\n"
              "n=7\r\n");
    EXPECT_EQ(ini.ReadInteger("timer", "minuts", 0), 30);
}

TEST_F(IniFileTest, WriteCreatesFileAndKeepsLineEnds) {
    TIniFile ini(path);
    ini.WriteString("Config", "Language", "German");
    EXPECT_EQ(ReadFile(path), "[Config]\nLanguage=German\n");

    WriteFile(path, "[a]\nk=1");  // no line end after the last line
    ini.WriteString("a", "j", "2");
    EXPECT_EQ(ReadFile(path), "[a]\nk=1\nj=2\n");
}

TEST_F(IniFileTest, ValuesSurviveTheRoundTrip) {
    TIniFile ini(path);
    for (const std::string value : {"  padded  ", "\"quoted\"", "'single'", "plain", "", "a=b", "x;y"}) {
        ini.WriteString("s", "k", value);
        EXPECT_EQ(ini.ReadString("s", "k", "<none>"), value);
    }
    // A line break cannot start a line of its own.
    ini.WriteString("s", "k", "one\r\n[evil]\nk=2");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "one  [evil] k=2");
    EXPECT_FALSE(ini.SectionExists("evil"));
    EXPECT_THROW(ini.WriteString("s", "a=b", "v"), EIniFileError);
    EXPECT_THROW(ini.WriteString("s]x", "k", "v"), EIniFileError);
}

TEST_F(IniFileTest, FailedWriteLeavesFileUntouched) {
    // A file-size limit makes the write of the new content fail halfway.
    const std::string original = "[timer]\nhours=1\n";
    WriteFile(path, original);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteString("timer", "hours", std::string(200, '2')), EIniFileError);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.Path()), {}), 1);  // no temporary left
}

TEST_F(IniFileTest, WritingTheValueAFileHoldsLeavesTheFileAlone) {
    WriteFile(path, "[Config]\r\nLanguage=English\r\n");
    const auto inode = [this] {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_ino;
    };
    const auto before = inode();
    TIniFile(path).WriteString("Config", "Language", "English");
    EXPECT_EQ(inode(), before);  // a rewrite would have put a new file in its place
    TIniFile(path).WriteString("Config", "Language", "German");
    EXPECT_EQ(ReadFile(path), "[Config]\r\nLanguage=German\r\n");
}

TEST_F(IniFileTest, WriteThroughALinkKeepsTheLink) {
    const std::string target = home.File("real.ini");
    WriteFile(target, "[a]\nk=1\n");
    std::filesystem::create_symlink(target, path);
    TIniFile(path).WriteString("a", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFile(target), "[a]\nk=2\n");
}

TEST_F(IniFileTest, WriteIntoMissingFolderRaises) {
    TIniFile ini(home.File("no/such/folder/misc.ini"));
    EXPECT_THROW(ini.WriteBool("timer", "enable", true), EIniFileError);
}

TEST_F(IniFileTest, SectionListingDeletingAndErasing) {
    WriteFile(path, "[White domains]\nd1=example.org\nD1=dup.org\nd2=\"mail.example\"\n; c=x\n[x]\ny=1\n");
    TIniFile ini(path);
    const auto values = ini.ReadSectionValues("white domains");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], (std::pair<std::string, std::string>("d1", "example.org")));
    EXPECT_EQ(values[1], (std::pair<std::string, std::string>("d2", "mail.example")));
    EXPECT_EQ(ini.ReadSection("x"), std::vector<std::string>{"y"});
    EXPECT_TRUE(ini.ValueExists("X", "Y"));

    ini.DeleteKey("white domains", "d1");
    EXPECT_EQ(ini.ReadString("White domains", "d1", ""), "dup.org");
    ini.EraseSection("White domains");
    EXPECT_EQ(ReadFile(path), "[x]\ny=1\n");
}

}  // namespace
