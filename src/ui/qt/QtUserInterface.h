#pragma once

#include "base/UserInterface.h"

#include <QElapsedTimer>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

// The desktop's side of the user-interface port. Message boxes are
// task-modal; open and save dialogs take the core's filter strings. Tests set
// the next answers of message boxes and file dialogs instead of clicking them:
// a box with an answer waiting is recorded and not shown.
class TQtUserInterface : public TUserInterface {
public:
    struct TShownMessage {
        std::string text, caption;
        TMsgIcon icon;
        unsigned buttons;
    };
    // What a test scripts, and what every message box said.
    std::deque<TMsgResult> NextAnswers;
    std::deque<std::optional<std::string>> NextFiles;
    std::vector<TShownMessage> Shown;

    // A long run processes pending events (clicks, repaints) at most this
    // often, in milliseconds; tests that click at a given message set 0.
    int EventsInterval = 50;

    // The window that owns dialogs and message boxes (the main window once it exists).
    std::function<QWidget*()> Parent = [] { return static_cast<QWidget*>(nullptr); };

    // What the main window and the status window do for the core.
    std::function<void(const std::string&)> OnCaption;
    std::function<void(bool)> OnShowRetrievalStatus;
    std::function<void(bool)> OnShowStatusPanel;
    std::function<void(int, int)> OnProgress;
    std::function<void()> OnBoxesRefilled;
    std::function<void(bool, bool)> OnResetSelectionCounts;
    std::function<void()> OnCloseMainWindow;
    // The complaint window, made once at start-up.
    std::function<void(TComplaintForm&)> OnComplaintWindow;
    // The new-identity dialog, made once at start-up.
    std::function<std::optional<TNewIdentity>(TIdentityChooser&)> OnNewIdentity;

    TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                          unsigned buttons) override;
    void ProcessMessages() override;
    void SetCursor(TCursor cursor) override;
    std::optional<std::string> OpenFileName(const TFileDialog& dialog) override;
    std::optional<std::string> SaveFileName(const TFileDialog& dialog) override;
    std::string ClipboardText() override;
    void SetClipboardText(const std::string& text) override;
    void SetCaption(const std::string& caption) override;

    void ShowRetrievalStatus(bool visible) override;
    void ShowStatusPanel(bool visible) override;
    void SetProgress(int position, int maximum) override;
    void BoxesRefilled() override;
    void ResetSelectionCounts(bool inBox, bool delBox) override;
    bool ShowIdentityChooser(TIdentityChooser& chooser) override;
    std::optional<TNewIdentity> ShowNewIdentityDialog(TIdentityChooser& chooser) override;
    std::optional<std::string> ShowChangePasswordDialog() override;
    std::optional<TCategoryDialogResult> CategoryDialog(const TCategoryDialogInput& input) override;
    std::optional<TRuleDialogResult> RuleDialog(const TRuleDialogInput& input) override;
    std::optional<std::string> FindCategoryDialog() override;
    bool ShowAddToFilter(TAddToFilter& dialog) override;
    void ShowComplaintWindow(TComplaintForm& form) override;
    void ShowErrorMessageSender(TBatchErrorMessages& batch) override;
    void CloseMainWindow() override;

private:
    std::optional<std::string> FileName(const TFileDialog& dialog, bool save);
    bool waitCursor_ = false;
    QElapsedTimer lastEvents_;
};

// "Text files (*.txt)|*.txt|All files|*" as a Qt name filter list.
std::string QtNameFilters(const std::string& filter);
