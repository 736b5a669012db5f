#include "addressbook/ContactEditor.h"

#include "addressbook/Contacts.h"
#include "addressbook/DMAddress.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "filtering/FilterEngine.h"
#include "parsing/TextOps.h"

TContactEditor::TContactEditor(TAddressDM& dm, TMode mode)
    : dm_(dm), table_(dm.cdsAdressBook), mode_(mode) {
    if (mode_ == TMode::New) {
        table_.Append();
        if (!TrimText(dm_.NewContactEmail).empty()) EmailBox = dm_.NewContactEmail;
        if (!TrimText(dm_.NewContactName).empty()) SetField("First", dm_.NewContactName);
        return;
    }
    const std::int64_t display = table_.AsInteger("Display");
    DisplayIndex = display >= 0 && display <= 3 ? static_cast<int>(display) : 0;
    const std::string list = table_.AsString("Email");
    const std::int64_t defaultEmail = table_.AsInteger("DefaultEmail");
    const std::vector<std::string> entries = EmailListEntries(list);
    for (std::size_t i = 0; i < entries.size(); ++i)
        Emails.push_back({entries[i], static_cast<std::int64_t>(i) == defaultEmail});
    summaryName_ = ContactDisplayName(static_cast<int>(display) + 1, Field("First"), Field("Middle"), Field("Last"),
                                      Field("Nickname"));
    summaryEmail_ = EmailListEntry(list, static_cast<int>(defaultEmail));
}

TContactEditor::~TContactEditor() {
    if (closed_) return;
    try {
        Cancel();
    } catch (...) {
    }
}

std::string TContactEditor::Field(const std::string& name) const { return table_.AsString(name); }

void TContactEditor::SetField(const std::string& name, const std::string& text) {
    if (table_.State() == TTable::TState::Browse) table_.Edit();
    std::string kept = text;
    if (const int size = FieldSize(name); size > 0 && kept.size() > static_cast<std::size_t>(size))
        kept.resize(static_cast<std::size_t>(size));
    table_.SetAsString(name, kept);
}

int TContactEditor::FieldSize(const std::string& name) const { return table_.FieldDef(name).size; }

std::vector<std::string> TContactEditor::DisplayChoices() const {
    std::vector<std::string> choices;
    for (int format = 1; format <= 4; ++format)
        choices.push_back(ContactDisplayName(format, Field("First"), Field("Middle"), Field("Last"), Field("Nickname")));
    return choices;
}

bool TContactEditor::ConfirmEmailAddress(const std::string& text) {
    if (!TFilter::ExtractAddress(text).empty()) return true;
    // Two keys: a language file holds one line per text.
    const std::string question =
        Tr("AdressProperty.NotValidAddress",
           "The e-mail address you have entered is not a valid Internet e-mail address. ") +
        "\n" + Tr("AdressProperty.AddAnyway", "Do you still want to add this address?");
    return UserInterface().MessageBox(question, Tr("AdressProperty.Properties", "Properties"), TMsgIcon::Warning,
                                      mbYesNo) == TMsgResult::Yes;
}

bool TContactEditor::AddEmail() {
    if (TrimText(EmailBox).empty() || !ConfirmEmailAddress(EmailBox)) return false;
    Emails.push_back({TrimText(EmailBox), Emails.empty()});
    EmailBox.clear();
    return true;
}

std::string TContactEditor::EditEmail(int index, const std::string& text) {
    if (index < 0 || index >= static_cast<int>(Emails.size())) return {};
    TEmail& entry = Emails[static_cast<std::size_t>(index)];
    if (!TrimText(text).empty() && ConfirmEmailAddress(text)) entry.text = text;
    return entry.text;
}

void TContactEditor::RemoveEmail(int index) {
    if (index < 0 || index >= static_cast<int>(Emails.size())) return;
    Emails.erase(Emails.begin() + index);
}

void TContactEditor::SetDefaultEmail(int index) {
    if (index < 0 || index >= static_cast<int>(Emails.size())) return;
    for (std::size_t i = 0; i < Emails.size(); ++i) Emails[i].isDefault = static_cast<int>(i) == index;
}

void TContactEditor::StoreEmails() {
    std::vector<std::string> entries;
    std::int64_t defaultEmail = -1;
    for (std::size_t i = 0; i < Emails.size(); ++i) {
        entries.push_back(Emails[i].text);
        if (Emails[i].isDefault && defaultEmail < 0) defaultEmail = static_cast<std::int64_t>(i);
    }
    table_.SetValue("Display", std::int64_t{DisplayIndex < 0 ? 0 : DisplayIndex});
    const std::string list = JoinEmailList(entries);
    table_.SetValue("Email", list.empty() ? TValue{} : TValue{list});
    table_.SetValue("DefaultEmail", std::max<std::int64_t>(defaultEmail, 0));
}

void TContactEditor::Ok() {
    closed_ = true;
    if (mode_ == TMode::New) {
        if (table_.State() == TTable::TState::Browse) table_.Append();
        if (!Emails.empty()) StoreEmails();
    } else {
        table_.Edit();
        StoreEmails();
    }
    table_.Post();
}

void TContactEditor::Cancel() {
    closed_ = true;
    table_.Cancel();
}
