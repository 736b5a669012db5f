#include "ui/settings/ChangePasswordForm.h"

#include "core/DataModule.h"
#include "ui/qt/DialogButtons.h"
#include "ui/qt/QtText.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TChangePasswordForm::TChangePasswordForm(QWidget* parent) : QDialog(parent), component_(*this) {
    setObjectName("frmChangePassword");
    setWindowTitle("Change password");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    label1_ = new QLabel("Password:", this);
    label2_ = new QLabel("Repeat password:", this);
    password1_ = new QLineEdit(this);
    password1_->setObjectName("Password1");
    password2_ = new QLineEdit(this);
    password2_->setObjectName("Password2");
    for (QLineEdit* box : {password1_, password2_}) {
        box->setEchoMode(QLineEdit::Password);
        box->setMinimumWidth(200);
    }
    form->addRow(label1_, password1_);
    form->addRow(label2_, password2_);
    layout->addLayout(form);
    connect(AddOkCancel(*this, *layout), &QPushButton::clicked, this, &TChangePasswordForm::OkClicked);
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { Retranslate(); });
    component_.Loaded();
}

TChangePasswordForm::~TChangePasswordForm() = default;

std::string TChangePasswordForm::NewPassword() const { return FromQt(password1_->text()); }

void TChangePasswordForm::OkClicked() {
    if (TDM::CheckChangePassword(FromQt(password1_->text()), FromQt(password2_->text()))) accept();
}

// The labels' keys are the boxes' names, not the labels'.
void TChangePasswordForm::Retranslate() {
    const TTranslator& translator = component_.Translator();
    label1_->setText(ToQt(translator.Translate("frmChangePassword.Password1", FromQt(label1_->text()))));
    label2_->setText(ToQt(translator.Translate("frmChangePassword.Password2", FromQt(label2_->text()))));
}
