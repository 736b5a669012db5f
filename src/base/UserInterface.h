#pragma once

#include <optional>
#include <string>
#include <vector>

// The core's only way to reach the user. The Qt library implements it for the
// desktop, tarnwick-cli for a terminal, tests with a scripted fake.

enum class TMsgIcon { None, Information, Warning, Error, Question };

enum TMsgButtons : unsigned {
    mbOK = 1u << 0,
    mbCancel = 1u << 1,
    mbYes = 1u << 2,
    mbNo = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbOKCancel = mbOK | mbCancel,
    mbYesNo = mbYes | mbNo,
    mbYesNoCancel = mbYes | mbNo | mbCancel,
};

enum class TMsgResult { OK, Cancel, Yes, No, Abort, Retry, Ignore };

enum class TCursor { Default, Wait };

class TIdentityChooser;

// What the new-identity dialog ("Password Dialog") hands back.
struct TNewIdentity {
    std::string Name;
    std::string Password;
};

struct TFileDialog {
    std::string title;
    std::string filter;         // "Text files (*.txt)|*.txt|All files|*"
    std::string defaultExt;     // "txt"
    std::string initialFile;
};

// The filter dialogs. Lists are given in id order, so a position is id - 1.
struct TCategoryDialogInput {
    std::vector<std::string> actionNames;
    std::string name;       // filled when changing a category
    int actionIndex = -1;   // selected action, -1 for none
    bool editing = false;
};
struct TCategoryDialogResult {
    std::string name;        // as typed; the caller trims it
    std::string actionName;  // the selected action's name
};
struct TRuleDialogInput {
    std::vector<std::string> fieldNames;
    std::vector<std::string> ruleNames;
    std::vector<int> checkedFields;  // positions in fieldNames
    int ruleIndex = -1;
    std::string content;
    bool caseMatch = true;
    bool editing = false;  // shows "&Add as new"
};
struct TRuleDialogResult {
    std::vector<std::string> checkedFieldNames;  // in item order
    std::string ruleName;
    std::string content;
    bool caseMatch = true;
    bool asNew = false;  // "&Add as new" instead of "&Ok"
};

class TUserInterface {
public:
    virtual ~TUserInterface() = default;

    // A task-modal message box; returns the button the user chose.
    virtual TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                                  unsigned buttons) = 0;
    // Lets the interface handle pending events during long work ("Stop" stays usable).
    virtual void ProcessMessages() = 0;
    virtual void SetCursor(TCursor cursor) = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<std::string> OpenFileName(const TFileDialog& dialog) = 0;
    virtual std::optional<std::string> SaveFileName(const TFileDialog& dialog) = 0;
    virtual std::string ClipboardText() = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    // The main window's caption.
    virtual void SetCaption(const std::string& caption) = 0;

    // Windows that core actions open modally are added below, one method each,
    // with a default that behaves as if the user cancelled.

    // The category dialog ("Add category", also for changing one). Nothing
    // when the user cancelled.
    virtual std::optional<TCategoryDialogResult> CategoryDialog(const TCategoryDialogInput&) { return std::nullopt; }
    // The expression dialog ("Add/Change rule"). Nothing when cancelled.
    virtual std::optional<TRuleDialogResult> RuleDialog(const TRuleDialogInput&) { return std::nullopt; }
    // The category search dialog: the entered text, or nothing when cancelled.
    virtual std::optional<std::string> FindCategoryDialog() { return std::nullopt; }
    // The add-to-filter dialog, filled (dialog.Show()); its "&Add to filter"
    // calls dialog.AddToFilter. True when it closed that way.
    virtual bool ShowAddToFilter(class TAddToFilter& /*dialog*/) { return false; }

    // What a scan or a processing run shows while it works: the retrieval
    // status window (not modal), the main window's status panel and progress bar.
    virtual void ShowRetrievalStatus(bool /*visible*/) {}
    virtual void ShowStatusPanel(bool /*visible*/) {}
    virtual void SetProgress(int /*position*/, int /*maximum*/) {}
    // A scan filled the boxes anew: the InBox view rebuilds its account tabs
    // and shows every row; both views reset their tick counts.
    virtual void BoxesRefilled() {}
    // The views' tick counts are taken anew from the rows they show: both at
    // the start of a scan (the boxes are empty then), the DelBox's at the start
    // and the end of Process Mail (rows that stayed keep their ticks).
    virtual void ResetSelectionCounts(bool /*inBox*/, bool /*delBox*/) {}
    // The complaint window, modal, for the message fields set in the form.
    virtual void ShowComplaintWindow(class TComplaintForm& /*form*/) {}
    // The batch sender of error messages ("Send error messages"), modal: it
    // runs batch.Run() once it is shown and closes with its "Close".
    virtual void ShowErrorMessageSender(class TBatchErrorMessages& /*batch*/) {}

    // The identity chooser ("Choose your identity"): shown after chooser.Show();
    // its buttons call chooser.Select/Continue/NewIdentity. True when it closed
    // accepted; the sign-in still takes only chooser.Chosen().
    virtual bool ShowIdentityChooser(TIdentityChooser&) { return false; }
    // The new-identity dialog, opened from the chooser; its "OK" closes it only
    // when chooser.CheckNewIdentity passes.
    virtual std::optional<TNewIdentity> ShowNewIdentityDialog(TIdentityChooser&) { return std::nullopt; }
    // The change-password dialog; its "OK" closes it only when
    // TDM::CheckChangePassword passes. The new password, or nothing.
    virtual std::optional<std::string> ShowChangePasswordDialog() { return std::nullopt; }
    // Closes the main window, which ends the program.
    virtual void CloseMainWindow() {}
};

// A user interface that shows nothing and answers every question with its
// first button; the core uses it until a real one is installed.
class TSilentUserInterface : public TUserInterface {
public:
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon, unsigned buttons) override;
    void ProcessMessages() override {}
    void SetCursor(TCursor) override {}
    std::optional<std::string> OpenFileName(const TFileDialog&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const TFileDialog&) override { return std::nullopt; }
    std::string ClipboardText() override { return clipboard_; }
    void SetClipboardText(const std::string& text) override { clipboard_ = text; }
    void SetCaption(const std::string&) override {}

private:
    std::string clipboard_;
};

// The installed interface; never null.
TUserInterface& UserInterface();

// Installs an interface for the lifetime of the scope, then restores the previous one.
class TUserInterfaceScope {
public:
    explicit TUserInterfaceScope(TUserInterface& ui);
    ~TUserInterfaceScope();
    TUserInterfaceScope(const TUserInterfaceScope&) = delete;
    TUserInterfaceScope& operator=(const TUserInterfaceScope&) = delete;

private:
    TUserInterface* previous_;
};
