#include "ui/qt/QtUserInterface.h"

#include "ui/complaints/StatusErrorMessageSend.h"
#include "ui/filters/AddCategoryForm.h"
#include "ui/filters/AddToFilterForm.h"
#include "ui/filters/ChangeRuleForm.h"
#include "ui/filters/FindCategoryForm.h"
#include "ui/qt/QtText.h"
#include "ui/settings/ChangePasswordForm.h"
#include "ui/settings/IdentitiesForm.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon QtIcon(TMsgIcon icon) {
    switch (icon) {
        case TMsgIcon::Information: return QMessageBox::Information;
        case TMsgIcon::Warning: return QMessageBox::Warning;
        case TMsgIcon::Error: return QMessageBox::Critical;
        case TMsgIcon::Question: return QMessageBox::Question;
        case TMsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct TButton {
    unsigned flag;
    QMessageBox::StandardButton qt;
    TMsgResult result;
};
constexpr TButton kButtons[] = {
    {mbOK, QMessageBox::Ok, TMsgResult::OK},          {mbYes, QMessageBox::Yes, TMsgResult::Yes},
    {mbNo, QMessageBox::No, TMsgResult::No},          {mbCancel, QMessageBox::Cancel, TMsgResult::Cancel},
    {mbAbort, QMessageBox::Abort, TMsgResult::Abort}, {mbRetry, QMessageBox::Retry, TMsgResult::Retry},
    {mbIgnore, QMessageBox::Ignore, TMsgResult::Ignore},
};

TMsgResult FirstButton(unsigned buttons) {
    for (const TButton& b : kButtons)
        if (buttons & b.flag) return b.result;
    return TMsgResult::OK;
}

}  // namespace

std::string QtNameFilters(const std::string& filter) {
    // Pairs of description and pattern; a pattern list uses ";" where Qt wants blanks.
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size()) {
        const std::size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        if (!result.empty()) result += ";;";
        result += parts[i] + " (" + patterns + ")";
    }
    return result;
}

TMsgResult TQtUserInterface::MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                                        unsigned buttons) {
    Shown.push_back({text, caption, icon, buttons});
    if (!NextAnswers.empty()) {
        const TMsgResult answer = NextAnswers.front();
        NextAnswers.pop_front();
        return answer;
    }
    QMessageBox box(QtIcon(icon), ToQt(caption), ToQt(text), QMessageBox::NoButton, Parent());
    box.setWindowModality(Qt::ApplicationModal);
    for (const TButton& b : kButtons)
        if (buttons & b.flag) box.addButton(b.qt);
    // The cursor of long work must not hide that a question waits.
    const bool waiting = waitCursor_;
    if (waiting) QApplication::restoreOverrideCursor();
    const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    if (waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const TButton& b : kButtons)
        if (b.qt == chosen) return b.result;
    // Closed by the title bar: the box's cancel, or its only button.
    return buttons & mbCancel ? TMsgResult::Cancel : FirstButton(buttons);
}

// A scan asks after every message; the window answers clicks and repaints
// its views at most every 50 ms, or the painting would cost more than the scan.
void TQtUserInterface::ProcessMessages() {
    if (lastEvents_.isValid() && lastEvents_.elapsed() < EventsInterval) return;
    QCoreApplication::processEvents();
    lastEvents_.restart();
}

void TQtUserInterface::SetCursor(TCursor cursor) {
    const bool wait = cursor == TCursor::Wait;
    if (wait == waitCursor_) return;
    waitCursor_ = wait;
    if (wait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::optional<std::string> TQtUserInterface::FileName(const TFileDialog& dialog, bool save) {
    if (!NextFiles.empty()) {
        auto answer = NextFiles.front();
        NextFiles.pop_front();
        return answer;
    }
    QFileDialog box(Parent(), ToQt(dialog.title), QString(), ToQt(QtNameFilters(dialog.filter)));
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setDefaultSuffix(ToQt(dialog.defaultExt));
    if (!dialog.initialFile.empty()) box.selectFile(ToQt(dialog.initialFile));
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return std::nullopt;
    // File names are the system's, not text of the code page.
    return box.selectedFiles().first().toStdString();
}

std::optional<std::string> TQtUserInterface::OpenFileName(const TFileDialog& dialog) { return FileName(dialog, false); }

std::optional<std::string> TQtUserInterface::SaveFileName(const TFileDialog& dialog) { return FileName(dialog, true); }

std::string TQtUserInterface::ClipboardText() { return FromQt(QGuiApplication::clipboard()->text()); }

void TQtUserInterface::SetClipboardText(const std::string& text) { QGuiApplication::clipboard()->setText(ToQt(text)); }

void TQtUserInterface::SetCaption(const std::string& caption) {
    if (OnCaption) OnCaption(caption);
}

void TQtUserInterface::ShowRetrievalStatus(bool visible) {
    if (OnShowRetrievalStatus) OnShowRetrievalStatus(visible);
}

void TQtUserInterface::ShowStatusPanel(bool visible) {
    if (OnShowStatusPanel) OnShowStatusPanel(visible);
}

void TQtUserInterface::SetProgress(int position, int maximum) {
    if (OnProgress) OnProgress(position, maximum);
}

void TQtUserInterface::BoxesRefilled() {
    if (OnBoxesRefilled) OnBoxesRefilled();
}

void TQtUserInterface::ResetSelectionCounts(bool inBox, bool delBox) {
    if (OnResetSelectionCounts) OnResetSelectionCounts(inBox, delBox);
}

bool TQtUserInterface::ShowIdentityChooser(TIdentityChooser& chooser) {
    TIdentitiesForm form(chooser, Parent());
    return form.exec() == QDialog::Accepted;
}

std::optional<TNewIdentity> TQtUserInterface::ShowNewIdentityDialog(TIdentityChooser& chooser) {
    return OnNewIdentity ? OnNewIdentity(chooser) : std::nullopt;
}

std::optional<std::string> TQtUserInterface::ShowChangePasswordDialog() {
    TChangePasswordForm form(Parent());
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return form.NewPassword();
}

std::optional<TCategoryDialogResult> TQtUserInterface::CategoryDialog(const TCategoryDialogInput& input) {
    return TAddCategory::Ask(input, Parent());
}

std::optional<TRuleDialogResult> TQtUserInterface::RuleDialog(const TRuleDialogInput& input) {
    return TChangeRuleForm::Ask(input, Parent());
}

std::optional<std::string> TQtUserInterface::FindCategoryDialog() { return TFindCategoryForm::Ask(Parent()); }

bool TQtUserInterface::ShowAddToFilter(TAddToFilter& dialog) {
    TAddToFilterForm form(dialog, Parent());
    return form.exec() == QDialog::Accepted;
}

void TQtUserInterface::ShowComplaintWindow(TComplaintForm& form) {
    if (OnComplaintWindow) OnComplaintWindow(form);
}

void TQtUserInterface::ShowErrorMessageSender(TBatchErrorMessages& batch) {
    TStatusErrorMessageSend window(batch, Parent());
    window.exec();
}

void TQtUserInterface::CloseMainWindow() {
    if (OnCloseMainWindow) OnCloseMainWindow();
}
