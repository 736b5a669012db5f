#pragma once

#include <string>
#include <vector>

class TAddressDM;
class TTable;

// The rules of the contact editor ("Property") without its widgets. It works
// on the module's table the way data-aware boxes do: a new contact is an
// appended row from the start, and the boxes write into the row being
// edited. The window shows the state and forwards what the user does; the
// module calls Ok or Cancel when the window has closed.
class TContactEditor {
public:
    enum class TMode { New, Edit };

    // New: appends a row, puts the hand-over address into the e-mail box and
    // the hand-over name into First. Edit: stands on the current row and
    // fills the address list from its Email.
    TContactEditor(TAddressDM& dm, TMode mode);
    // Cancels when neither Ok nor Cancel has run.
    ~TContactEditor();
    TContactEditor(const TContactEditor&) = delete;
    TContactEditor& operator=(const TContactEditor&) = delete;

    TMode Mode() const { return mode_; }
    // The "Summary" page is there only for an existing contact.
    bool SummaryVisible() const { return mode_ == TMode::Edit; }

    // ------------------------------------------------------------ bound boxes
    // The value of a field of the row being edited, as text.
    std::string Field(const std::string& name) const;
    // What a box bound to the field writes; puts the row into edit mode
    // first. Empty text leaves the field unset.
    void SetField(const std::string& name, const std::string& text);
    // The longest text a box of the field takes.
    int FieldSize(const std::string& name) const;

    // ------------------------------------------------------------ "Display:"
    // The display name in the formats 1 to 4 from the name boxes as they are.
    std::vector<std::string> DisplayChoices() const;
    // The chosen position, 0 to 3.
    int DisplayIndex = 0;

    // ------------------------------------------------------------ "Summary"
    // The display name (format Display + 1) and the default address of the
    // contact as it was when the editor opened.
    const std::string& SummaryName() const { return summaryName_; }
    const std::string& SummaryEmail() const { return summaryEmail_; }

    // ------------------------------------------------------------ e-mail addresses
    struct TEmail {
        std::string text;
        bool isDefault = false;  // carries the marker
    };
    // The box above the list (up to kEmailBoxSize characters).
    static constexpr int kEmailBoxSize = 100;
    std::string EmailBox;
    std::vector<TEmail> Emails;

    // "Add": the box's text, when not blank and confirmed, trimmed into the
    // list (the default when it is the first entry); the box is emptied.
    // True when added.
    bool AddEmail();
    // The end of an in-place edit of an entry: the text stays when it is not
    // blank and is confirmed, else the old text comes back. Returns the
    // entry's text afterwards.
    std::string EditEmail(int index, const std::string& text);
    // "Remove": the marker is not moved to another entry.
    void RemoveEmail(int index);
    // "Set as Default".
    void SetDefaultEmail(int index);
    // "Edit", "Remove" and "Set as Default" are available exactly when the list has entries.
    bool EmailCommandsEnabled() const { return !Emails.empty(); }

    // An address that the filter engine finds no e-mail address in is added
    // only when the user says so.
    static bool ConfirmEmailAddress(const std::string& text);

    // ------------------------------------------------------------ closing
    // "OK": Display, Email and DefaultEmail from the page "Name" (for a new
    // contact only when the list has entries), then the row is posted.
    // Throws TTableError when the book cannot be saved (the row stays posted).
    void Ok();
    // "Cancel": a new row is discarded, changes to an existing one undone.
    void Cancel();

private:
    void StoreEmails();

    TAddressDM& dm_;
    TTable& table_;
    TMode mode_;
    bool closed_ = false;
    std::string summaryName_;
    std::string summaryEmail_;
};
