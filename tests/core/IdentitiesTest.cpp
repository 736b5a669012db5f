#include "core/DataModule.h"
#include "core/IdentityChooser.h"
#include "core/Scramble.h"
#include "core/DialogUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using TResult = TIdentityChooser::TResult;

class TIdentitiesTest : public ::testing::Test {
protected:
    TTempHome home;
    TDialogUserInterface ui;
    TUserInterfaceScope scope{ui};
    std::unique_ptr<TDM> dm = Start();

    static std::unique_ptr<TDM> Start() {
        auto dm = std::make_unique<TDM>();
        dm->DataModuleCreate();
        return dm;
    }
    void Restart() {
        dm.reset();
        dm = Start();
    }

    // An identity as the new-identity dialog makes it.
    void Identity(const std::string& name, const std::string& password = "", bool autoLogin = false) {
        ASSERT_TRUE(dm->CreateIdentity(name, password));
        if (autoLogin) {
            dm->cdsIdentities.Edit();
            dm->cdsIdentities.SetValue("AutoLogin", true);
            dm->cdsIdentities.Post();
        }
    }
    void Account(const std::string& description) {
        auto& a = dm->cdsAccounts;
        a.Append();
        a.SetValue("description", description);
        a.SetValue("login", std::string("user"));
        a.SetValue("email", std::string("user@example.org"));
        a.Post();
    }
    bool Flag(const std::string& name, const char* field) {
        const auto value = dm->cdsIdentities.Lookup("username", name, field);
        return std::holds_alternative<bool>(value) && std::get<bool>(value);
    }
    int Marked(const char* field) {
        int n = 0;
        for (dm->cdsIdentities.First(); !dm->cdsIdentities.Eof(); dm->cdsIdentities.Next())
            n += dm->cdsIdentities.AsBoolean(field);
        return n;
    }
    void Login() { dm->Actions["Login"].Execute(); }
};

TEST_F(TIdentitiesTest, AutoLoginSignsInWithoutTheDialogAndBecomesTheDefault) {
    Identity("anna", "pw1");
    Identity("bert", "pw2", true);
    Restart();
    ASSERT_TRUE(dm->AutoLoginFound);
    Login();
    EXPECT_EQ(ui.choosersShown, 0);
    EXPECT_FALSE(dm->NotLoggedIn);
    EXPECT_EQ(dm->CurrentUserName, "bert");
    EXPECT_EQ(dm->cdsIdentities.AsString("username"), "bert");
    EXPECT_TRUE(Flag("bert", "default"));
    EXPECT_EQ(Marked("default"), 1);
    ASSERT_FALSE(ui.captions.empty());
    EXPECT_NE(ui.captions.back().find("     User: bert    Last check: "), std::string::npos) << ui.captions.back();
}

TEST_F(TIdentitiesTest, AutoLoginTwiceLeavesNoIdentityMarked) {
    Identity("anna");
    Identity("bert");
    dm->Actions["AutoLogin"].Execute();
    EXPECT_TRUE(Flag("bert", "AutoLogin"));
    dm->cdsIdentities.Locate("username", std::string("anna"));
    dm->Actions["AutoLogin"].Execute();
    EXPECT_TRUE(Flag("anna", "AutoLogin"));
    EXPECT_EQ(Marked("AutoLogin"), 1);
    dm->cdsIdentities.Locate("username", std::string("anna"));
    dm->Actions["AutoLogin"].Execute();
    EXPECT_EQ(Marked("AutoLogin"), 0);
    Restart();
    EXPECT_FALSE(dm->AutoLoginFound);
}

TEST_F(TIdentitiesTest, WrongPasswordsAreAnsweredThreeTimesAndTheFourthCancels) {
    struct Case {
        int wrong;
        bool rightAfter;
        bool signedIn;
        int messages;
    } cases[] = {{0, true, true, 0}, {3, true, true, 3}, {4, true, false, 3}, {4, false, false, 3}};
    Identity("anna", "Secret");
    Restart();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wrong << " wrong");
        ui.messages.clear();
        dm->NotLoggedIn = true;
        std::vector<std::string> typed(c.wrong, "secret");  // letter case counts
        if (c.rightAfter) typed.push_back("Secret");
        ui.choosers.push_back(TDialogUserInterface::Typing("anna", typed));
        Login();
        EXPECT_EQ(dm->NotLoggedIn, !c.signedIn);
        EXPECT_EQ(dm->CurrentUserName, c.signedIn ? "anna" : "");
        EXPECT_EQ(dm->CurrentIdentityId, c.signedIn ? dm->cdsIdentities.AsInteger("id") : 0);
        EXPECT_EQ(ui.MessagesWithText("Please enter valid identity password"), c.messages);
        if (c.messages) {
            EXPECT_EQ(ui.messages[0].caption, "Invalid password");
        }
    }
}

TEST_F(TIdentitiesTest, IdentityWithoutPasswordTakesOnlyTheEmptyOne) {
    Identity("anna");
    Identity("bert", "   ");  // blank: no password at all
    Restart();
    TIdentityChooser chooser(*dm);
    chooser.Show();
    EXPECT_FALSE(chooser.CanContinue());  // no default yet: nothing chosen
    for (const char* name : {"anna", "bert"}) {
        SCOPED_TRACE(name);
        chooser.Show();
        ASSERT_TRUE(chooser.Select(name));
        EXPECT_TRUE(chooser.CanContinue());
        EXPECT_EQ(chooser.Continue("x"), TResult::WrongPassword);
        EXPECT_EQ(chooser.Continue(" "), TResult::WrongPassword);
        EXPECT_EQ(chooser.Continue(""), TResult::Accepted);
    }
    EXPECT_EQ(dm->cdsIdentities.AsString("password"), "");
    EXPECT_FALSE(chooser.Select("Anna"));
    EXPECT_FALSE(chooser.CanContinue());
}

TEST_F(TIdentitiesTest, ChooserPreselectsTheDefaultIdentity) {
    Identity("anna");
    Identity("bert");
    dm->Actions["DefaultIdentity"].Execute();
    dm->cdsIdentities.First();
    TIdentityChooser chooser(*dm);
    chooser.Show();
    EXPECT_EQ(chooser.Names(), (std::vector<std::string>{"anna", "bert"}));
    EXPECT_EQ(chooser.SelectedName(), "bert");
    EXPECT_EQ(dm->cdsIdentities.AsString("username"), "bert");
    EXPECT_FALSE(dm->Actions["DefaultIdentity"].Update());
}

TEST_F(TIdentitiesTest, NewIdentityFromTheChooserIsSignedIn) {
    Identity("anna", "pw");
    ui.newIdentities.push_back(TNewIdentity{"carl", "carls pw"});
    ui.choosers.push_back([](TIdentityChooser& c) { return c.NewIdentity(); });
    Login();
    EXPECT_FALSE(dm->NotLoggedIn);
    EXPECT_EQ(dm->CurrentUserName, "carl");
    EXPECT_TRUE(dm->IdentityPasswordMatches("carls pw"));
    Restart();
    ASSERT_TRUE(dm->cdsIdentities.Locate("username", std::string("carl")));
    EXPECT_TRUE(Flag("carl", "default"));
    EXPECT_EQ(dm->cdsIdentities.AsString("password")[0], kScrambledPasswordMark);
    EXPECT_TRUE(dm->IdentityPasswordMatches("carls pw"));
}

TEST_F(TIdentitiesTest, NewIdentityChecksTellWhatIsWrongAndStoreNothing) {
    Identity("anna");
    struct Case {
        std::string name, password, repeat, message;
    } cases[] = {
        {"", "a", "a", "User name is empty"},
        {"bert", "a", "b", "Passwords does not match"},
        {"anna", "", "", "An identity with this user name exists already."},
        {std::string(101, 'n'), "", "", "The user name is too long."},
        // Kept whole beside its marker are 19 characters, no more.
        {"bert", std::string(20, 'p'), std::string(20, 'p'), "The password is longer than 19 characters."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ui.messages.clear();
        EXPECT_FALSE(dm->CheckNewIdentity(c.name, c.password, c.repeat));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.message);
        EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
    }
    EXPECT_FALSE(dm->CreateIdentity("bert", std::string(20, 'p')));
    EXPECT_EQ(dm->cdsIdentities.RecordCount(), 1);
    ASSERT_TRUE(dm->CreateIdentity("bert", std::string(19, 'p')));
    Restart();
    dm->cdsIdentities.Locate("username", std::string("bert"));
    EXPECT_TRUE(dm->IdentityPasswordMatches(std::string(19, 'p')));
}

TEST_F(TIdentitiesTest, DeletingTheOnlyIdentityAndLeavingTheDialogEndsTheProgram) {
    Identity("anna");
    ui.choosers.push_back(TDialogUserInterface::Typing("anna", {""}));
    Login();
    ASSERT_FALSE(dm->NotLoggedIn);
    ui.answers.push_back(TMsgResult::Yes);
    dm->Actions["DeleteIdentity"].Execute();
    EXPECT_EQ(ui.messages.back().text, "Are you sure?");
    EXPECT_EQ(ui.messages.back().caption, "Delete Identities");
    EXPECT_EQ(ui.choosersShown, 2);
    EXPECT_TRUE(ui.mainWindowClosed);
    EXPECT_TRUE(dm->NotLoggedIn);
    Restart();
    EXPECT_TRUE(dm->cdsIdentities.IsEmpty());
}

TEST_F(TIdentitiesTest, DeletingAndChoosingAnotherSignsThatOneIn) {
    Identity("anna");
    Identity("bert", "b");
    ui.answers.push_back(TMsgResult::No);
    dm->Actions["DeleteIdentity"].Execute();
    EXPECT_EQ(dm->cdsIdentities.RecordCount(), 2);
    ui.answers.push_back(TMsgResult::Yes);
    ui.choosers.push_back(TDialogUserInterface::Typing("anna", {""}));
    dm->Actions["DeleteIdentity"].Execute();  // bert is current
    EXPECT_FALSE(ui.mainWindowClosed);
    EXPECT_FALSE(dm->NotLoggedIn);
    EXPECT_EQ(dm->CurrentUserName, "anna");
    EXPECT_EQ(dm->cdsIdentities.RecordCount(), 1);
}

TEST_F(TIdentitiesTest, LeavingChangeIdentitiesKeepsTheSignedInIdentity) {
    Identity("anna", "a");
    Account("anna's");
    Identity("bert", "b");
    Account("bert's");
    ui.choosers.push_back(TDialogUserInterface::Typing("anna", {"a"}));
    Login();
    const auto anna = dm->CurrentIdentityId;
    ASSERT_EQ(dm->CurrentUserName, "anna");
    // Cancelled after choosing bert, and through a fourth wrong password.
    ui.choosers.push_back(TDialogUserInterface::Typing("bert", {}));
    ui.choosers.push_back(TDialogUserInterface::Typing("bert", {"x", "x", "x", "x"}));
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        dm->Actions["ChangeIdentities"].Execute();
        EXPECT_FALSE(dm->NotLoggedIn);
        EXPECT_EQ(dm->CurrentIdentityId, anna);
        EXPECT_EQ(dm->CurrentUserName, "anna");
        EXPECT_EQ(dm->cdsIdentities.AsString("username"), "anna");
        ASSERT_EQ(dm->cdsAccounts.RecordCount(), 1);
        EXPECT_EQ(dm->cdsAccounts.AsString("description"), "anna's");
    }
    ui.choosers.push_back(TDialogUserInterface::Typing("bert", {"b"}));
    dm->Actions["ChangeIdentities"].Execute();
    EXPECT_EQ(dm->CurrentUserName, "bert");
    EXPECT_EQ(dm->cdsAccounts.AsString("description"), "bert's");
    EXPECT_TRUE(Flag("bert", "default"));
    EXPECT_FALSE(Flag("anna", "default"));
}

TEST_F(TIdentitiesTest, CancelAtStartLeavesNobodySignedIn) {
    Identity("anna", "a");
    Restart();
    ui.choosers.push_back([](TIdentityChooser& c) {
        c.Select("anna");
        return true;  // a window that closes "accepted" without the password
    });
    Login();
    EXPECT_TRUE(dm->NotLoggedIn);
    EXPECT_EQ(dm->CurrentIdentityId, 0);
    EXPECT_EQ(dm->CurrentUserName, "");
    EXPECT_FALSE(Flag("anna", "default"));
}

TEST_F(TIdentitiesTest, ChangePasswordStoresOnlyAMatchingNonBlankOne) {
    Identity("anna", "old");
    struct Case {
        std::optional<std::string> typed;
        const char* works;
    } cases[] = {{std::nullopt, "old"}, {"  ", "old"}, {std::string(20, 'x'), "old"}, {"new", "new"}};
    for (const auto& c : cases) {
        ui.newPasswords.push_back(c.typed);
        dm->Actions["ChangePassword"].Execute();
        Restart();
        dm->cdsIdentities.First();
        EXPECT_TRUE(dm->IdentityPasswordMatches(c.works)) << c.works;
    }
    EXPECT_EQ(dm->cdsIdentities.AsString("password")[0], kScrambledPasswordMark);
    EXPECT_FALSE(TDM::CheckChangePassword("a", "b"));
    EXPECT_EQ(ui.messages.back().text, "Passwords doesnt match");
    EXPECT_TRUE(TDM::CheckChangePassword("a", "a"));
}

TEST_F(TIdentitiesTest, PlainStoredPasswordsAreScrambledAtStart) {
    auto& ids = dm->cdsIdentities;
    ids.Append();
    ids.SetValue("username", std::string("anna"));
    ids.SetValue("password", std::string("plain"));
    ids.Post();
    auto& acc = dm->cdsAccounts;
    acc.Append();
    acc.SetValue("description", std::string("a"));
    acc.SetValue("login", std::string("mailuser"));
    acc.SetValue("email", std::string("a@b"));
    acc.SetValue("password", std::string("\x03waiting"));  // marked by the settings dialog
    acc.Post();
    ids.Append();
    ids.SetValue("username", std::string("bert"));
    ids.SetValue("password", std::string(20, 'l'));  // no room for the marker
    ids.Post();
    Restart();
    auto& ids2 = dm->cdsIdentities;
    ids2.Locate("username", std::string("anna"));
    EXPECT_EQ(ids2.AsString("password")[0], kScrambledPasswordMark);
    EXPECT_TRUE(dm->IdentityPasswordMatches("plain"));
    EXPECT_EQ(TDM::ScramblePassword(dm->cdsAccounts.AsString("password"), "mailuser", false), "waiting");
    ids2.Locate("username", std::string("bert"));
    EXPECT_EQ(ids2.AsString("password"), std::string(20, 'l'));
    EXPECT_TRUE(dm->IdentityPasswordMatches(std::string(20, 'l')));
}

TEST_F(TIdentitiesTest, PlainPasswordOfAnAccountWithoutItsIdentityIsScrambledToo) {
    Identity("carl");
    auto& acc = dm->cdsAccounts;
    acc.Append();
    acc.SetValue("description", std::string("left behind"));
    acc.SetValue("login", std::string("orphan"));
    acc.SetValue("email", std::string("o@b"));
    acc.SetValue("password", std::string("plain"));
    acc.Post();
    // Deleting the identity leaves its accounts in the file.
    dm->cdsIdentities.Delete();
    ASSERT_TRUE(dm->cdsIdentities.Save());
    Restart();
    ASSERT_TRUE(dm->cdsIdentities.IsEmpty());
    dm->cdsAccounts.SetMaster(nullptr, "", "");
    ASSERT_TRUE(dm->cdsAccounts.Locate("login", std::string("orphan")));
    const std::string stored = dm->cdsAccounts.AsString("password");
    EXPECT_EQ(stored[0], kScrambledPasswordMark);
    EXPECT_EQ(TDM::ScramblePassword(stored, "orphan", false), "plain");
}

TEST_F(TIdentitiesTest, AddIdentityMakesTheOnlyOneTheDefault) {
    dm->Actions["AddIdentity"].Execute();
    EXPECT_EQ(dm->cdsIdentities.RecordCount(), 1);
    EXPECT_TRUE(dm->cdsIdentities.AsBoolean("default"));
    dm->Actions["AddIdentity"].Execute();
    EXPECT_FALSE(dm->cdsIdentities.AsBoolean("default"));
}

}  // namespace
