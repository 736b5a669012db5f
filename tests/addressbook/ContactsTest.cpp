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

TEST(ContactsTest, CsvRecordsSplitAtCommasAndLineBreaksOutsideQuotes) {
    using TRecords = std::vector<TList>;
    const struct {
        const char* text;
        TRecords records;
    } cases[] = {
        {"a,b,c", {{"a", "b", "c"}}},
        {"a,b,\r\n", {{"a", "b"}}},  // a last comma starts no value
        {"a,,b\nc", {{"a", "", "b"}, {"c"}}},
        {",a\r\n,\r\n", {{"", "a"}, {""}}},
        {"\r\nx\n", {{}, {"x"}}},  // an empty line is a record without values
        {"", {}},
        {"a\rb,c", {{"a\rb", "c"}}},  // a lone CR is text
        {"\"a,b\",\"say \"\"hi\"\"\"", {{"a,b", "say \"hi\""}}},
        {"\"two\r\nlines\",x\r\ny", {{"two\r\nlines", "x"}, {"y"}}},
        {"\"\",\"\",", {{"", ""}}},
        {"O\"Brien,x", {{"O\"Brien", "x"}}},  // a quote inside an unquoted value is text
        {"\"open,to the end", {{"open,to the end"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCsv(c.text), c.records) << c.text;
}

TEST(ContactsTest, OnlyValuesThatWouldBreakTheLayoutAreQuoted) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain value", "plain value"}, {"", ""},
        {"Berg, Anna", "\"Berg, Anna\""},  {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a\r\nb", "\"a\r\nb\""},        {"a\nb", "\"a\nb\""},
    };
    for (const auto& [value, written] : cases) {
        EXPECT_EQ(CsvValue(value), written) << value;
        EXPECT_EQ(ParseCsv(CsvValue(value) + ",x"), (std::vector<TList>{{value, "x"}})) << value;
    }
}

TEST(ContactsTest, GoOpensOnlyWebAndMailAddresses) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://example.org/page", "http://example.org/page"},
        {" HTTPS://example.org ", "HTTPS://example.org"},
        {"mailto:anna@example.org", "mailto:anna@example.org"},
        {"www.example.org", "http://www.example.org"},
        {"example.org/a?b=c", "http://example.org/a?b=c"},
        {"localhost:8080/x", "http://localhost:8080/x"},
        {"", ""},
        {"   ", ""},
        {"http://", ""},
        {"file:///etc/passwd", ""},
        {"javascript:alert(1)", ""},
        {"/usr/bin/xterm", ""},
        {"~/run.sh", ""},
        {"./run.sh", ""},
        {"C:\\Windows\\calc.exe", ""},
        {"smb://host/share", ""},
        {"two words", ""},
    };
    for (const auto& [text, target] : cases) EXPECT_EQ(WebPageTarget(text), target) << text;
}

}  // namespace
