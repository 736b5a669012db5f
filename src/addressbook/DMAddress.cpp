#include "addressbook/DMAddress.h"

#include "addressbook/AddressImport.h"
#include "addressbook/ContactEditor.h"
#include "addressbook/Contacts.h"
#include "data/TTableError.h"
#include "data/TableRescue.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

using F = TFieldDef;
using T = TFieldType;

TAddressDM*& CurrentModule() {
    static TAddressDM* module = nullptr;
    return module;
}

TAddressBookWindows& NoWindows() {
    static TAddressBookWindows none;
    return none;
}

const char kContacts[] = "Contacts";

std::vector<TFieldDef> AddressBookFields() {
    return {F("id", T::AutoInc).ReadOnly().Hidden(),
            F("Nickname", T::String, 100),
            F("Display", T::Integer),
            F("Email", T::String, 400),
            F("DefaultEmail", T::Integer).Default(std::int64_t{0}),
            F("First", T::String, 100),
            F("Middle", T::String, 100),
            F("Last", T::String, 100),
            F("Title", T::String, 50),
            F("HomeStreet", T::Memo, 300),
            F("HomeCity", T::String, 100),
            F("HomeState", T::String, 100),
            F("HomeZip", T::String, 100),
            F("HomeCountry", T::String, 100),
            F("HomeWepPage", T::String, 400),
            F("Company", T::String, 100),
            F("BusinessStreet", T::Memo, 300),
            F("BusinessCity", T::String, 100),
            F("BusinessState", T::String, 100),
            F("BusinessZip", T::String, 100),
            F("BusinessCountry", T::String, 100),
            F("BusinessJob", T::String, 100),
            F("BusinessDepartament", T::String, 100),
            F("BusinessOffice", T::String, 100),
            F("BusinessPhone", T::String, 100).Label("Business Phone").Width(15),
            F("BusinessFax", T::String, 100),
            F("BusinessWebPage", T::String, 400),
            F("HomePhone", T::String, 100).Label("Home Phone").Width(15),
            F("HomeFax", T::String, 100),
            F("HomeMobile", T::String, 100),
            F("Name", T::String, 400).Calculated().Width(24),
            F("DisplayEmail", T::String, 300).Calculated().Label("E-Mail Address").Width(24)};
}

// Runs a handler; whatever goes wrong is told, never thrown into the window
// that executed the action.
void Guarded(void (TAddressDM::*handler)(), TAddressDM& dm) {
    try {
        (dm.*handler)();
    } catch (const std::exception& error) {
        ReportAddressBookError(error);
    }
}

std::string SystemReason() { return std::strerror(errno); }

}  // namespace

TAddressDM* CurrentAddressDM() { return CurrentModule(); }

void ReportAddressBookError(const std::exception& error) {
    UserInterface().MessageBox(error.what(), "Tarnwick", TMsgIcon::Error, mbOK);
}

TAddressDM::TAddressDM()
    : cdsAdressBook("cdsAdressBook", AddressBookFields()), component_(nullptr, "AddressDM"), windows_(&NoWindows()) {
    const std::string filter = "*.csv|*.csv|*.*|*.*";
    OpenDialog = {"", filter, "csv", ""};
    SaveDialog = {"", filter, "csv", "export.csv"};
    translator_ = std::make_unique<TTranslator>(&component_, "Translator");
    SetUpTable();
    SetUpActions();
    LoadKeepingDamaged(cdsAdressBook);
    cdsAdressBook.First();
    dsAdressBookDataChange();
    // Last: a start refused above must not leave actions on a module that goes first.
    Actions.AttachTo(component_);
    CurrentModule() = this;
}

TAddressDM::~TAddressDM() {
    if (CurrentModule() == this) CurrentModule() = nullptr;
    cdsAdressBook.Unsubscribe(subscription_);
    Actions.Detach();
    // The table writes its unsaved changes when destroyed.
}

void TAddressDM::Close() { cdsAdressBook.Close(); }

void TAddressDM::SetWindows(TAddressBookWindows* windows) { windows_ = windows ? windows : &NoWindows(); }

void TAddressDM::SetUpTable() {
    cdsAdressBook.SetFileName("addressbook.dat");
    cdsAdressBook.SetSaveAfterPost(true);
    cdsAdressBook.SetColumnOrder({"Name", "DisplayEmail", "BusinessPhone", "HomePhone"});
    cdsAdressBook.OnCalcFields = [this](TTable& table) { CalcFields(table); };
    for (const std::string field : {"Name", "DisplayEmail", "BusinessPhone", "HomePhone"}) {
        cdsAdressBook.AddIndex(field + "_asc", field, false, true);
        cdsAdressBook.AddIndex(field + "_desc", field, true, true);
    }
    subscription_ = cdsAdressBook.Subscribe([this](TTable&, TTable::TChange change) {
        if (change != TTable::TChange::State) dsAdressBookDataChange();
    });
}

void TAddressDM::SetUpActions() {
    struct TDef {
        const char* name;
        const char* caption;
        const char* category;
        void (TAddressDM::*execute)();
    };
    const TDef defs[] = {
        {"ListContact", "Address Book", "", &TAddressDM::ListContactExecute},
        {"Add", "New Contact", kContacts, &TAddressDM::AddExecute},
        {"Edit", "Edit Contact", kContacts, &TAddressDM::EditExecute},
        {"Delete", "Delete", kContacts, &TAddressDM::DeleteExecute},
        {"Search", "Search", kContacts, nullptr},
        {"Import", "Import", kContacts, &TAddressDM::ImportExecute},
        {"Export", "Export", kContacts, &TAddressDM::ExportExecute},
    };
    for (const TDef& d : defs) {
        TAction& action = Actions.Add(d.name, d.caption, d.category);
        if (d.execute) action.OnExecute = [this, execute = d.execute](TAction&) { Guarded(execute, *this); };
    }
    // No handler: it stays unavailable.
    Actions["Search"].SetEnabled(false);
}

void TAddressDM::CalcFields(TTable& table) {
    const int format = static_cast<int>(table.AsInteger("Display")) + 1;
    table.SetCalculated("Name", ContactDisplayName(format, table.AsString("First"), table.AsString("Middle"),
                                                   table.AsString("Last"), table.AsString("Nickname")));
    table.SetCalculated("DisplayEmail",
                        EmailListEntry(table.AsString("Email"), static_cast<int>(table.AsInteger("DefaultEmail"))));
}

void TAddressDM::dsAdressBookDataChange() {
    const bool rows = !cdsAdressBook.IsEmpty();
    Actions["Edit"].SetEnabled(rows);
    Actions["Delete"].SetEnabled(rows);
}

void TAddressDM::TitleClicked(const std::string& field) {
    if (field == sortField_) {
        ascending_ = !ascending_;
    } else {
        sortField_ = field;
        ascending_ = true;
    }
    const std::string index = field + (ascending_ ? "_asc" : "_desc");
    if (cdsAdressBook.HasIndex(index)) cdsAdressBook.SetIndexName(index);
}

void TAddressDM::ListContactExecute() { windows_->ShowContactList(*this); }

void TAddressDM::AddExecute() {
    // Whatever happens, the hand-over serves one dialog only.
    struct TClearHandOver {
        TAddressDM& dm;
        ~TClearHandOver() {
            dm.NewContactEmail.clear();
            dm.NewContactName.clear();
        }
    } clear{*this};
    TContactEditor editor(*this, TContactEditor::TMode::New);
    if (windows_->ShowContactEditor(editor))
        editor.Ok();
    else
        editor.Cancel();
}

void TAddressDM::EditExecute() {
    if (cdsAdressBook.IsEmpty()) return;
    TContactEditor editor(*this, TContactEditor::TMode::Edit);
    if (windows_->ShowContactEditor(editor))
        editor.Ok();
    else
        editor.Cancel();
}

void TAddressDM::DeleteExecute() {
    if (cdsAdressBook.IsEmpty()) return;
    // Neither text is translated.
    if (UserInterface().MessageBox("Are you sure you want to permanently delete the selected item(s)?", "Address Book",
                                   TMsgIcon::Question, mbYesNo) != TMsgResult::Yes)
        return;
    cdsAdressBook.Delete();
}

void TAddressDM::ImportExecute() {
    TAddressImport import(*this);
    if (!windows_->ShowImportDialog(import) || !import.CanImport()) return;
    import.Run();
}

void TAddressDM::ExportExecute() {
    const auto file = UserInterface().SaveFileName(SaveDialog);
    if (!file) return;
    ExportTo(*file);
}

void TAddressDM::ExportTo(const std::string& fileName) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw TAddressBookError("Cannot create " + fileName + ": " + SystemReason());
    const auto& columns = ExportColumns();
    const auto& fields = ExportFields();
    std::string text;
    for (std::size_t i = 0; i < columns.size(); ++i) text += (i ? "," : "") + CsvValue(columns[i]);
    text += "\r\n";
    // Read in place: the window's current row stays where it is.
    TTable& book = cdsAdressBook;
    std::vector<int> indexes;
    for (std::size_t i = 0; i < fields.size(); ++i)
        indexes.push_back(book.FieldIndex(columns[i] == "Name"             ? "Name"
                                          : columns[i] == "E-mail Address" ? "DisplayEmail"
                                                                           : fields[i]));
    for (int recNo = 1; recNo <= book.RecordCount(); ++recNo) {
        for (std::size_t i = 0; i < indexes.size(); ++i)
            text += (i ? "," : "") + CsvValue(ValueToString(book.ValueAt(recNo, indexes[i])));
        text += "\r\n";
    }
    out << text;
    out.flush();
    if (!out) throw TAddressBookError("Cannot write " + fileName + ": " + SystemReason());
}
