#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

// "Find filter by name category": the text to look for.
class TFindCategoryForm : public QDialog {
public:
    explicit TFindCategoryForm(QWidget* parent = nullptr);
    ~TFindCategoryForm() override;

    // The dialog run modally: the text, or nothing when cancelled.
    static std::optional<std::string> Ask(QWidget* parent);
    std::string Text() const;

private:
    TQtFormComponent component_;
    QLineEdit* name_;
    QPushButton* find_;
};
