#include "ui/filters/AddCategoryForm.h"

#include "filtering/FilterDialogs.h"
#include "ui/qt/QtText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAddCategory::TAddCategory(const TCategoryDialogInput& input, QWidget* parent) : QDialog(parent), component_(*this) {
    setObjectName("AddCategory");
    setWindowTitle("Add category");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* nameLabel = new QLabel("Category name", this);
    nameLabel->setObjectName("Label1");
    name_ = new QLineEdit(this);
    name_->setObjectName("CategoryName");
    name_->setMaxLength(100);
    name_->setMinimumWidth(260);
    auto* actionLabel = new QLabel("Action", this);
    actionLabel->setObjectName("Label2");
    action_ = new QComboBox(this);
    action_->setObjectName("Action");
    KeepOutOfTranslation(*action_);
    for (const std::string& name : input.actionNames) action_->addItem(ToQt(name));
    action_->setCurrentIndex(input.actionIndex);
    name_->setText(ToQt(input.name));
    form->addRow(nameLabel, name_);
    form->addRow(actionLabel, action_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton("&Ok", QDialogButtonBox::AcceptRole);
    ok_->setObjectName("btnOk");
    ok_->setDefault(true);
    ok_->setEnabled(false);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("btnCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(name_, &QLineEdit::textChanged, this, &TAddCategory::Evaluate);
    connect(action_, &QComboBox::currentIndexChanged, this, &TAddCategory::Evaluate);
    Evaluate();
    component_.Loaded();
}

TAddCategory::~TAddCategory() = default;

void TAddCategory::Evaluate() { ok_->setEnabled(CategoryOkEnabled(FromQt(name_->text()), action_->currentIndex())); }

TCategoryDialogResult TAddCategory::Answer() const {
    return {FromQt(name_->text()), FromQt(action_->currentText())};
}

std::optional<TCategoryDialogResult> TAddCategory::Ask(const TCategoryDialogInput& input, QWidget* parent) {
    TAddCategory dialog(input, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Answer();
}
