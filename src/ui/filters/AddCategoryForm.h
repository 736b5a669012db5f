#pragma once

#include "base/UserInterface.h"
#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;

// "Add category", for a new category and for changing one.
class TAddCategory : public QDialog {
public:
    TAddCategory(const TCategoryDialogInput& input, QWidget* parent = nullptr);
    ~TAddCategory() override;

    // The dialog run modally: the answer, or nothing when cancelled.
    static std::optional<TCategoryDialogResult> Ask(const TCategoryDialogInput& input, QWidget* parent);
    TCategoryDialogResult Answer() const;

private:
    void Evaluate();

    TQtFormComponent component_;
    QLineEdit* name_;
    QComboBox* action_;
    QPushButton* ok_;
};
