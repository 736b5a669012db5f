#pragma once

#include "addressbook/ContactEditor.h"
#include "addressbook/DMAddress.h"
#include "support/FakeUserInterface.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Windows whose answers a test scripts: each runs the test's function, or
// behaves as closed at once.
class TScriptedWindows : public TAddressBookWindows {
public:
    std::function<void(TAddressDM&)> onList;
    std::function<bool(TContactEditor&)> onEditor;
    std::function<bool(TAddressImport&)> onImport;
    int editorsShown = 0;

    void ShowContactList(TAddressDM& dm) override {
        if (onList) onList(dm);
    }
    bool ShowContactEditor(TContactEditor& editor) override {
        ++editorsShown;
        return onEditor ? onEditor(editor) : false;
    }
    bool ShowImportDialog(TAddressImport& import) override { return onImport ? onImport(import) : false; }
};

class TAddressBookTest : public ::testing::Test {
protected:
    TTempHome home;
    TFakeUserInterface ui;
    TUserInterfaceScope scope{ui};
    TScriptedWindows windows;
    std::unique_ptr<TAddressDM> dm;

    void SetUp() override { Start(); }

    void Start() {
        dm.reset();
        dm = std::make_unique<TAddressDM>();
        dm->SetWindows(&windows);
    }

    TTable& Book() { return dm->cdsAdressBook; }

    // Appends a contact directly, as a stored row.
    void AddContact(const std::string& first, const std::string& middle, const std::string& last,
                    std::int64_t display, const std::string& emails, std::int64_t defaultEmail) {
        TTable& book = Book();
        book.Append();
        book.SetAsString("First", first);
        book.SetAsString("Middle", middle);
        book.SetAsString("Last", last);
        book.SetValue("Display", display);
        book.SetAsString("Email", emails);
        book.SetValue("DefaultEmail", defaultEmail);
        book.Post();
    }

    std::vector<std::string> Column(const std::string& field) {
        std::vector<std::string> values;
        TTable& book = Book();
        for (int recNo = 1; recNo <= book.RecordCount(); ++recNo)
            values.push_back(ValueToString(book.ValueAt(recNo, book.FieldIndex(field))));
        return values;
    }
};
