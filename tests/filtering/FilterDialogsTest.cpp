// The rules of the filter dialogs and of the checked combo box, without widgets.
#include "filtering/CheckedList.h"
#include "filtering/FilterDialogs.h"
#include "support/FakeUserInterface.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kFieldNames = {"From", "To", "Subject", "Received", "Cc", "Comments", "Errors-To",
                                              "Message-Id", "Reply-To"};

class TCheckedListTest : public ::testing::Test {
protected:
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TCheckedList list;
    int changes = 0;
    void SetUp() override {
        list.OnChange = [this] { ++changes; };
        list.SetItems(kFieldNames);
    }
};

TEST_F(TCheckedListTest, TicksMakeTheTextInTheirOrder) {
    struct TCase {
        const char* what;
        std::vector<std::pair<int, bool>> ticks;  // index, checked
        std::string text;
        int count;
        std::string shown, shownSorted;
    };
    const TCase cases[] = {
        {"nothing", {}, "", 0, "<none>", "<none>"},
        {"checking order", {{2, true}, {0, true}}, "Subject,From", 2, "Subject,From", "From,Subject"},
        {"uncheck", {{2, true}, {0, true}, {2, false}}, "From", 1, "From", "From"},
        // Whole items: "To" is not taken for a part of "Reply-To".
        {"reply-to then to", {{8, true}, {1, true}}, "Reply-To,To", 2, "Reply-To,To", "To,Reply-To"},
        {"to then reply-to, to off", {{1, true}, {8, true}, {1, false}}, "Reply-To", 1, "Reply-To", "Reply-To"},
        {"past the end", {{20, true}, {-1, true}}, "", 0, "<none>", "<none>"},
    };
    for (const TCase& c : cases) {
        list.SetItems(kFieldNames);
        for (const auto& [index, checked] : c.ticks) list.SetItemChecked(index, checked);
        EXPECT_EQ(list.CheckedText(), c.text) << c.what;
        EXPECT_EQ(list.CheckedCount(), c.count) << c.what;
        list.SortDisplay = false;
        EXPECT_EQ(list.DisplayText(), c.shown) << c.what;
        list.SortDisplay = true;
        EXPECT_EQ(list.DisplayText(), c.shownSorted) << c.what;
        list.SortDisplay = false;
    }
    EXPECT_FALSE(list.ItemChecked(99));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TCheckedListTest, TheTextStaysBelow256Characters) {
    // Items of 50 characters: four with their commas make 203 characters, five 254.
    std::vector<std::string> items;
    for (char c = 'a'; c <= 'f'; ++c) items.push_back(std::string(50, c));
    items.push_back(std::string(1, 'g'));
    list.SetItems(items);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(list.SetItemChecked(i, true)) << i;
    EXPECT_EQ(list.CheckedText().size(), 254u);
    // 254 + "," + "g" = 256: refused, like the sixth long item.
    EXPECT_FALSE(list.SetItemChecked(6, true));
    EXPECT_FALSE(list.SetItemChecked(5, true));
    EXPECT_FALSE(list.ItemChecked(5));
    EXPECT_EQ(list.CheckedCount(), 5);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "There is no room for Selected");
    // Making room lets it in.
    list.SetItemChecked(0, false);
    EXPECT_TRUE(list.SetItemChecked(6, true));
}

TEST_F(TCheckedListTest, SelectAllAndDeselectAllAndNewItems) {
    list.SetItemChecked(4, true);
    list.SetItemChecked(0, true);
    changes = 0;
    list.SelectAll();
    EXPECT_EQ(list.CheckedText(), "From,To,Subject,Received,Cc,Comments,Errors-To,Message-Id,Reply-To");
    EXPECT_EQ(list.CheckedCount(), 9);
    EXPECT_GT(changes, 0);
    list.DeselectAll();
    EXPECT_EQ(list.CheckedCount(), 0);
    EXPECT_EQ(list.DisplayText(), "<none>");
    list.SetItemChecked(1, true);
    list.SetItems({"b", "a"});
    EXPECT_EQ(list.CheckedText(), "");
    EXPECT_FALSE(list.ItemChecked(0));
    list.Sorted = true;
    list.SetItems({"b", "a"});
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"a", "b"}));
}

TEST(CheckedListDropDown, LinesAndPlace) {
    struct TLines {
        int lines, columns, items, expected;
    };
    for (const TLines& c : std::initializer_list<TLines>{
             {4, 0, 13, 4}, {2, 0, 13, 4}, {12, 0, 13, 10}, {4, 2, 13, 7}, {4, 3, 40, 10}, {4, 2, 3, 4}, {4, 1, 13, 4}})
        EXPECT_EQ(TCheckedList::DropDownLines(c.lines, c.columns, c.items), c.expected)
            << c.lines << " " << c.columns << " " << c.items;
    // A list of 100 pixels under a box ending at y, on a screen ending at 800.
    EXPECT_FALSE(TCheckedList::OpensAbove(600, 100, 800));
    EXPECT_FALSE(TCheckedList::OpensAbove(680, 100, 800));
    EXPECT_TRUE(TCheckedList::OpensAbove(681, 100, 800));
}

TEST(FilterDialogRules, CategoryDialog) {
    EXPECT_FALSE(CategoryOkEnabled("Spam", -1));
    EXPECT_FALSE(CategoryOkEnabled(" \t ", 0));
    EXPECT_TRUE(CategoryOkEnabled(" Spam ", 0));
}

TEST(FilterDialogRules, RuleDialogState) {
    struct TCase {
        int fields, rule;
        const char* content;
        bool ok, contentEnabled;
    };
    // Rule positions: 0 "Contains", 7 "Does not end with", 8 "Is blank", 9 "Is missing", 10 "Is uppercase".
    const TCase cases[] = {
        {0, 0, "x", false, true}, {1, -1, "x", false, true}, {1, 0, "", false, true},  {1, 0, "x", true, true},
        {1, 7, "", false, true},  {1, 8, "", true, false},   {2, 9, "x", true, false}, {0, 9, "", false, true},
        {1, 10, "", true, false},
    };
    for (const TCase& c : cases) {
        const TRuleDialogState state = RuleDialogState(c.fields, c.rule, c.content);
        EXPECT_EQ(state.okEnabled, c.ok) << c.fields << " " << c.rule << " " << c.content;
        EXPECT_EQ(state.contentEnabled, c.contentEnabled) << c.fields << " " << c.rule << " " << c.content;
    }
}

TEST(FilterDialogRules, ARuleWithoutContentLosesContentAndCase) {
    TRuleDialogInput input;
    input.ruleNames = {"Contains", "Contains word", "Does not contain", "Equals", "Start with", "Does not start with",
                       "End with", "Does not end with", "Is blank", "Is missing", "Is uppercase"};
    const TRuleDialogResult missing = RuleDialogAnswer({"Subject"}, input, 9, "left over", true, false);
    EXPECT_EQ(missing.ruleName, "Is missing");
    EXPECT_EQ(missing.content, "");
    EXPECT_FALSE(missing.caseMatch);
    const TRuleDialogResult contains = RuleDialogAnswer({"From", "To"}, input, 0, "offer", true, true);
    EXPECT_EQ(contains.ruleName, "Contains");
    EXPECT_EQ(contains.content, "offer");
    EXPECT_TRUE(contains.caseMatch);
    EXPECT_TRUE(contains.asNew);
    EXPECT_EQ(contains.checkedFieldNames, (std::vector<std::string>{"From", "To"}));
}

}  // namespace
