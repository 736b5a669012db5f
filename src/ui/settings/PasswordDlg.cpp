#include "ui/settings/PasswordDlg.h"

#include "core/IdentityChooser.h"
#include "ui/qt/DialogButtons.h"
#include "ui/qt/QtText.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* Box(QWidget* parent, const char* name, bool secret) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    if (secret) box->setEchoMode(QLineEdit::Password);
    box->setMinimumWidth(200);
    return box;
}

QLabel* Label(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

}  // namespace

TPasswordDlg::TPasswordDlg(QWidget* parent) : QDialog(parent), component_(*this) {
    setObjectName("PasswordDlg");
    setWindowTitle("Password Dialog");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_ = Box(this, "Name", false);
    password_ = Box(this, "Password", true);
    repeat_ = Box(this, "RePassword", true);
    form->addRow(Label(this, "Label1", "Name:"), name_);
    form->addRow(Label(this, "Label2", "Password:"), password_);
    form->addRow(Label(this, "Label3", "Repeat password:"), repeat_);
    layout->addLayout(form);
    connect(AddOkCancel(*this, *layout), &QPushButton::clicked, this, &TPasswordDlg::OkClicked);
    component_.Loaded();
}

TPasswordDlg::~TPasswordDlg() = default;

std::optional<TNewIdentity> TPasswordDlg::Ask(TIdentityChooser& chooser) {
    chooser_ = &chooser;
    for (QLineEdit* box : {name_, password_, repeat_}) box->clear();
    name_->setFocus();
    const int result = exec();
    chooser_ = nullptr;
    if (result != QDialog::Accepted) return std::nullopt;
    return TNewIdentity{FromQt(name_->text()), FromQt(password_->text())};
}

void TPasswordDlg::OkClicked() {
    if (chooser_ && chooser_->CheckNewIdentity(FromQt(name_->text()), FromQt(password_->text()), FromQt(repeat_->text())))
        accept();
}
