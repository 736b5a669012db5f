#include "ui/filters/AddToFilterForm.h"

#include "base/UserInterface.h"
#include "filtering/AddToFilter.h"
#include "ui/filters/CheckedComboBox.h"
#include "ui/qt/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TAddToFilterForm::TAddToFilterForm(TAddToFilter& dialog, QWidget* parent)
    : QDialog(parent), component_(*this), dialog_(dialog) {
    setObjectName("AddToFilterForm");
    setWindowTitle("Add to filter");
    auto* layout = new QVBoxLayout(this);
    auto* info = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    auto* infoText = new QLabel("Check fields which you want \nto add to the filter rule", this);
    infoText->setObjectName("Label1");
    info->addWidget(icon);
    info->addWidget(infoText, 1);
    layout->addLayout(info);

    auto* grid = new QGridLayout;
    const auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    fromCheck_ = new QCheckBox(this);
    fromCheck_->setObjectName("FromCheck");
    fromValue_ = new QLineEdit(ToQt(dialog.FromValue), this);
    fromValue_->setObjectName("FromValue");
    fromValue_->setMaxLength(200);
    subjectCheck_ = new QCheckBox(this);
    subjectCheck_->setObjectName("SubjectCheck");
    subjectValue_ = new QLineEdit(ToQt(dialog.SubjectValue), this);
    subjectValue_->setObjectName("SubjectValue");
    subjectValue_->setMinimumWidth(320);
    to_ = new TCheckedComboBox(this);
    to_->setObjectName("ToValue");
    to_->SetList(dialog.ToValue);
    cc_ = new TCheckedComboBox(this);
    cc_->setObjectName("CcValue");
    cc_->SetList(dialog.CcValue);
    category_ = new QComboBox(this);
    category_->setObjectName("CategoryName");
    for (const std::string& name : dialog.CategoryNames) category_->addItem(ToQt(name));
    category_->setCurrentIndex(dialog.CategoryIndex);
    grid->addWidget(fromCheck_, 0, 0);
    grid->addWidget(label("Label2", "From"), 0, 1);
    grid->addWidget(fromValue_, 0, 2);
    grid->addWidget(subjectCheck_, 1, 0);
    grid->addWidget(label("Label3", "Subject"), 1, 1);
    grid->addWidget(subjectValue_, 1, 2);
    grid->addWidget(label("Label4", "To"), 2, 1);
    grid->addWidget(to_, 2, 2);
    grid->addWidget(label("Label5", "Cc"), 3, 1);
    grid->addWidget(cc_, 3, 2);
    grid->addWidget(label("Label6", "Filter category"), 4, 1);
    grid->addWidget(category_, 4, 2);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    auto* more = new QPushButton("More", this);
    more->setObjectName("btnMore");
    more->setEnabled(false);
    add_ = new QPushButton("&Add to filter", this);
    add_->setObjectName("btnAddToFilter");
    add_->setEnabled(false);
    add_->setDefault(true);
    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setObjectName("btnCancel");
    buttons->addWidget(more);
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(add_, &QPushButton::clicked, this, &TAddToFilterForm::AddClicked);
    for (QCheckBox* check : {fromCheck_, subjectCheck_}) connect(check, &QCheckBox::toggled, this, &TAddToFilterForm::Evaluate);
    for (QLineEdit* edit : {fromValue_, subjectValue_}) connect(edit, &QLineEdit::textChanged, this, &TAddToFilterForm::Evaluate);
    connect(category_, &QComboBox::currentIndexChanged, this, &TAddToFilterForm::Evaluate);
    to_->OnChange = [this] { Evaluate(); };
    cc_->OnChange = [this] { Evaluate(); };
    Evaluate();
    component_.Loaded();
}

TAddToFilterForm::~TAddToFilterForm() {
    to_->OnChange = nullptr;
    cc_->OnChange = nullptr;
}

void TAddToFilterForm::Evaluate() {
    dialog_.FromCheck = fromCheck_->isChecked();
    dialog_.FromValue = FromQt(fromValue_->text());
    dialog_.SubjectCheck = subjectCheck_->isChecked();
    dialog_.SubjectValue = FromQt(subjectValue_->text());
    dialog_.CategoryIndex = category_->currentIndex();
    add_->setEnabled(dialog_.AddEnabled());
}

void TAddToFilterForm::AddClicked() {
    Evaluate();
    try {
        if (dialog_.AddToFilter()) accept();
    } catch (const std::exception& error) {
        UserInterface().MessageBox(error.what(), "Tarnwick", TMsgIcon::Error, mbOK);
    }
}
