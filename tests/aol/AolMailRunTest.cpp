// Receive Mail and Process Mail on an "AOL" account, against the web-mail site
// of the tests.
#include "aol/WebmailSite.h"
#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/Scramble.h"
#include "filtering/dmfilters.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

using TLines = std::vector<std::string>;

class TAolMailRunTest : public ::testing::Test {
protected:
    TTempHome home;
    TWebmailSite site{home.File("site")};
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;
    std::unique_ptr<TFilterDM> filters;
    TComplaintForm complaint;
    std::unique_ptr<TMailCommands> commands;

    void SetUp() override {
        ASSERT_TRUE(site.Running());
        site.PointHomeHere(home.Path());
        dm.LoadStore();
        filters = std::make_unique<TFilterDM>();
        ASSERT_TRUE(dm.CreateIdentity("me", ""));
        dm.NotLoggedIn = false;
        dm.CurrentIdentityId = dm.cdsIdentities.AsInteger("id");
        commands = std::make_unique<TMailCommands>(dm, complaint, filters.get());
        AddAolAccount();
        dm.cdsBlackList.Append();
        dm.cdsBlackList.SetValue("name", std::string("spam.test"));
        dm.cdsBlackList.Post();
    }

    void AddAolAccount() {
        auto& a = dm.cdsAccounts;
        a.Append();
        a.SetValue("description", std::string("Web mail"));
        a.SetValue("proto", std::string("AOL"));
        a.SetValue("login", std::string("anna"));
        a.SetValue("password", ScramblePassword(kPlainPasswordMark + std::string("secret"), "anna", true));
        a.SetValue("email", std::string("anna@aol.test"));
        a.Post();
    }

    static TLines Column(TTable& box, const std::string& field) {
        TLines values;
        for (box.First(); !box.Eof(); box.Next()) values.push_back(box.AsString(field));
        return values;
    }
};

TEST_F(TAolMailRunTest, ScanSortsTheFiveAndProcessDeletesExactlyTheDelBoxInOnePost) {
    site.AddMessage("m1", TWebmailSite::Pre,
                    {"From: \"Anna Smith\" <anna@friends.test>", "Subject: Lunch <today> & 'tomorrow'",
                     "Received: from mx.friends.test", "\tby mail.aol.test", "Date: Tue, 3 Jun 2003 10:00:00 +0200"});
    site.AddMessage("m2", TWebmailSite::Table, {"From: Bob <bob@spam.test>", "Subject: Cheap & fast"});
    site.AddMessage("m3", TWebmailSite::Pre, {"From: carol@friends.test", "Subject: three"});
    site.AddMessage("m4", TWebmailSite::Table, {"From: dave@spam.test", "Subject: four"});
    site.AddMessage("m5", TWebmailSite::Pre, {"From: erin@friends.test", "Subject: five"});

    commands->ReceiveIdentityMailExecute();

    EXPECT_TRUE(commands->AccountProblems().empty()) << commands->AccountProblems()[0].reason;
    EXPECT_EQ(Column(dm.cdsInBox, "subject"), (TLines{"Lunch <today> & 'tomorrow'", "three", "five"}));
    EXPECT_EQ(Column(dm.cdsInBox, "messagenum"), (TLines{"1", "3", "5"}));
    dm.cdsInBox.First();
    EXPECT_NE(dm.cdsInBox.AsString("header").find("Received: from mx.friends.test\r\n\tby mail.aol.test\r\n"),
              std::string::npos);
    EXPECT_EQ(Column(dm.cdsDelBox, "subject"), (TLines{"Cheap & fast", "four"}));
    EXPECT_EQ(Column(dm.cdsDelBox, "Prichina"), (TLines{"Contains in BlackList", "Contains in BlackList"}));
    EXPECT_EQ(site.MessageIds().size(), 5u);

    commands->DoProcessMail();

    EXPECT_TRUE(dm.cdsDelBox.IsEmpty());
    for (const auto& outcome : commands->ProcessOutcomes()) EXPECT_TRUE(outcome.deleted) << outcome.note;
    EXPECT_EQ(site.RequestsWith("POST ").size(), 1u);
    EXPECT_EQ(site.MessageIds(), (TLines{"m1", "m3", "m5"}));
}

// Another client deleted message 2 between the scan and Process Mail: the
// places of the scan now name other messages.
TEST_F(TAolMailRunTest, AMessageGoneBeforeProcessingIsNotDeletedAndTheOthersAre) {
    site.AddMessage("m1", TWebmailSite::Pre, {"From: ham@friends.test", "Subject: ham one"});
    site.AddMessage("m2", TWebmailSite::Pre, {"From: x@spam.test", "Subject: spam two"});
    site.AddMessage("m3", TWebmailSite::Table, {"From: y@spam.test", "Subject: spam three"});
    site.AddMessage("m4", TWebmailSite::Pre, {"From: ham@friends.test", "Subject: ham four"});
    commands->ReceiveIdentityMailExecute();
    ASSERT_EQ(Column(dm.cdsDelBox, "subject"), (TLines{"spam two", "spam three"}));
    site.RemoveMessage("m2");

    commands->DoProcessMail();

    EXPECT_EQ(site.MessageIds(), (TLines{"m1", "m4"}));
    EXPECT_EQ(Column(dm.cdsDelBox, "subject"), (TLines{"spam two"}));
    const auto& outcomes = commands->ProcessOutcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].messagenum, 2);
    EXPECT_FALSE(outcomes[0].deleted);
    EXPECT_EQ(outcomes[0].note, "the message changed on the server");
    EXPECT_TRUE(outcomes[1].deleted) << outcomes[1].note;
}

}  // namespace
