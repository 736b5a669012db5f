#include "addressbook/AddressImport.h"

#include "addressbook/Contacts.h"
#include "addressbook/DMAddress.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// The records of a CSV file. Read whole: the import goes over it twice at most.
std::vector<TCsvRecord> ReadRecords(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw TAddressBookError("Cannot open " + fileName + ": " + std::strerror(errno));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw TAddressBookError("Cannot read " + fileName + ": " + std::strerror(errno));
    return ParseCsv(content.str());
}

}  // namespace

TAddressImport::TAddressImport(TAddressDM& dm) : dm_(dm) {}

bool TAddressImport::ChooseFile() {
    const auto file = UserInterface().OpenFileName(dm_.OpenDialog);
    if (!file) return false;
    try {
        ReadColumns(*file);
    } catch (const TAddressBookError& error) {
        ReportAddressBookError(error);
        return false;
    }
    return true;
}

void TAddressImport::ReadColumns(const std::string& fileName) {
    const std::vector<TCsvRecord> records = ReadRecords(fileName);
    std::vector<TMapping> mappings;
    for (const std::string& title : records.empty() ? TCsvRecord() : records.front()) {
        const bool known = ImportFieldIndex(title) > 0;
        mappings.push_back({title, known ? title : std::string(), known});
    }
    fileName_ = fileName;
    Mappings = std::move(mappings);
}

std::vector<std::string> TAddressImport::MappingChoices() {
    const auto& columns = ExportColumns();
    return {columns.begin(), columns.end() - 1};
}

int TAddressImport::MappingChoice(int row) const {
    if (row < 0 || row >= static_cast<int>(Mappings.size())) return 0;
    const std::vector<std::string> choices = MappingChoices();
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i] == Mappings[static_cast<std::size_t>(row)].field) return static_cast<int>(i);
    return 0;
}

void TAddressImport::SetMapping(int row, const std::string& field, bool checked) {
    if (row < 0 || row >= static_cast<int>(Mappings.size())) return;
    Mappings[static_cast<std::size_t>(row)].field = field;
    Mappings[static_cast<std::size_t>(row)].checked = checked;
}

int TAddressImport::Run() {
    const std::vector<TCsvRecord> records = ReadRecords(fileName_);
    TTable& book = dm_.cdsAdressBook;
    // One notification at the end instead of one per contact.
    book.DisableControls();
    int added = 0;
    try {
        for (std::size_t record = 1; record < records.size(); ++record)
            if (AddContact(book, records[record])) ++added;
    } catch (...) {
        book.EnableControls();
        throw;
    }
    book.EnableControls();
    return added;
}

bool TAddressImport::AddContact(TTable& book, const TCsvRecord& values) const {
    const auto& fields = ExportFields();
    book.Append();
    bool changed = false;
    for (std::size_t k = 0; k < values.size() && k < Mappings.size(); ++k) {
        if (!Mappings[k].checked) continue;
        const int index = ImportFieldIndex(Mappings[k].field);
        if (index < 1) continue;
        const std::string& value = values[k];
        switch (index) {
            case 4:  // "Name": not stored; the display name becomes "Last, First Middle".
                book.SetValue("Display", std::int64_t{2});
                break;
            case 6:  // "E-mail Address"
                book.SetAsString("Email", value + ";");
                book.SetValue("DefaultEmail", std::int64_t{0});
                break;
            default:
                book.SetAsString(fields[static_cast<std::size_t>(index - 1)], value);
                break;
        }
        changed = true;
    }
    if (!changed) {
        book.Cancel();
        return false;
    }
    book.Post();
    return true;
}
