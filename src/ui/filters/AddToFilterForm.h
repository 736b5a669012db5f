#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class TAddToFilter;
class TCheckedComboBox;

// "Add to filter": shows what the dialog's core found in the message and
// forwards the user's choices to it.
class TAddToFilterForm : public QDialog {
public:
    TAddToFilterForm(TAddToFilter& dialog, QWidget* parent = nullptr);
    ~TAddToFilterForm() override;

private:
    void Evaluate();
    void AddClicked();

    TQtFormComponent component_;
    TAddToFilter& dialog_;
    QCheckBox* fromCheck_;
    QLineEdit* fromValue_;
    QCheckBox* subjectCheck_;
    QLineEdit* subjectValue_;
    TCheckedComboBox* to_;
    TCheckedComboBox* cc_;
    QComboBox* category_;
    QPushButton* add_;
};
