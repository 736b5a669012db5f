// The rules of the InBox and DelBox views, without widgets.
#include "complaints/ComplaintForm.h"
#include "core/BoxView.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

class TBoxViewTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;
    TComplaintForm complaint;
    std::unique_ptr<TMailCommands> commands;
    std::unique_ptr<TBoxView> inBox, delBox;
    std::int64_t first = 0, second = 0;

    void SetUp() override {
        dm.LoadStore();
        ASSERT_TRUE(dm.CreateIdentity("me", ""));
        dm.NotLoggedIn = false;
        dm.CurrentIdentityId = dm.cdsIdentities.AsInteger("id");
        commands = std::make_unique<TMailCommands>(dm, complaint, nullptr);
        inBox = std::make_unique<TBoxView>(dm, TBoxView::TKind::InBox);
        delBox = std::make_unique<TBoxView>(dm, TBoxView::TKind::DelBox);
        first = AddAccount("Home");
        second = AddAccount("Work");
    }

    std::int64_t AddAccount(const std::string& description) {
        auto& a = dm.cdsAccounts;
        a.Append();
        a.SetValue("description", description);
        a.SetValue("host", std::string("pop.example.test"));
        a.SetValue("login", std::string("me"));
        a.SetValue("email", std::string("me@example.test"));
        a.Post();
        return a.AsInteger("id");
    }

    void AddRow(TTable& box, const std::string& from, const std::string& subject, std::int64_t account) {
        box.Append();
        box.SetValue("from", from);
        box.SetValue("fromaddress", from.substr(from.find('<') + 1, from.find('>') - from.find('<') - 1));
        box.SetValue("subject", subject);
        box.SetValue("idaccount", account);
        box.SetValue("messagenum", std::int64_t{box.RecordCount() + 1});
        box.SetValue("uid", "uid:" + subject);
        box.Post();
    }

    void Fill(int rows) {
        for (int i = 1; i <= rows; ++i)
            AddRow(dm.cdsInBox, "Sender " + std::to_string(i) + " <s" + std::to_string(i) + "@x.test>",
                   "message " + std::to_string(i), i % 2 ? first : second);
        dm.cdsInBox.First();
    }

    void Tick(int recNo) {
        dm.cdsInBox.SetRecNo(recNo);
        inBox->ToggleCurrent();
    }

    std::vector<std::string> Subjects(TTable& box) {
        std::vector<std::string> subjects;
        for (int recNo = 1; recNo <= box.RecordCount(); ++recNo)
            subjects.push_back(std::get<std::string>(box.ValueAt(recNo, box.FieldIndex("subject"))));
        return subjects;
    }
};

// What may be done with 0 and with 2 ticked rows, with and without a running scan.
TEST_F(TBoxViewTest, AvailabilityFollowsTicksAndScans) {
    struct {
        int ticked;
        bool idle;
        bool single, batch, move;
    } cases[] = {
        {0, true, true, false, true},
        {2, true, false, true, true},
        {0, false, false, false, false},
        {2, false, false, true, false},
    };
    Fill(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.ticked) + (c.idle ? " ticked, idle" : " ticked, scanning"));
        inBox->UnSelectAll();
        for (int i = 1; i <= c.ticked; ++i) Tick(i);
        dm.Idle = c.idle;
        commands->EnableActions(c.idle);
        inBox->DataChanged();
        EXPECT_EQ(dm.Actions["RetrieveBody"].Update(), c.single);
        EXPECT_EQ(dm.Actions["Complain"].Update(), c.single);
        EXPECT_EQ(inBox->Actions["SendErrorMsg"].Enabled(), c.batch);
        EXPECT_EQ(inBox->Actions["Move2DelBox"].Enabled(), c.move);
        EXPECT_EQ(inBox->Actions["SelectAll"].Enabled(), c.move);
    }
    dm.Idle = true;
}

TEST_F(TBoxViewTest, TicksAndTheirCount) {
    Fill(5);
    Tick(2);
    Tick(2);
    EXPECT_EQ(inBox->SelectedCount, 0);
    Tick(2);
    dm.cdsInBox.SetRecNo(4);
    inBox->TickUpwards();  // 4 and 3, up to the ticked 2
    EXPECT_EQ(inBox->SelectedCount, 3);
    EXPECT_EQ(dm.cdsInBox.RecNo(), 4);
    inBox->TickUpwards();  // the current row is ticked already
    EXPECT_EQ(inBox->SelectedCount, 3);
    inBox->SelectAll();
    EXPECT_EQ(inBox->SelectedCount, 5);
    inBox->UnSelectAll();
    EXPECT_EQ(inBox->SelectedCount, 0);
    EXPECT_TRUE(dm.Actions["RetrieveBody"].Update());
}

// A moved message keeps what names it on its server, so Process Mail can delete it.
TEST_F(TBoxViewTest, MovesCarryTheMessageBothWays) {
    Fill(4);
    dm.cdsInBox.SetRecNo(3);
    inBox->MoveRows();
    EXPECT_EQ(Subjects(dm.cdsDelBox), (std::vector<std::string>{"message 3"}));
    Tick(1);
    Tick(2);
    inBox->MoveRows();
    EXPECT_EQ(inBox->SelectedCount, 0);
    EXPECT_EQ(Subjects(dm.cdsInBox), (std::vector<std::string>{"message 4"}));
    TTable& del = dm.cdsDelBox;
    ASSERT_TRUE(del.Locate("subject", std::string("message 1")));
    EXPECT_EQ(del.AsString("Prichina"), "Moved from InBox");
    EXPECT_EQ(del.AsInteger("idaction"), 0);
    EXPECT_EQ(del.AsString("uid"), "uid:message 1");
    EXPECT_EQ(del.AsString("fromaddress"), "s1@x.test");
    EXPECT_FALSE(del.AsBoolean("Selected"));
    delBox->MoveRows();
    ASSERT_TRUE(dm.cdsInBox.Locate("subject", std::string("message 1")));
    EXPECT_EQ(dm.cdsInBox.AsString("uid"), "uid:message 1");
    EXPECT_FALSE(dm.cdsInBox.AsBoolean("Selected"));
}

TEST_F(TBoxViewTest, TitlesSortAndTabsShowOneAccount) {
    Fill(4);
    inBox->TitleClicked("from");
    EXPECT_EQ(dm.cdsInBox.IndexName(), "from_asc");
    inBox->TitleClicked("from");
    EXPECT_EQ(dm.cdsInBox.IndexName(), "from_desc");
    inBox->TitleClicked("subject");
    EXPECT_EQ(dm.cdsInBox.IndexName(), "subject_asc");

    AddAccount("Home");  // a repeated description names the first such account
    inBox->RebuildTabs();
    EXPECT_EQ(inBox->Tabs, (std::vector<std::string>{"All", "Home", "Work", "Home"}));
    Tick(1);
    inBox->TabChanged(3);
    EXPECT_EQ(Subjects(dm.cdsInBox).size(), 2u);
    EXPECT_EQ(inBox->SelectedCount, 1);
    inBox->TabChanged(2);
    EXPECT_EQ(Subjects(dm.cdsInBox), (std::vector<std::string>{"message 2", "message 4"}));
    EXPECT_EQ(inBox->SelectedCount, 0);
    inBox->TabChanged(0);
    EXPECT_EQ(Subjects(dm.cdsInBox).size(), 4u);
}

TEST_F(TBoxViewTest, SendersGoOnTheListsAfterTheQuestion) {
    AddRow(dm.cdsInBox, "A <same@x.test>", "one", first);
    AddRow(dm.cdsInBox, "A again <same@x.test>", "two", first);
    AddRow(dm.cdsInBox, "B <known@x.test>", "three", first);
    dm.cdsFriends.Append();
    dm.cdsFriends.SetValue("name", std::string("KNOWN@x.test"));
    dm.cdsFriends.Post();
    inBox->SelectAll();
    ui.answers = {TMsgResult::Yes};
    inBox->AddSendersTo(dm.cdsFriends, true);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Do you want to add e-mail addresses same@x.test, same@x.test to friends");
    EXPECT_EQ(dm.cdsFriends.RecordCount(), 3);

    inBox->UnSelectAll();
    dm.cdsInBox.SetRecNo(3);
    inBox->AddSendersTo(dm.cdsBlackList, false);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "Add follow e-mail addresses known@x.test in to Black List");
    EXPECT_EQ(dm.cdsBlackList.RecordCount(), 1);  // the first button, "Yes", answered
    inBox->AddSendersTo(dm.cdsBlackList, false);
    EXPECT_EQ(ui.messages.back().text, "No new e-mail addresses for add to Black List");
}

}  // namespace
