#pragma once

#include "base/UserInterface.h"
#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <optional>

class QLineEdit;
class TIdentityChooser;

// "Password Dialog": the name and password of a new identity. Made once at
// start-up; its boxes are emptied every time it is shown.
class TPasswordDlg : public QDialog {
public:
    explicit TPasswordDlg(QWidget* parent = nullptr);
    ~TPasswordDlg() override;

    // Shows the dialog modally; its "OK" closes it only when the chooser's checks pass.
    std::optional<TNewIdentity> Ask(TIdentityChooser& chooser);

private:
    void OkClicked();
    TQtFormComponent component_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* repeat_;
    TIdentityChooser* chooser_ = nullptr;
};
