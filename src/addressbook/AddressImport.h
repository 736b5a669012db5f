#pragma once

#include "addressbook/Contacts.h"

#include <string>
#include <vector>

class TAddressDM;
class TTable;

// The CSV import without its windows: the chosen file, the mapping of its
// columns to the address book's fields, and the import itself.
class TAddressImport {
public:
    // One column of the file: its title, the address book field (a title of
    // ExportColumns, "" for none) and whether it is imported.
    struct TMapping {
        std::string title;
        std::string field;
        bool checked = false;
    };

    explicit TAddressImport(TAddressDM& dm);

    // The chosen file; "" until one is chosen.
    const std::string& FileName() const { return fileName_; }
    // One row per column title of the file, in order.
    std::vector<TMapping> Mappings;

    // "OpenFile": asks for a file with the module's open dialog and reads its
    // column titles. False when the user cancelled or the file could not be
    // read (the user has been told; the mapping is as before).
    bool ChooseFile();
    // Reads the first record of the file into the mapping: a title equal to one
    // of ExportColumns is mapped to it and checked, any other is unmapped and
    // unchecked. Throws TAddressBookError when the file cannot be read.
    void ReadColumns(const std::string& fileName);

    // "Import" is available once a file is chosen and has columns.
    bool CanImport() const { return !fileName_.empty() && !Mappings.empty(); }

    // The mapping dialog: the fields it offers (the first 26 titles of
    // ExportColumns, "Office Location" is not among them), the one it
    // preselects for a row (its field, else the first), and what its "OK" stores.
    static std::vector<std::string> MappingChoices();
    int MappingChoice(int row) const;
    void SetMapping(int row, const std::string& field, bool checked);

    // Reads the file again and appends one contact per record after the
    // first that sets at least one field; each is posted (and the book saved).
    // Returns the number of contacts added. Throws TAddressBookError when the
    // file cannot be read; contacts imported before stay.
    int Run();

private:
    // Appends the record's values as one contact; a record that sets nothing
    // is dropped. True when a contact was added.
    bool AddContact(TTable& book, const TCsvRecord& values) const;

    TAddressDM& dm_;
    std::string fileName_;
};
