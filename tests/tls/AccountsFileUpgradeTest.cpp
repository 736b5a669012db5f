// An accounts.dat written before the security settings existed.
#include "core/DataModule.h"
#include "data/TTableFile.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(AccountsFileUpgrade, AnOldFileLoadsWithTheDefaultsAndLosesNothing) {
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope(ui);
    const std::vector<TStoredField> oldLayout = {
        {"id", "AutoInc", 0},        {"identity", "Integer", 0},       {"description", "String", 100},
        {"host", "String", 50},      {"port", "Word", 0},              {"proto", "String", 4},
        {"login", "String", 50},     {"password", "String", 50},       {"authtype", "String", 5},
        {"smtp_host", "String", 50}, {"smtp_host_port", "Word", 0},    {"email", "String", 100},
    };
    TStoredRow row{7, {std::int64_t{3}, std::int64_t{1}, std::string("Home"), std::string("pop.example.test"),
                       std::int64_t{995}, std::string("POP3"), std::string("anna"), std::string("\x01secret"),
                       std::string("Login"), std::string("smtp.example.test"), std::int64_t{587},
                       std::string("anna@example.test")}};
    {
        TTableFile file("accounts.dat");
        ASSERT_TRUE(file.Write(oldLayout, {&row}, {}, 4)) << file.LastError();
    }

    TDM dm;
    dm.LoadStore();
    EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    EXPECT_FALSE(std::filesystem::exists("accounts.dat.damaged"));
    TTable& a = dm.cdsAccounts;
    a.SetMaster(nullptr, "", "");
    ASSERT_EQ(a.RecordCount(), 1);
    EXPECT_EQ(a.AsInteger("id"), 3);
    EXPECT_EQ(a.AsString("description"), "Home");
    EXPECT_EQ(a.AsInteger("port"), 995);
    EXPECT_EQ(a.AsString("password"), "\x01secret");
    EXPECT_EQ(a.AsInteger("smtp_host_port"), 587);
    EXPECT_EQ(a.AsString("email"), "anna@example.test");
    EXPECT_EQ(a.AsString("security"), "auto");
    EXPECT_EQ(a.AsString("smtp_security"), "auto");
    EXPECT_FALSE(a.AsBoolean("tls_used"));
    EXPECT_FALSE(a.AsBoolean("smtp_tls_used"));
    EXPECT_EQ(a.AsString("trusted_cert"), "");

    // The next account continues the old numbering, and the file keeps both.
    a.Append();
    a.SetValue("identity", std::int64_t{1});
    a.SetValue("login", std::string("bob"));
    a.SetValue("email", std::string("bob@example.test"));
    a.Post();
    EXPECT_EQ(a.AsInteger("id"), 4);
    TDM again;
    again.LoadStore();
    again.cdsAccounts.SetMaster(nullptr, "", "");
    EXPECT_EQ(again.cdsAccounts.RecordCount(), 2);
}

}  // namespace
