// The address book's CSV export and import.
#include "AddressBookTestSupport.h"

#include "addressbook/AddressImport.h"
#include "addressbook/Contacts.h"

#include <filesystem>

namespace {

using TList = std::vector<std::string>;

const std::string kHeader =
    "First Name,Last Name,Middle Name,Name,Nickname,E-mail Address,Home Street,Home City,Home Postal Code,Home State,"
    "Home Country/Region,Home Phone,Home Fax,Mobile Phone,Personal Web Page,Business Street,Business City,Business "
    "Postal Code,Business State,Business Country/Region,Business Web Page,Business Phone,Business Fax,Company,Job "
    "Title,Department,Office Location";

class TAddressCsvTest : public TAddressBookTest {
protected:
    // Imports the file with the mapping its titles give, changed by adjust.
    int Import(const std::string& file, const std::function<void(TAddressImport&)>& adjust = {}) {
        int before = Book().RecordCount();
        ui.fileAnswers = {file};
        windows.onImport = [&](TAddressImport& import) {
            EXPECT_FALSE(import.CanImport());
            if (!import.ChooseFile()) return false;
            if (adjust) adjust(import);
            return import.CanImport();
        };
        dm->Actions["Import"].Execute();
        return Book().RecordCount() - before;
    }

    void Fill(const std::string& field, const std::string& value) {
        Book().Edit();
        Book().SetAsString(field, value);
        Book().Post();
    }
};

TEST_F(TAddressCsvTest, TheExportWritesTheTitlesAndOneLinePerContact) {
    AddContact("Anna", "", "Berg", 0, "a@x.test;b@x.test;", 1);
    Fill("HomeCity", "Bonn");
    Fill("BusinessOffice", "R 2");
    AddContact("Bob", "J", "Stone", 2, "", 0);
    Book().First();
    ui.fileAnswers = {home.File("book.csv")};
    dm->Actions["Export"].Execute();
    EXPECT_TRUE(ui.messages.empty());
    TList anna(27), bob(27);
    anna[0] = "Anna", anna[1] = "Berg", anna[3] = "Anna  Berg", anna[5] = "b@x.test", anna[7] = "Bonn";
    anna[26] = "R 2";
    bob[0] = "Bob", bob[1] = "Stone", bob[2] = "J", bob[3] = "\"Stone, Bob J\"";
    const auto line = [](const TList& values) {
        std::string text;
        for (std::size_t i = 0; i < values.size(); ++i) text += (i ? "," : "") + values[i];
        return text + "\r\n";
    };
    EXPECT_EQ(ReadFile(home.File("book.csv")), kHeader + "\r\n" + line(anna) + line(bob));
    EXPECT_EQ(Book().RecNo(), 1);  // the list's current row stays
}

// Unquoted, a comma or a line break in a value would shift every later column.
TEST_F(TAddressCsvTest, ValuesWithCommasQuotesAndLineBreaksSurviveExportAndImport) {
    AddContact("Anna", "", "Berg", 2, "a@x.test;", 0);
    Fill("HomeStreet", "Main St 1\r\nBack door");
    Fill("Company", "Berg, Stone & \"Partners\"");
    Fill("HomeCity", "Bonn");
    dm->ExportTo(home.File("book.csv"));
    const std::string text = ReadFile(home.File("book.csv"));
    EXPECT_NE(text.find(",\"Main St 1\r\nBack door\",Bonn,"), std::string::npos) << text;
    EXPECT_NE(text.find(",\"Berg, Stone & \"\"Partners\"\"\","), std::string::npos) << text;
    EXPECT_EQ(Import(home.File("book.csv")), 1);
    Book().Last();
    EXPECT_EQ(Book().AsString("HomeStreet"), "Main St 1\r\nBack door");
    EXPECT_EQ(Book().AsString("HomeCity"), "Bonn");
    EXPECT_EQ(Book().AsString("Company"), "Berg, Stone & \"Partners\"");
    EXPECT_EQ(Book().AsString("DisplayEmail"), "a@x.test");
}

// The default export of a common mail client: every value quoted, many
// columns of its own. Only titles equal to ours are mapped.
TEST_F(TAddressCsvTest, AMailClientsExportImportsTheColumnsWithEqualTitles) {
    const TList titles = {"Title", "First Name", "Middle Name", "Last Name", "Suffix", "Company", "Department",
                          "Job Title", "Business Street", "Business Street 2", "Business City", "Business State",
                          "Business Postal Code", "Business Country/Region", "Home Street", "Home City", "Home State",
                          "Home Postal Code", "Home Country/Region", "Business Fax", "Business Phone", "Home Fax",
                          "Home Phone", "Mobile Phone", "Birthday", "E-mail Address", "E-mail Type",
                          "E-mail Display Name", "E-mail 2 Address", "Notes", "Office Location", "Web Page"};
    TList anna = {"Dr.", "Anna", "", "Berg", "", "Shop, Inc.", "Sales", "Manager", "1 Market Sq", "", "Bonn", "NRW",
                  "53111", "Germany", "2 Home Rd", "Bonn", "", "53113", "Germany", "", "+49 228 1", "", "+49 228 2",
                  "+49 170 3", "0/0/00", "anna@shop.example", "SMTP", "Anna Berg (anna@shop.example)",
                  "anna@home.example", "Met at the fair,\r\nsecond day", "R 2", "shop.example"};
    std::string text;
    const auto line = [&](const TList& values) {
        for (std::size_t i = 0; i < values.size(); ++i) text += (i ? ",\"" : "\"") + values[i] + "\"";
        text += "\r\n";
    };
    line(titles);
    line(anna);
    WriteFile(home.File("contacts.csv"), text);
    const int added = Import(home.File("contacts.csv"), [&](TAddressImport& import) {
        ASSERT_EQ(import.Mappings.size(), titles.size());
        TList mapped;
        for (const auto& mapping : import.Mappings)
            if (mapping.checked) mapped.push_back(mapping.field);
        EXPECT_EQ(mapped, (TList{"First Name", "Middle Name", "Last Name", "Company", "Department", "Job Title",
                                 "Business Street", "Business City", "Business State", "Business Postal Code", "Business Country/Region",
                                 "Home Street", "Home City", "Home State", "Home Postal Code", "Home Country/Region",
                                 "Business Fax", "Business Phone", "Home Fax", "Home Phone", "Mobile Phone",
                                 "E-mail Address", "Office Location"}));
    });
    EXPECT_EQ(added, 1);
    Book().First();
    const std::pair<const char*, const char*> expected[] = {
        {"First", "Anna"},         {"Last", "Berg"},           {"Company", "Shop, Inc."},
        {"BusinessJob", "Manager"}, {"BusinessCity", "Bonn"},  {"HomeStreet", "2 Home Rd"},
        {"HomeMobile", "+49 170 3"}, {"BusinessPhone", "+49 228 1"}, {"BusinessOffice", "R 2"},
        {"Email", "anna@shop.example;"}, {"Title", ""},        {"BusinessStreet", "1 Market Sq"},
    };
    for (const auto& [field, value] : expected) EXPECT_EQ(Book().AsString(field), value) << field;
    EXPECT_TRUE(Book().IsNull("Display"));
}

TEST_F(TAddressCsvTest, TheExportDialogProposesExportCsv) {
    EXPECT_EQ(dm->SaveDialog.initialFile, "export.csv");
    EXPECT_EQ(dm->SaveDialog.defaultExt, "csv");
    EXPECT_EQ(dm->SaveDialog.filter, "*.csv|*.csv|*.*|*.*");
    EXPECT_EQ(dm->OpenDialog.defaultExt, "csv");
    EXPECT_EQ(dm->OpenDialog.filter, "*.csv|*.csv|*.*|*.*");
    dm->Actions["Export"].Execute();  // cancelled
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TAddressCsvTest, AnExportThatCannotBeCreatedIsTold) {
    ui.fileAnswers = {home.File("no/such/folder/book.csv")};
    dm->Actions["Export"].Execute();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
    EXPECT_NE(ui.messages[0].text.find("book.csv"), std::string::npos);
}

TEST_F(TAddressCsvTest, ExportAndImportAgainMapEveryColumnAndSetDisplayTwo) {
    AddContact("Anna", "", "Berg", 0, "a@x.test;b@x.test;", 1);
    Fill("Nickname", "ab");
    Fill("BusinessPhone", "555");
    AddContact("Bob", "J", "Stone", 1, "bob@x.test;", 0);
    dm->ExportTo(home.File("book.csv"));
    const int added = Import(home.File("book.csv"), [](TAddressImport& import) {
        ASSERT_EQ(import.Mappings.size(), 27u);
        for (const auto& mapping : import.Mappings) {
            EXPECT_EQ(mapping.field, mapping.title);
            EXPECT_TRUE(mapping.checked) << mapping.title;
        }
        EXPECT_EQ(import.FileName(), std::filesystem::path(import.FileName()).string());
    });
    EXPECT_EQ(added, 2);
    EXPECT_EQ(Column("First"), (TList{"Anna", "Bob", "Anna", "Bob"}));
    EXPECT_EQ(Column("Display"), (TList{"0", "1", "2", "2"}));
    EXPECT_EQ(Column("Email"), (TList{"a@x.test;b@x.test;", "bob@x.test;", "b@x.test;", "bob@x.test;"}));
    EXPECT_EQ(Column("DefaultEmail"), (TList{"1", "0", "0", "0"}));
    EXPECT_EQ(Column("Nickname"), (TList{"ab", "", "ab", ""}));
    EXPECT_EQ(Column("BusinessPhone"), (TList{"555", "", "555", ""}));
    EXPECT_FALSE(Book().HasUnsavedChanges());
}

TEST_F(TAddressCsvTest, ShortLinesFillTheFirstFieldsAndExtraValuesAreIgnored) {
    WriteFile(home.File("in.csv"), "First Name,Last Name,Company\r\nAnna\r\nBob,Stone,Shop,extra,more\r\n\r\nCarl,");
    EXPECT_EQ(Import(home.File("in.csv")), 3);
    EXPECT_EQ(Column("First"), (TList{"Anna", "Bob", "Carl"}));
    EXPECT_EQ(Column("Last"), (TList{"", "Stone", ""}));
    EXPECT_EQ(Column("Company"), (TList{"", "Shop", ""}));
    EXPECT_EQ(Column("Display"), (TList{"", "", ""}));
}

TEST_F(TAddressCsvTest, UnknownTitlesAreNotImportedUnlessMapped) {
    WriteFile(home.File("in.csv"), "Vorname,Nachname,E-Mail\nAnna,Berg,anna@x.test\nBob,Stone,bob@x.test\n");
    const int added = Import(home.File("in.csv"), [](TAddressImport& import) {
        ASSERT_EQ(import.Mappings.size(), 3u);
        for (const auto& mapping : import.Mappings) {
            EXPECT_EQ(mapping.field, "");
            EXPECT_FALSE(mapping.checked);
        }
        EXPECT_EQ(import.MappingChoice(0), 0);  // "First Name" preselected
        import.SetMapping(0, "First Name", true);
        import.SetMapping(2, "E-mail Address", true);
        EXPECT_EQ(import.MappingChoice(2), 5);
        import.SetMapping(1, "Last Name", false);  // mapped, but not imported
    });
    EXPECT_EQ(added, 2);
    EXPECT_EQ(Column("First"), (TList{"Anna", "Bob"}));
    EXPECT_EQ(Column("Last"), (TList{"", ""}));
    EXPECT_EQ(Column("DisplayEmail"), (TList{"anna@x.test", "bob@x.test"}));
}

TEST_F(TAddressCsvTest, ALineThatSetsNothingAddsNoContact) {
    WriteFile(home.File("in.csv"), "Vorname,Last Name\r\nAnna\r\nBob,Stone\r\n");
    EXPECT_EQ(Import(home.File("in.csv")), 1);
    EXPECT_EQ(Column("Last"), (TList{"Stone"}));
    EXPECT_EQ(Column("First"), (TList{""}));
}

TEST_F(TAddressCsvTest, TheMappingDialogOffersAllTitlesButOfficeLocation) {
    const TList choices = TAddressImport::MappingChoices();
    ASSERT_EQ(choices.size(), 26u);
    EXPECT_EQ(choices.front(), "First Name");
    EXPECT_EQ(choices.back(), "Department");
    EXPECT_EQ(std::find(choices.begin(), choices.end(), "Office Location"), choices.end());
}

TEST_F(TAddressCsvTest, TheTrailingCommaOfTheTitleLineStartsNoColumn) {
    WriteFile(home.File("in.csv"), "First Name,Last Name,\r\nAnna,Berg,\r\n");
    Import(home.File("in.csv"), [](TAddressImport& import) { EXPECT_EQ(import.Mappings.size(), 2u); });
    EXPECT_EQ(Column("Last"), (TList{"Berg"}));
}

TEST_F(TAddressCsvTest, NothingIsImportedWithoutAFileOrWhenCancelled) {
    WriteFile(home.File("in.csv"), "First Name\r\nAnna\r\n");
    windows.onImport = [](TAddressImport& import) { return import.CanImport(); };
    dm->Actions["Import"].Execute();
    ui.fileAnswers = {home.File("in.csv")};
    windows.onImport = [](TAddressImport& import) {
        EXPECT_TRUE(import.ChooseFile());
        return false;  // "Cancel"
    };
    dm->Actions["Import"].Execute();
    EXPECT_TRUE(Book().IsEmpty());
    WriteFile(home.File("empty.csv"), "");
    ui.fileAnswers = {home.File("empty.csv")};
    windows.onImport = [](TAddressImport& import) {
        EXPECT_TRUE(import.ChooseFile());
        EXPECT_FALSE(import.CanImport());  // no columns
        return true;
    };
    dm->Actions["Import"].Execute();
    EXPECT_TRUE(Book().IsEmpty());
}

TEST_F(TAddressCsvTest, AFileThatCannotBeReadIsTold) {
    ui.fileAnswers = {home.File("missing.csv")};
    windows.onImport = [](TAddressImport& import) {
        EXPECT_FALSE(import.ChooseFile());
        EXPECT_EQ(import.FileName(), "");
        return import.CanImport();
    };
    dm->Actions["Import"].Execute();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
    EXPECT_NE(ui.messages[0].text.find("missing.csv"), std::string::npos);

    // Gone between choosing and importing.
    WriteFile(home.File("in.csv"), "First Name\r\nAnna\r\n");
    ui.fileAnswers = {home.File("in.csv")};
    windows.onImport = [&](TAddressImport& import) {
        EXPECT_TRUE(import.ChooseFile());
        std::filesystem::remove(home.File("in.csv"));
        return true;
    };
    dm->Actions["Import"].Execute();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(Book().IsEmpty());
    EXPECT_EQ(Book().State(), TTable::TState::Browse);
}

}  // namespace
