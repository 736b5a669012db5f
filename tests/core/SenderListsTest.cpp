// The friends list and the blacklist: their commands and the text exchange of
// copy, paste, import and export.
#include "complaints/ComplaintForm.h"
#include "core/BoxView.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/SenderLists.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(TTable& list) {
    std::vector<std::string> names;
    for (int recNo = 1; recNo <= list.RecordCount(); ++recNo)
        names.push_back(ValueToString(list.ValueAt(recNo, list.FieldIndex("name"))));
    return names;
}

class TSenderListsTest : public ::testing::TestWithParam<bool> {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;

    void SetUp() override { dm.LoadStore(); }
    bool Friends() const { return GetParam(); }
    TTable& List() { return Friends() ? dm.cdsFriends : dm.cdsBlackList; }
    const char* Add() const { return Friends() ? "AddFriends" : "AddBlackList"; }
    const char* Remove() const { return Friends() ? "FriendsRemove" : "BlackListRemove"; }
    void Fill(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            List().Append();
            List().SetValue("name", name);
            List().Post();
        }
    }
    // What the list's file holds, read by a module of its own.
    std::vector<std::string> Stored() {
        TDM other;
        other.LoadStore();
        return Names(Friends() ? other.cdsFriends : other.cdsBlackList);
    }
};

TEST(TextLines, SplitAtEveryKindOfLineEnd) {
    struct TCase {
        std::string text;
        std::vector<std::string> lines;
    };
    const TCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\n", {""}},
    };
    for (const TCase& c : cases) EXPECT_EQ(TextLines(c.text), c.lines) << c.text;
}

TEST_P(TSenderListsTest, PasteTakesTheFirstPieceOfEachLineTrimmed) {
    struct TCase {
        const char* what;
        std::string text;
        std::vector<std::string> added;
        bool refused;
    };
    const TCase cases[] = {
        {"two addresses on a line", "a@x.org, b@y.org\r\n", {"a@x.org"}, false},
        {"blanks around", "   a@x.org \t\r\n", {"a@x.org"}, false},
        {"line ends of every kind", "a@x.org\rb@x.org\nc@x.org", {"a@x.org", "b@x.org", "c@x.org"}, false},
        {"third line empty", "a@x.org\r\nb@x.org\r\n\r\nc@x.org\r\n", {"a@x.org", "b@x.org"}, true},
        {"starts with a comma", ",a@x.org\r\n", {}, true},
    };
    for (const TCase& c : cases) {
        List().EmptyTable();
        List().Save();
        ui.messages.clear();
        ui.clipboard = c.text;
        EXPECT_EQ(ImportGridRows(List(), false), static_cast<int>(c.added.size())) << c.what;
        EXPECT_EQ(Names(List()), c.added) << c.what;
        if (c.refused) {
            ASSERT_EQ(ui.messages.size(), 1u) << c.what;
            EXPECT_EQ(ui.messages[0].text, "Please enter value!");
            EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Question);
            // The refused row waits in edit mode for the user.
            EXPECT_EQ(List().State(), TTable::TState::Insert) << c.what;
            List().Cancel();
        } else {
            EXPECT_TRUE(ui.messages.empty()) << c.what;
        }
        EXPECT_EQ(Stored(), c.added) << c.what << ": every added row is saved as it goes";
    }
}

TEST_P(TSenderListsTest, ImportFromAFileStopsAtItsEmptyThirdLine) {
    WriteFile(home.File("list.txt"), "one@x.org\r\ntwo@x.org, Two\r\n\r\nfour@x.org\r\n");
    ui.fileAnswers = {std::nullopt, home.File("list.txt")};
    EXPECT_EQ(ImportGridRows(List(), true), 0) << "a cancelled dialog reads nothing";
    EXPECT_EQ(ImportGridRows(List(), true), 2);
    EXPECT_EQ(Names(List()), (std::vector<std::string>{"one@x.org", "two@x.org"}));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Please enter value!");

    ui.messages.clear();
    List().Cancel();
    ui.fileAnswers = {home.File("missing.txt")};
    EXPECT_EQ(ImportGridRows(List(), true), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("missing.txt"), std::string::npos);
}

TEST_P(TSenderListsTest, ExportAndCopyWriteTheSelectedRowsInListOrder) {
    Fill({"first@x.org", "second@x.org", "third@x.org"});
    ExportGridRows(List(), {3, 1}, false);
    EXPECT_EQ(ui.clipboard, "first@x.org\r\nthird@x.org\r\n");
    ui.fileAnswers = {home.File("out.txt"), home.File("empty.txt"), std::nullopt};
    ExportGridRows(List(), {3, 1}, true);
    EXPECT_EQ(ReadFile(home.File("out.txt")), "first@x.org\r\nthird@x.org\r\n");
    ExportGridRows(List(), {}, true);
    EXPECT_EQ(ReadFile(home.File("empty.txt")), "");
    ExportGridRows(List(), {1}, true);  // cancelled
    ExportGridRows(List(), {}, false);
    EXPECT_EQ(ui.clipboard, "");

    ui.fileAnswers = {home.Path() + "/no/such/folder/out.txt"};
    ExportGridRows(List(), {1}, true);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
}

// What Copy puts on the clipboard, ending with a line end, pastes without a complaint.
TEST_P(TSenderListsTest, CopiedRowsPasteIntoTheOtherList) {
    Fill({"a@x.org", "b@x.org"});
    ExportGridRows(List(), {1, 2}, false);
    TTable& other = Friends() ? dm.cdsBlackList : dm.cdsFriends;
    EXPECT_EQ(ImportGridRows(other, false), 2);
    EXPECT_EQ(Names(other), (std::vector<std::string>{"a@x.org", "b@x.org"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_P(TSenderListsTest, AddAndRemove) {
    TAction& add = dm.Actions[Add()];
    TAction& remove = dm.Actions[Remove()];
    EXPECT_FALSE(remove.Enabled()) << "nothing to remove";
    EXPECT_FALSE(remove.Execute());
    ASSERT_TRUE(add.Execute());
    EXPECT_EQ(List().State(), TTable::TState::Insert) << "the new row waits for the user's typing";
    List().SetValue("name", std::string("a@x.org"));
    ASSERT_TRUE(List().Post());
    EXPECT_TRUE(remove.Enabled());
    Fill({"b@x.org", "c@x.org"});
    List().SetRecNo(2);
    ASSERT_TRUE(remove.Execute());
    EXPECT_EQ(Names(List()), (std::vector<std::string>{"a@x.org", "c@x.org"})) << "one row, the current one";
    EXPECT_TRUE(ui.messages.empty()) << "no question";
    EXPECT_EQ(Stored(), Names(List())) << "a removal is written at once";

    // While a scan runs the list's changes leave Remove unavailable.
    dm.Idle = false;
    remove.SetEnabled(false);
    Fill({"d@x.org"});
    EXPECT_FALSE(remove.Enabled());
    dm.Idle = true;
    List().First();
    remove.Execute();
    remove.Execute();
    remove.Execute();
    EXPECT_TRUE(List().IsEmpty());
    EXPECT_FALSE(remove.Enabled());
}

INSTANTIATE_TEST_SUITE_P(BothLists, TSenderListsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Friends" : "BlackList"; });

// An address already a friend in another letter case is not new to the InBox's
// "Add to friends", but typed or pasted it is added a second time.
TEST(SenderListsFromTheInBox, AFriendInAnotherCaseIsSkippedButPastedTwice) {
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;
    dm.LoadStore();
    TComplaintForm complaint;
    TMailCommands commands(dm, complaint, nullptr);
    TBoxView inBox(dm, TBoxView::TKind::InBox);
    AddListAddresses({"anna@example.org"}, dm.cdsFriends);
    dm.cdsInBox.Append();
    dm.cdsInBox.SetValue("from", std::string("Anna <ANNA@Example.ORG>"));
    dm.cdsInBox.Post();
    inBox.AddSendersTo(dm.cdsFriends, true);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "No new e-mail addresses for adding to friend list");
    ui.clipboard = "ANNA@Example.ORG\r\n";
    EXPECT_EQ(ImportGridRows(dm.cdsFriends, false), 1);
    EXPECT_EQ(Names(dm.cdsFriends), (std::vector<std::string>{"anna@example.org", "ANNA@Example.ORG"}));
}

}  // namespace

// The blacklist as a scan asks it, message after message, while the user may
// change the list between two messages.
TEST(BlacklistMatcher, FollowsTheListAndStandsOnTheEntryThatMatched) {
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TDM dm;
    dm.LoadStore();
    TTable& list = dm.cdsBlackList;
    AddListAddresses({"spam-king.example", "KING.example", "lotto"}, list);
    TBlacklistMatcher matcher(list);
    struct TCase {
        const char* address;
        bool matches;
        const char* entryAfter;  // where the list stands afterwards
    };
    list.SetRecNo(3);  // "lotto"
    const TCase cases[] = {
        {"joe@friendly.example", false, "lotto"},  // no match leaves the user's row alone
        {"boss@Spam-King.EXAMPLE", true, "spam-king.example"},  // the first in list order, any case
        {"x@king.example", true, "KING.example"},
        {"", false, "KING.example"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(matcher.Matches(c.address), c.matches) << c.address;
        EXPECT_EQ(list.AsString("name"), c.entryAfter) << c.address;
    }

    // Entries removed, changed and added between two messages count at once.
    ASSERT_TRUE(list.Locate("name", std::string("spam-king.example")));
    list.Delete();
    EXPECT_EQ(matcher.Matches("boss@spam-king.example"), true) << "still held by KING.example";
    ASSERT_TRUE(list.Locate("name", std::string("KING.example")));
    list.Edit();
    list.SetValue("name", std::string("queen.example"));
    ASSERT_TRUE(list.Post());
    EXPECT_FALSE(matcher.Matches("boss@spam-king.example"));
    AddListAddresses({"Spam"}, list);
    EXPECT_TRUE(matcher.Matches("boss@spam-king.example"));
    EXPECT_EQ(list.AsString("name"), "Spam");
}
