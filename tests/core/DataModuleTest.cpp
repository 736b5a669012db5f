#include "core/DataModule.h"
#include "data/TTableError.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class TDMStoreTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};

    static std::unique_ptr<TDM> Start() {
        auto dm = std::make_unique<TDM>();
        dm->LoadStore();
        return dm;
    }

    static void AddIdentity(TDM& dm, const std::string& name) {
        dm.cdsIdentities.Append();
        dm.cdsIdentities.SetValue("username", name);
        dm.cdsIdentities.Post();
    }

    static void AddAccount(TDM& dm, const std::string& description, const std::string& proto = "POP3",
                           const std::string& host = "pop.example.org") {
        auto& a = dm.cdsAccounts;
        a.Append();
        a.SetValue("description", description);
        a.SetValue("proto", proto);
        a.SetValue("host", host);
        a.SetValue("login", std::string("user"));
        a.SetValue("email", std::string("user@example.org"));
        a.Post();
    }

    static std::vector<std::string> Column(TTable& t, const std::string& field) {
        std::vector<std::string> values;
        for (t.First(); !t.Eof(); t.Next()) values.push_back(t.AsString(field));
        return values;
    }
};

TEST_F(TDMStoreTest, NewAccountGetsTheDefaults) {
    auto dm = Start();
    AddIdentity(*dm, "me");
    auto& a = dm->cdsAccounts;
    a.Append();
    EXPECT_EQ(a.AsString("proto"), "POP3");
    EXPECT_EQ(a.AsString("authtype"), "Login");
    EXPECT_EQ(a.AsInteger("port"), 110);
    EXPECT_EQ(a.AsInteger("smtp_host_port"), 25);
    EXPECT_EQ(a.AsString("description"), "<New account>");
    EXPECT_EQ(a.AsInteger("identity"), dm->cdsIdentities.AsInteger("id"));
}

TEST_F(TDMStoreTest, AolAccountsKeepTheServiceHost) {
    struct Case {
        const char* proto;
        const char* expectedHost;
    } cases[] = {{"AOL", TDM::kAolHost}, {"aol", "typed.example"}, {"POP3", "typed.example"}};
    auto dm = Start();
    AddIdentity(*dm, "me");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.proto);
        AddAccount(*dm, "acc", c.proto, "typed.example");
        EXPECT_EQ(dm->cdsAccounts.AsString("host"), c.expectedHost);
        dm->cdsAccounts.Edit();
        dm->cdsAccounts.SetValue("host", std::string("typed.example"));
        dm->cdsAccounts.Post();
        EXPECT_EQ(dm->cdsAccounts.AsString("host"), c.expectedHost);
    }
}

TEST_F(TDMStoreTest, AccountWithoutARequiredValueIsRefusedByName) {
    auto dm = Start();
    AddIdentity(*dm, "me");
    auto& a = dm->cdsAccounts;
    a.Append();
    a.SetValue("email", std::string("x@example.org"));
    try {
        a.Post();
        FAIL();
    } catch (const TTableError& e) {
        EXPECT_NE(std::string(e.what()).find("'login'"), std::string::npos) << e.what();
    }
    EXPECT_EQ(a.State(), TTable::TState::Insert);
}

TEST_F(TDMStoreTest, AccountsFollowTheCurrentIdentity) {
    auto dm = Start();
    AddIdentity(*dm, "alice");
    AddAccount(*dm, "alice work");
    AddAccount(*dm, "alice home");
    AddIdentity(*dm, "bob");
    AddAccount(*dm, "bob only");
    AddIdentity(*dm, "carol");
    EXPECT_TRUE(dm->cdsAccounts.IsEmpty());
    dm.reset();

    dm = Start();
    auto& ids = dm->cdsIdentities;
    ASSERT_TRUE(ids.Locate("username", std::string("alice")));
    EXPECT_EQ(Column(dm->cdsAccounts, "description"), (std::vector<std::string>{"alice work", "alice home"}));
    ids.Locate("username", std::string("bob"));
    EXPECT_EQ(Column(dm->cdsAccounts, "description"), std::vector<std::string>{"bob only"});
    ids.Locate("username", std::string("carol"));
    EXPECT_TRUE(dm->cdsAccounts.IsEmpty());
}

TEST_F(TDMStoreTest, BlankListEntriesAreRefusedWithAQuestion) {
    auto dm = Start();
    for (TTable* list : {&dm->cdsFriends, &dm->cdsBlackList}) {
        SCOPED_TRACE(list->Name());
        ui.messages.clear();
        list->Append();
        list->SetValue("name", std::string(" "));
        EXPECT_FALSE(list->Post());
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "Please enter value!");
        EXPECT_EQ(ui.messages[0].caption, "");
        EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Question);
        EXPECT_EQ(list->State(), TTable::TState::Insert);
        list->SetValue("name", std::string("  Bob@Example.org \t"));
        EXPECT_TRUE(list->Post());
        EXPECT_EQ(list->AsString("name"), "  Bob@Example.org \t");
    }
}

TEST_F(TDMStoreTest, RemovedFriendIsGoneAfterARestartWithoutAnotherPost) {
    {
        auto dm = Start();
        for (const char* name : {"a@x.org", "b@x.org", "c@x.org"}) {
            dm->cdsFriends.Append();
            dm->cdsFriends.SetValue("name", std::string(name));
            dm->cdsFriends.Post();
        }
    }
    {
        auto dm = Start();
        ASSERT_TRUE(dm->cdsFriends.Locate("name", std::string("b@x.org")));
        dm->cdsFriends.Delete();
    }
    auto dm = Start();
    EXPECT_EQ(Column(dm->cdsFriends, "name"), (std::vector<std::string>{"a@x.org", "c@x.org"}));
}

TEST_F(TDMStoreTest, BoxesHaveTheirLayoutsAndIndexes) {
    auto dm = Start();
    std::vector<std::string> stored;
    for (const auto& f : dm->cdsDelBox.Fields()) stored.push_back(f.name);
    EXPECT_EQ(stored.back(), "Prichina");
    EXPECT_EQ(dm->cdsDelBox.FieldDef("idaction").displayLabel, "Action");
    EXPECT_TRUE(dm->cdsDelBox.FieldDef("idaction").visible);
    EXPECT_FALSE(dm->cdsInBox.FieldDef("idaction").visible);
    EXPECT_EQ(dm->cdsInBox.IndexName(), "id_asc");
    EXPECT_TRUE(dm->cdsDelBox.HasIndex("Prichina_desc"));
    EXPECT_FALSE(dm->cdsInBox.HasIndex("Prichina_desc"));

    auto& box = dm->cdsInBox;
    for (const char* from : {"bob", "ann", "cid"}) {
        box.Append();
        box.SetValue("from", std::string(from));
        box.Post();
    }
    EXPECT_FALSE(box.AsBoolean("Selected"));
    box.SetIndexName("from_asc");
    EXPECT_EQ(Column(box, "from"), (std::vector<std::string>{"ann", "bob", "cid"}));
    box.SetIndexName("from_desc");
    EXPECT_EQ(Column(box, "from"), (std::vector<std::string>{"cid", "bob", "ann"}));
    dm->cdsDelBox.Append();
    EXPECT_EQ(dm->cdsDelBox.AsInteger("idaction"), 0);
    EXPECT_TRUE(dm->cdsDelBox.IsNull("Selected"));
}

TEST_F(TDMStoreTest, DamagedFileIsKeptAsideAndTheUserTold) {
    WriteFile(home.File("friends.dat"), "not a table");
    auto dm = Start();
    EXPECT_TRUE(dm->cdsFriends.IsEmpty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("friends.dat.damaged"), std::string::npos);
    EXPECT_EQ(ReadFile(home.File("friends.dat.damaged")), "not a table");
    dm->cdsFriends.Append();
    dm->cdsFriends.SetValue("name", std::string("a@x.org"));
    EXPECT_TRUE(dm->cdsFriends.Post());
    dm.reset();
    EXPECT_EQ(Column(Start()->cdsFriends, "name"), std::vector<std::string>{"a@x.org"});
}

}  // namespace
