#pragma once

#include "base/TAction.h"
#include "base/UserInterface.h"
#include "data/TTable.h"
#include "i18n/Component.h"
#include "i18n/Translator.h"

#include <memory>
#include <stdexcept>
#include <string>

class TAddressDM;
class TAddressImport;
class TContactEditor;

// A file of the address book's import or export that cannot be created,
// opened or read; what() names the file and the system's reason.
class TAddressBookError : public std::runtime_error {
public:
    explicit TAddressBookError(const std::string& message) : std::runtime_error(message) {}
};

// The address book's windows, each modal. The desktop program installs its
// own; without them every window behaves as if the user closed it at once.
class TAddressBookWindows {
public:
    virtual ~TAddressBookWindows() = default;
    // The address book window ("Address Book") over the module's table.
    virtual void ShowContactList(TAddressDM&) {}
    // The contact editor ("Property"); true when closed with "OK". The module
    // stores or discards the contact afterwards.
    virtual bool ShowContactEditor(TContactEditor&) { return false; }
    // The import dialog ("AddressBook Import (CSV)"); true when closed with "Import".
    virtual bool ShowImportDialog(TAddressImport&) { return false; }
};

// The address book data module: the contacts table, its actions and the
// CSV export and import.
//
// Ownership: the program creates one TAddressDM at the end of its start-up
// and destroys it at the end; CurrentAddressDM() reaches it meanwhile (the
// newest live module, as with the filter module).
//
// File: "addressbook.dat" in the working directory, loaded at start when it
// exists (a damaged one is kept aside, the user told, and the book starts
// empty), written after every post; deletions go with the next save or at
// Close.
class TAddressDM {
public:
    // Throws THomeInUseError when another program keeps the file locked.
    TAddressDM();
    // Writes unsaved changes; errors are swallowed here, so call Close()
    // first where they must be reported.
    ~TAddressDM();
    TAddressDM(const TAddressDM&) = delete;
    TAddressDM& operator=(const TAddressDM&) = delete;

    // Writes unsaved changes; throws TTableError.
    void Close();

    // id, Nickname, Display, Email, DefaultEmail, First, Middle, Last, Title,
    // HomeStreet, HomeCity, HomeState, HomeZip, HomeCountry, HomeWepPage,
    // Company, BusinessStreet, BusinessCity, BusinessState, BusinessZip,
    // BusinessCountry, BusinessJob, BusinessDepartament, BusinessOffice,
    // BusinessPhone, BusinessFax, BusinessWebPage, HomePhone, HomeFax,
    // HomeMobile; calculated Name and DisplayEmail. Grids show Name,
    // DisplayEmail, BusinessPhone and HomePhone.
    TTable cdsAdressBook;

    // ListContact (no category); Add, Edit, Delete, Search, Import, Export
    // (category "Contacts").
    TActionList Actions;

    // Hand-over of a new contact from another part of the program: set both,
    // then execute "Add". Emptied after every new-contact dialog.
    std::string NewContactEmail;
    std::string NewContactName;

    // The file dialogs of export ("export.csv") and import.
    TFileDialog OpenDialog;
    TFileDialog SaveDialog;

    // The windows; never null. The module does not own them.
    void SetWindows(TAddressBookWindows* windows);
    TAddressBookWindows& Windows() const { return *windows_; }

    TTranslator& Translator() { return *translator_; }
    // The module in the translators' walk ("AddressDM").
    TComponent& Component() { return component_; }

    // A click on a title of the list's grid: the same column again reverses
    // the order, another column sorts ascending (letter case ignored).
    void TitleClicked(const std::string& field);
    const std::string& SortField() const { return sortField_; }
    bool SortAscending() const { return ascending_; }

    // Edit and Delete are available exactly when the book has rows.
    void dsAdressBookDataChange();

    // Execute handlers. Every failure is told in a message box; none leaves
    // the handler.
    void ListContactExecute();
    void AddExecute();
    void EditExecute();
    void DeleteExecute();
    void ImportExecute();
    void ExportExecute();

    // The export without its dialog, one line per contact in the list's
    // order; a value that would break the layout goes in quotes. Throws
    // TAddressBookError when the file cannot be created or written.
    void ExportTo(const std::string& fileName);

private:
    void SetUpTable();
    void SetUpActions();
    void CalcFields(TTable& table);

    TBasicComponent component_;
    std::unique_ptr<TTranslator> translator_;
    TAddressBookWindows* windows_;
    int subscription_ = 0;
    std::string sortField_;
    bool ascending_ = true;
};

// The live address book module; nullptr when none exists.
TAddressDM* CurrentAddressDM();

// Tells the user of a failure of the address book (a file that could not be
// written or read, a table that could not be saved).
void ReportAddressBookError(const std::exception& error);
