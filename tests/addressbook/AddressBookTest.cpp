// The address book module: its table, actions, the contact editor's rules and
// the hand-over from the InBox.
#include "AddressBookTestSupport.h"

#include "complaints/ComplaintForm.h"
#include "core/BoxView.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "data/TTableFile.h"

#include <filesystem>

namespace {

using TList = std::vector<std::string>;

TEST_F(TAddressBookTest, TheListShowsTheDisplayNameAndTheDefaultAddress) {
    AddContact("Anna", "", "Berg", 0, "a@x.test;b@x.test;", 1);
    AddContact("Anna", "", "Berg", 2, "", 0);
    EXPECT_EQ(Column("Name"), (TList{"Anna  Berg", "Berg, Anna "}));
    EXPECT_EQ(Column("DisplayEmail"), (TList{"b@x.test", ""}));
    std::vector<std::string> shown;
    for (int field : Book().ColumnOrder()) shown.push_back(Book().Fields()[field].displayLabel);
    EXPECT_EQ(shown, (TList{"Name", "E-Mail Address", "Business Phone", "Home Phone"}));
}

TEST_F(TAddressBookTest, ATitleClickSortsByItsColumnAndTheSameTitleReverses) {
    AddContact("bob", "", "Stone", 0, "z@x.test;", 0);
    AddContact("Anna", "", "Berg", 0, "b@x.test;", 0);
    AddContact("Carl", "", "Ash", 0, "a@x.test;", 0);
    dm->TitleClicked("Name");
    EXPECT_EQ(Column("First"), (TList{"Anna", "bob", "Carl"}));  // letter case ignored
    dm->TitleClicked("Name");
    EXPECT_FALSE(dm->SortAscending());
    EXPECT_EQ(Column("First"), (TList{"Carl", "bob", "Anna"}));
    dm->TitleClicked("DisplayEmail");
    EXPECT_EQ(dm->SortField(), "DisplayEmail");
    EXPECT_TRUE(dm->SortAscending());
    EXPECT_EQ(Column("First"), (TList{"Carl", "Anna", "bob"}));
    // A contact changed afterwards takes its place in the order.
    Book().First();
    Book().Edit();
    Book().SetAsString("Email", "y@x.test;");
    Book().Post();
    EXPECT_EQ(Column("First"), (TList{"Anna", "Carl", "bob"}));
}

TEST_F(TAddressBookTest, EditAndDeleteNeedRowsAndSearchStaysUnavailable) {
    EXPECT_FALSE(dm->Actions["Edit"].Enabled());
    EXPECT_FALSE(dm->Actions["Delete"].Enabled());
    EXPECT_TRUE(dm->Actions["Add"].Enabled());
    EXPECT_FALSE(dm->Actions["Search"].Enabled());
    AddContact("Anna", "", "Berg", 0, "", 0);
    EXPECT_TRUE(dm->Actions["Edit"].Enabled());
    EXPECT_TRUE(dm->Actions["Delete"].Enabled());
    ui.answers = {TMsgResult::Yes};
    dm->Actions["Delete"].Execute();
    EXPECT_FALSE(dm->Actions["Edit"].Enabled());
    EXPECT_FALSE(dm->Actions["Delete"].Enabled());
    EXPECT_FALSE(dm->Actions["Search"].Execute());
}

TEST_F(TAddressBookTest, TheActionsKeepTheirCaptionsAndCategories) {
    const std::pair<const char*, const char*> captions[] = {
        {"ListContact", "Address Book"}, {"Add", "New Contact"}, {"Edit", "Edit Contact"}, {"Delete", "Delete"},
        {"Search", "Search"},            {"Import", "Import"},   {"Export", "Export"}};
    for (const auto& [name, caption] : captions) {
        EXPECT_EQ(dm->Actions[name].Caption(), caption);
        EXPECT_EQ(dm->Actions[name].Category(), std::string(name) == "ListContact" ? "" : "Contacts") << name;
    }
    EXPECT_EQ(dm->Component().Name(), "AddressDM");
    EXPECT_EQ(CurrentAddressDM(), dm.get());
    int lists = 0;
    windows.onList = [&](TAddressDM& shown) {
        EXPECT_EQ(&shown, dm.get());
        ++lists;
    };
    dm->Actions["ListContact"].Execute();
    EXPECT_EQ(lists, 1);
}

TEST_F(TAddressBookTest, DeletingAsksFirstAndIsWrittenWithTheNextSave) {
    AddContact("Anna", "", "Berg", 0, "", 0);
    AddContact("Bob", "", "Stone", 0, "", 0);
    Book().First();
    ui.answers = {TMsgResult::No};
    dm->Actions["Delete"].Execute();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Are you sure you want to permanently delete the selected item(s)?");
    EXPECT_EQ(ui.messages[0].caption, "Address Book");
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Question);
    EXPECT_EQ(ui.messages[0].buttons, static_cast<unsigned>(mbYesNo));
    EXPECT_EQ(Book().RecordCount(), 2);
    ui.answers = {TMsgResult::Yes};
    dm->Actions["Delete"].Execute();
    EXPECT_EQ(Column("First"), (TList{"Bob"}));
    EXPECT_TRUE(Book().HasUnsavedChanges());
    dm->Close();
    Start();
    EXPECT_EQ(Column("First"), (TList{"Bob"}));
}

TEST_F(TAddressBookTest, ContactsAreKeptInTheAddressBookFile) {
    AddContact("Anna", "M", "Berg", 1, "a@x.test;", 0);
    EXPECT_TRUE(std::filesystem::exists(home.File("addressbook.dat")));
    EXPECT_FALSE(Book().HasUnsavedChanges());
    const auto layout = TTableFile::ReadLayout(home.File("addressbook.dat"));
    ASSERT_TRUE(layout.has_value());
    std::vector<std::string> stored;
    for (const auto& f : *layout) stored.push_back(f.name);
    EXPECT_EQ(stored, (TList{"id", "Nickname", "Display", "Email", "DefaultEmail", "First", "Middle", "Last", "Title",
                             "HomeStreet", "HomeCity", "HomeState", "HomeZip", "HomeCountry", "HomeWepPage", "Company",
                             "BusinessStreet", "BusinessCity", "BusinessState", "BusinessZip", "BusinessCountry",
                             "BusinessJob", "BusinessDepartament", "BusinessOffice", "BusinessPhone", "BusinessFax",
                             "BusinessWebPage", "HomePhone", "HomeFax", "HomeMobile"}));
    Start();
    EXPECT_EQ(Column("Name"), (TList{"Berg Anna M"}));
    EXPECT_TRUE(dm->Actions["Edit"].Enabled());
}

TEST_F(TAddressBookTest, ADamagedFileIsKeptAsideAndTheBookStartsEmpty) {
    dm.reset();
    WriteFile(home.File("addressbook.dat"), "not a table file");
    Start();
    EXPECT_TRUE(Book().IsEmpty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Error);
    EXPECT_TRUE(std::filesystem::exists(home.File("addressbook.dat.damaged")));
    AddContact("Anna", "", "Berg", 0, "", 0);
    Start();
    EXPECT_EQ(Book().RecordCount(), 1);
}

// ---------------------------------------------------------------- new contact

TEST_F(TAddressBookTest, CancellingTheNewContactDialogLeavesTheTableUnchanged) {
    AddContact("Anna", "", "Berg", 0, "", 0);
    windows.onEditor = [](TContactEditor& editor) {
        EXPECT_EQ(editor.Mode(), TContactEditor::TMode::New);
        EXPECT_FALSE(editor.SummaryVisible());
        editor.SetField("First", "Bob");
        editor.EmailBox = "bob@x.test";
        EXPECT_TRUE(editor.AddEmail());
        return false;
    };
    dm->NewContactEmail = "c@x.test";
    dm->NewContactName = "Carl";
    dm->Actions["Add"].Execute();
    EXPECT_EQ(windows.editorsShown, 1);
    EXPECT_EQ(Column("First"), (TList{"Anna"}));
    EXPECT_EQ(Book().State(), TTable::TState::Browse);
    EXPECT_FALSE(Book().HasUnsavedChanges());
    EXPECT_EQ(dm->NewContactEmail, "");
    EXPECT_EQ(dm->NewContactName, "");
}

TEST_F(TAddressBookTest, TheHandOverFillsTheEmailBoxAndTheFirstName) {
    dm->NewContactEmail = "win@prizes.example";
    dm->NewContactName = "Lotto Team";
    windows.onEditor = [](TContactEditor& editor) {
        EXPECT_EQ(editor.EmailBox, "win@prizes.example");
        EXPECT_TRUE(editor.Emails.empty());  // not yet in the list
        EXPECT_EQ(editor.Field("First"), "Lotto Team");
        EXPECT_TRUE(editor.AddEmail());
        return true;
    };
    dm->Actions["Add"].Execute();
    EXPECT_EQ(Column("First"), (TList{"Lotto Team"}));
    EXPECT_EQ(Column("Email"), (TList{"win@prizes.example;"}));
    EXPECT_EQ(Column("DefaultEmail"), (TList{"0"}));
    EXPECT_EQ(Column("Display"), (TList{"0"}));
    EXPECT_EQ(dm->NewContactEmail, "");
    EXPECT_EQ(dm->NewContactName, "");
}

TEST_F(TAddressBookTest, BlankHandOverValuesAreNotTaken) {
    dm->NewContactEmail = "  ";
    dm->NewContactName = " ";
    windows.onEditor = [](TContactEditor& editor) {
        EXPECT_EQ(editor.EmailBox, "");
        EXPECT_EQ(editor.Field("First"), "");
        return false;
    };
    dm->Actions["Add"].Execute();
    EXPECT_EQ(windows.editorsShown, 1);
}

TEST_F(TAddressBookTest, ANewContactWithoutAddressesKeepsOnlyTheBoundFields) {
    windows.onEditor = [](TContactEditor& editor) {
        editor.SetField("Last", "Berg");
        editor.SetField("HomeStreet", "Main Street 1\r\nBack door");
        editor.DisplayIndex = 2;
        return true;
    };
    dm->Actions["Add"].Execute();
    ASSERT_EQ(Book().RecordCount(), 1);
    Book().First();
    EXPECT_TRUE(Book().IsNull("Display"));
    EXPECT_TRUE(Book().IsNull("Email"));
    EXPECT_EQ(Book().AsInteger("DefaultEmail"), 0);
    EXPECT_EQ(Book().AsString("HomeStreet"), "Main Street 1\r\nBack door");
    EXPECT_EQ(Book().AsString("Name"), "  Berg");  // an unset Display shows format 1
}

TEST_F(TAddressBookTest, ANewContactTakesTheChosenDisplayAndTheMarkedDefault) {
    windows.onEditor = [](TContactEditor& editor) {
        editor.SetField("First", "Anna");
        editor.SetField("Last", "Berg");
        editor.SetField("Nickname", "ab");
        EXPECT_EQ(editor.DisplayChoices(), (TList{"Anna  Berg", "Berg Anna ", "Berg, Anna ", "ab"}));
        editor.DisplayIndex = 3;
        for (const char* address : {" a@x.test ", "b@x.test", "c@x.test"}) {
            editor.EmailBox = address;
            EXPECT_TRUE(editor.AddEmail());
            EXPECT_EQ(editor.EmailBox, "");
        }
        EXPECT_TRUE(editor.Emails[0].isDefault);
        EXPECT_FALSE(editor.Emails[1].isDefault);
        editor.SetDefaultEmail(2);
        return true;
    };
    dm->Actions["Add"].Execute();
    EXPECT_EQ(Column("Email"), (TList{"a@x.test;b@x.test;c@x.test;"}));
    EXPECT_EQ(Column("DefaultEmail"), (TList{"2"}));
    EXPECT_EQ(Column("Display"), (TList{"3"}));
    EXPECT_EQ(Column("Name"), (TList{"ab"}));
    EXPECT_EQ(Column("DisplayEmail"), (TList{"c@x.test"}));
}

TEST_F(TAddressBookTest, BoxesTakeAtMostTheirFieldsLength) {
    windows.onEditor = [](TContactEditor& editor) {
        EXPECT_EQ(editor.FieldSize("Title"), 50);
        EXPECT_EQ(editor.FieldSize("HomeStreet"), 300);
        editor.SetField("Title", std::string(80, 't'));
        editor.SetField("BusinessStreet", std::string(400, 's'));
        return true;
    };
    dm->Actions["Add"].Execute();
    Book().First();
    EXPECT_EQ(Book().AsString("Title").size(), 50u);
    EXPECT_EQ(Book().AsString("BusinessStreet").size(), 300u);
}

// ---------------------------------------------------------------- e-mail list

TEST_F(TAddressBookTest, AnAddressWithoutAnAddressInItIsAddedOnlyWhenConfirmed) {
    windows.onEditor = [this](TContactEditor& editor) {
        editor.EmailBox = "   ";
        EXPECT_FALSE(editor.AddEmail());
        EXPECT_TRUE(ui.messages.empty());
        editor.EmailBox = "not an address";
        ui.answers = {TMsgResult::No};
        EXPECT_FALSE(editor.AddEmail());
        EXPECT_EQ(editor.EmailBox, "not an address");
        EXPECT_TRUE(editor.Emails.empty());
        ui.answers = {TMsgResult::Yes};
        EXPECT_TRUE(editor.AddEmail());
        EXPECT_EQ(editor.Emails.size(), 1u);
        return false;
    };
    dm->Actions["Add"].Execute();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "The e-mail address you have entered is not a valid Internet e-mail address. \nDo you still want to add "
              "this address?");
    EXPECT_EQ(ui.messages[0].caption, "Properties");
    EXPECT_EQ(ui.messages[0].icon, TMsgIcon::Warning);
    EXPECT_EQ(ui.messages[0].buttons, static_cast<unsigned>(mbYesNo));
}

TEST_F(TAddressBookTest, EditingAnEntryInPlaceKeepsTheOldTextWhenRefused) {
    windows.onEditor = [this](TContactEditor& editor) {
        EXPECT_FALSE(editor.EmailCommandsEnabled());
        editor.EmailBox = "a@x.test";
        editor.AddEmail();
        EXPECT_TRUE(editor.EmailCommandsEnabled());
        EXPECT_EQ(editor.EditEmail(0, "  "), "a@x.test");
        ui.answers = {TMsgResult::No};
        EXPECT_EQ(editor.EditEmail(0, "nothing"), "a@x.test");
        EXPECT_EQ(editor.EditEmail(0, "Anna <anna@x.test>"), "Anna <anna@x.test>");
        EXPECT_EQ(editor.Emails[0].text, "Anna <anna@x.test>");
        return true;
    };
    dm->Actions["Add"].Execute();
    EXPECT_EQ(Column("Email"), (TList{"Anna <anna@x.test>;"}));
}

TEST_F(TAddressBookTest, RemovingTheDefaultLeavesNoMarkerAndTheFirstBecomesTheDefault) {
    windows.onEditor = [](TContactEditor& editor) {
        for (const char* address : {"a@x.test", "b@x.test", "c@x.test"}) {
            editor.EmailBox = address;
            editor.AddEmail();
        }
        editor.SetDefaultEmail(1);
        editor.RemoveEmail(0);  // the marker stays with b
        EXPECT_TRUE(editor.Emails[0].isDefault);
        editor.RemoveEmail(0);  // b goes with its marker
        EXPECT_FALSE(editor.Emails[0].isDefault);
        editor.RemoveEmail(5);  // no such entry
        return true;
    };
    dm->Actions["Add"].Execute();
    EXPECT_EQ(Column("Email"), (TList{"c@x.test;"}));
    EXPECT_EQ(Column("DefaultEmail"), (TList{"0"}));
}

// ---------------------------------------------------------------- edit contact

TEST_F(TAddressBookTest, TheEditorOpensOnTheCurrentContact) {
    AddContact("Anna", "", "Berg", 2, "a@x.test;b@x.test;rest", 1);
    windows.onEditor = [](TContactEditor& editor) {
        EXPECT_EQ(editor.Mode(), TContactEditor::TMode::Edit);
        EXPECT_TRUE(editor.SummaryVisible());
        EXPECT_EQ(editor.DisplayIndex, 2);
        EXPECT_EQ(editor.SummaryName(), "Berg, Anna ");
        EXPECT_EQ(editor.SummaryEmail(), "b@x.test");
        EXPECT_EQ(editor.EmailBox, "");
        EXPECT_EQ(editor.Emails.size(), 2u);
        EXPECT_EQ(editor.Emails[0].text, "a@x.test");
        EXPECT_FALSE(editor.Emails[0].isDefault);
        EXPECT_TRUE(editor.Emails[1].isDefault);
        return false;
    };
    dm->Actions["Edit"].Execute();
    EXPECT_EQ(windows.editorsShown, 1);
    EXPECT_EQ(Column("Email"), (TList{"a@x.test;b@x.test;rest"}));  // untouched by Cancel
}

TEST_F(TAddressBookTest, OkStoresTheListAlsoWhenItIsEmpty) {
    AddContact("Anna", "", "Berg", 2, "a@x.test;b@x.test;", 1);
    windows.onEditor = [](TContactEditor& editor) {
        editor.RemoveEmail(1);
        editor.RemoveEmail(0);
        editor.DisplayIndex = 0;
        editor.SetField("HomePhone", "555-1234");
        return true;
    };
    dm->Actions["Edit"].Execute();
    Book().First();
    EXPECT_TRUE(Book().IsNull("Email"));
    EXPECT_EQ(Book().AsInteger("DefaultEmail"), 0);
    EXPECT_EQ(Book().AsInteger("Display"), 0);
    EXPECT_EQ(Book().AsString("HomePhone"), "555-1234");
    EXPECT_EQ(Book().AsString("Name"), "Anna  Berg");
    EXPECT_FALSE(Book().HasUnsavedChanges());
}

TEST_F(TAddressBookTest, CancelDiscardsWhatTheBoxesChanged) {
    AddContact("Anna", "", "Berg", 0, "a@x.test;", 0);
    windows.onEditor = [](TContactEditor& editor) {
        editor.SetField("First", "Bob");
        editor.SetField("Company", "Shop");
        EXPECT_EQ(editor.Field("First"), "Bob");
        return false;
    };
    dm->Actions["Edit"].Execute();
    Book().First();
    EXPECT_EQ(Book().State(), TTable::TState::Browse);
    EXPECT_EQ(Book().AsString("First"), "Anna");
    EXPECT_TRUE(Book().IsNull("Company"));
}

TEST_F(TAddressBookTest, EditWithoutContactsOpensNothing) {
    dm->EditExecute();
    EXPECT_EQ(windows.editorsShown, 0);
}

// ---------------------------------------------------------------- InBox hand-over

TEST_F(TAddressBookTest, AddToAddressBookHandsOverTheSenderOfTheCurrentRow) {
    TDM mail;
    mail.LoadStore();
    TComplaintForm complaint;
    TMailCommands commands(mail, complaint, nullptr);
    TBoxView inBox(mail, TBoxView::TKind::InBox);
    for (const char* from : {"\"Anna Berg\" <anna@example.org>", "Shop <offers@shop.example>"}) {
        mail.cdsInBox.Append();
        mail.cdsInBox.SetValue("from", std::string(from));
        mail.cdsInBox.Post();
    }
    mail.cdsInBox.SetRecNo(2);
    windows.onEditor = [this](TContactEditor& editor) {
        EXPECT_EQ(dm->NewContactEmail, "offers@shop.example");
        EXPECT_EQ(dm->NewContactName, "Shop");
        EXPECT_EQ(editor.EmailBox, "offers@shop.example");
        EXPECT_EQ(editor.Field("First"), "Shop");
        editor.AddEmail();
        return true;
    };
    inBox.AddSenderToAddressBook(*dm);
    EXPECT_EQ(Column("First"), (TList{"Shop"}));
    EXPECT_EQ(Column("DisplayEmail"), (TList{"offers@shop.example"}));
    mail.cdsInBox.SetRecNo(1);
    windows.onEditor = [](TContactEditor& editor) {
        EXPECT_EQ(editor.Field("First"), "Anna Berg");
        EXPECT_EQ(editor.EmailBox, "anna@example.org");
        return false;
    };
    inBox.AddSenderToAddressBook(*dm);
    EXPECT_EQ(windows.editorsShown, 2);
    EXPECT_EQ(Book().RecordCount(), 1);
}

}  // namespace
