#include "integration/Connections.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string U32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

std::string Entry(const std::string& name, char a = 0, char b = 0) {
    return U32(static_cast<std::uint32_t>(name.size())) + name + std::string(8, a) + std::string(8, b);
}

std::string File(const std::vector<std::string>& entries, const std::string& magic = "VER ") {
    std::string text = magic + U32(65536) + U32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& e : entries) text += e;
    return text;
}

class TConnectionsTest : public ::testing::Test {
protected:
    TTempHome home;
    std::string path = home.File("netconn.mfd");
};

TEST_F(TConnectionsTest, FirstStartWritesTheLanEntryAlone) {
    TConnections list;
    list.StartUp();
    ASSERT_EQ(list.Items.size(), 1u);
    EXPECT_EQ(list.Items[0].Name, "LAN");
    EXPECT_EQ(list.Items[0].State, TConnection::LocalNetwork);
    EXPECT_EQ(list.Items[0].Local, 1);
    list.ShutDown();
    EXPECT_EQ(ReadFile(path), File({Entry("LAN")}));
}

TEST_F(TConnectionsTest, EntriesGoneFromThePhoneBookAreKeptWithTheirValues) {
    const std::string stored = File({Entry("LAN"), Entry("Work", 'a', 'b')});
    WriteFile(path, stored);
    TConnections list;
    list.StartUp();
    ASSERT_EQ(list.Items.size(), 2u);
    EXPECT_EQ(list.Items[1].Name, "Work");
    EXPECT_EQ(list.Items[1].State, TConnection::NotInPhoneBook);
    EXPECT_EQ(list.Items[1].ValueA[7], 'a');
    list.ShutDown();
    EXPECT_EQ(ReadFile(path), stored);
}

TEST_F(TConnectionsTest, PhoneBookEntriesAreMatchedWithoutRegardToCase) {
    WriteFile(path, File({Entry("lan"), Entry("Work")}));
    TConnections list;
    list.LoadFromFile(path);
    list.Refresh({"LAN", "WORK", "Home"});
    ASSERT_EQ(list.Items.size(), 3u);
    EXPECT_EQ(list.Items[0].Name, "lan");
    EXPECT_EQ(list.Items[0].Local, 1);
    EXPECT_EQ(list.Items[1].State, TConnection::InPhoneBook);
    EXPECT_EQ(list.Items[2].Name, "Home");
    EXPECT_EQ(list.Items[2].State, TConnection::InPhoneBook);
}

TEST_F(TConnectionsTest, DamagedFilesGiveWhatCouldBeRead) {
    const std::string two = File({Entry("One"), Entry("Two")});
    struct Case {
        std::string file;
        std::vector<std::string> names;
    } cases[] = {
        {File({Entry("One")}, "VEX "), {"LAN"}},
        {"VE", {"LAN"}},
        {two.substr(0, two.size() - 5), {"One", "LAN"}},  // cut inside the second entry
        {File({U32(5000) + std::string(5000, 'n')}), {"LAN"}},  // a name longer than the reader takes
    };
    for (const auto& c : cases) {
        WriteFile(path, c.file);
        TConnections list;
        list.StartUp();
        std::vector<std::string> names;
        for (const auto& item : list.Items) names.push_back(item.Name);
        EXPECT_EQ(names, c.names);
    }
}

TEST_F(TConnectionsTest, EmptyListRemovesTheFile) {
    WriteFile(path, File({Entry("LAN")}));
    TConnections().SaveToFile(path);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
