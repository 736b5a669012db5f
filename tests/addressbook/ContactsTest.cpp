// The address book's texts: display names, e-mail lists, CSV titles and lines.
#include "addressbook/Contacts.h"

#include <gtest/gtest.h>

namespace {

using TList = std::vector<std::string>;

TEST(ContactsTest, DisplayNamesKeepTheirBlanks) {
    EXPECT_EQ(ContactDisplayName(1, "Anna", "", "Berg", "ab"), "Anna  Berg");
    EXPECT_EQ(ContactDisplayName(2, "Anna", "M", "Berg", "ab"), "Berg Anna M");
    EXPECT_EQ(ContactDisplayName(3, "Anna", "", "Berg", "ab"), "Berg, Anna ");
    EXPECT_EQ(ContactDisplayName(4, "Anna", "", "Berg", "ab"), "ab");
    EXPECT_EQ(ContactDisplayName(0, "Anna", "", "Berg", "ab"), "");
    EXPECT_EQ(ContactDisplayName(5, "Anna", "", "Berg", "ab"), "");
    EXPECT_EQ(ContactDisplayName(1, "", "", "", ""), "  ");
}

TEST(ContactsTest, AnEntryOfTheEmailList) {
    const std::string list = "a@x.test;b@x.test;";
    EXPECT_EQ(EmailListEntry(list, 0), "a@x.test");
    EXPECT_EQ(EmailListEntry(list, 1), "b@x.test");
    EXPECT_EQ(EmailListEntry(list, 2), "");
    EXPECT_EQ(EmailListEntry(list, 7), "");
    EXPECT_EQ(EmailListEntry("a@x.test;b@x.test", 1), "b@x.test");  // the last one without ";"
    EXPECT_EQ(EmailListEntry("a@x.test", 0), "a@x.test");
    EXPECT_EQ(EmailListEntry("", 0), "");
    EXPECT_EQ(EmailListEntry("   ", 0), "");
    EXPECT_EQ(EmailListEntry(list, -1), "");
}

TEST(ContactsTest, TheEditorListsOnlyTextsEndedBySemicolons) {
    EXPECT_EQ(EmailListEntries("a@x.test;b@x.test;"), (TList{"a@x.test", "b@x.test"}));
    EXPECT_EQ(EmailListEntries("a@x.test;rest"), (TList{"a@x.test"}));
    EXPECT_EQ(EmailListEntries(""), TList{});
    EXPECT_EQ(JoinEmailList({"a@x.test", "b@x.test"}), "a@x.test;b@x.test;");
    EXPECT_EQ(JoinEmailList({}), "");
}

TEST(ContactsTest, TheExportTitlesAndTheirPositions) {
    const auto& columns = ExportColumns();
    ASSERT_EQ(columns.size(), 27u);
    EXPECT_EQ(columns.front(), "First Name");
    EXPECT_EQ(columns[5], "E-mail Address");
    EXPECT_EQ(columns.back(), "Office Location");
    EXPECT_EQ(ExportFields().size(), 27u);
    EXPECT_EQ(ImportFieldIndex("First Name"), 1);
    EXPECT_EQ(ImportFieldIndex("Name"), 4);
    EXPECT_EQ(ImportFieldIndex("Office Location"), 27);
    EXPECT_EQ(ImportFieldIndex("first name"), -1);  // letter case counts
    EXPECT_EQ(ImportFieldIndex("First Name "), -1);
    EXPECT_EQ(ImportFieldIndex(""), -1);
}

TEST(ContactsTest, ACsvLineIsSplitAtEveryComma) {
    EXPECT_EQ(SplitCsvLine("a,b,c"), (TList{"a", "b", "c"}));
    EXPECT_EQ(SplitCsvLine("a,b,"), (TList{"a", "b"}));
    EXPECT_EQ(SplitCsvLine("a,,b"), (TList{"a", "", "b"}));
    EXPECT_EQ(SplitCsvLine(",a"), (TList{"", "a"}));
    EXPECT_EQ(SplitCsvLine(","), (TList{""}));
    EXPECT_EQ(SplitCsvLine("\"a,b\""), (TList{"\"a", "b\""}));  // no quoting
    EXPECT_EQ(SplitCsvLine(""), TList{});
}

}  // namespace
