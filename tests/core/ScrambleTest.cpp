#include "core/DataModule.h"
#include "core/Scramble.h"

#include <gtest/gtest.h>

namespace {

unsigned KeyOf(const std::string& key) {
    unsigned k = 0;
    for (unsigned char c : key) k += c;
    return k % 256;
}

TEST(ScrambleTest, RoundTripKeepsTheLengthAndSwapsTheMarker) {
    for (const std::string password : {"secret", "P4ss w0rd!", "x", "\xe4\xf6\xfc\xdf"}) {
        SCOPED_TRACE(password);
        const std::string scrambled = TDM::ScramblePassword("\x03" + password, "alice", true);
        ASSERT_EQ(scrambled.size(), password.size() + 1);
        EXPECT_EQ(scrambled[0], '\x04');
        EXPECT_NE(scrambled.substr(1), password);
        EXPECT_EQ(scrambled.find('\0'), std::string::npos);
        EXPECT_EQ(TDM::ScramblePassword(scrambled, "alice", false), password);
    }
}

TEST(ScrambleTest, AnotherKeyGivesOtherCharactersOfTheSameLength) {
    ASSERT_NE(KeyOf("alice"), KeyOf("bob"));
    const std::string scrambled = TDM::ScramblePassword("\x03secret", "alice", true);
    const std::string wrong = TDM::ScramblePassword(scrambled, "bob", false);
    EXPECT_EQ(wrong.size(), 6u);
    EXPECT_NE(wrong, "secret");
}

TEST(ScrambleTest, CharacterEqualToTheKeyStaysItself) {
    // "a" alone is the key 97, the code of 'a'.
    ASSERT_EQ(KeyOf("a"), static_cast<unsigned>('a'));
    const std::string scrambled = TDM::ScramblePassword("\x03" "banana", "a", true);
    EXPECT_EQ(scrambled[2], 'a');
    EXPECT_EQ(scrambled[4], 'a');
    EXPECT_NE(scrambled[1], 'b');
    EXPECT_EQ(TDM::ScramblePassword(scrambled, "a", false), "banana");
}

TEST(ScrambleTest, ValuesWithoutTheirMarkerOrBlankComeBackUnchanged) {
    struct Case {
        const char* text;
        bool encode;
    } cases[] = {{"secret", true},   {"\x04secret", true}, {"secret", false}, {"\x03secret", false},
                 {"", true},         {"", false},          {"  ", true},      {" \x03 ", false},
                 {"\x03", true},     {"\x04", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" encode=" << c.encode);
        EXPECT_EQ(TDM::ScramblePassword(c.text, "alice", c.encode), c.text);
    }
}

TEST(ScrambleTest, ScrambledFormOfControlCharactersAloneIsStillDecoded) {
    // "mailuser" is the key 98: every 'p' becomes the control character 0x12.
    ASSERT_EQ(KeyOf("mailuser"), 98u);
    const std::string scrambled = TDM::ScramblePassword("\x03pp", "mailuser", true);
    EXPECT_EQ(scrambled, "\x04\x12\x12");
    EXPECT_EQ(TDM::ScramblePassword(scrambled, "mailuser", false), "pp");
}

TEST(ScrambleTest, EmptyKeyLeavesTheCharacters) {
    EXPECT_EQ(TDM::ScramblePassword("\x03secret", "", true), "\x04secret");
}

}  // namespace
