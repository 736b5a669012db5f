#include "ui/filters/FindCategoryForm.h"

#include "filtering/FilterDialogs.h"
#include "ui/qt/QtText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFindCategoryForm::TFindCategoryForm(QWidget* parent) : QDialog(parent), component_(*this) {
    setObjectName("FindCategoryForm");
    setWindowTitle("Find filter by name category");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("Enter name category", this);
    label->setObjectName("Label1");
    name_ = new QLineEdit(this);
    name_->setObjectName("NameCategory");
    name_->setMinimumWidth(280);
    layout->addWidget(label);
    layout->addWidget(name_);
    auto* buttons = new QDialogButtonBox(this);
    find_ = buttons->addButton("&Find", QDialogButtonBox::AcceptRole);
    find_->setObjectName("btnFind");
    find_->setDefault(true);
    find_->setEnabled(false);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("btnCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(name_, &QLineEdit::textChanged, this,
            [this](const QString& text) { find_->setEnabled(FindCategoryEnabled(FromQt(text))); });
    component_.Loaded();
}

TFindCategoryForm::~TFindCategoryForm() = default;

std::string TFindCategoryForm::Text() const { return FromQt(name_->text()); }

std::optional<std::string> TFindCategoryForm::Ask(QWidget* parent) {
    TFindCategoryForm dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Text();
}
