#pragma once

#include "base/UserInterface.h"
#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class TCheckedComboBox;

// "Add/Change rule": the fields to test, the rule, its content and case switch.
class TChangeRuleForm : public QDialog {
public:
    TChangeRuleForm(const TRuleDialogInput& input, QWidget* parent = nullptr);
    ~TChangeRuleForm() override;

    // The dialog run modally: the answer, or nothing when cancelled.
    static std::optional<TRuleDialogResult> Ask(const TRuleDialogInput& input, QWidget* parent);
    TRuleDialogResult Answer() const;

private:
    void Evaluate();

    TQtFormComponent component_;
    TRuleDialogInput input_;
    TCheckedComboBox* fields_;
    QComboBox* rule_;
    QLineEdit* content_;
    QCheckBox* caseMatch_;
    QPushButton* ok_;
    bool asNew_ = false;
};
