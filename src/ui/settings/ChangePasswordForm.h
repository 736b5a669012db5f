#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;

// "Change password": the new password twice; "OK" closes only when they agree.
class TChangePasswordForm : public QDialog {
public:
    explicit TChangePasswordForm(QWidget* parent = nullptr);
    ~TChangePasswordForm() override;
    std::string NewPassword() const;

private:
    void OkClicked();
    void Retranslate();
    TQtFormComponent component_;
    QLabel* label1_;
    QLabel* label2_;
    QLineEdit* password1_;
    QLineEdit* password2_;
    TLanguageSubscription language_;
};
