#include "ui/addressbook/AddrMapping.h"

#include "ui/qt/DialogButtons.h"
#include "ui/qt/QtText.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TAddrMappingForm::TAddrMappingForm(const std::string& title, const std::vector<std::string>& fields, int chosen,
                                   bool checked, QWidget* parent)
    : QDialog(parent), component_(*this), fields_(fields) {
    setObjectName("AddrMappingForm");
    setWindowTitle("Change Mapping");
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel("Select an address book field for the text field:", this);
    prompt->setObjectName("Label1");
    layout->addWidget(prompt);
    auto* column = new QLabel(ToQt(title), this);
    column->setStyleSheet("font-weight: bold");
    layout->addWidget(column);
    list_ = new QListWidget(this);
    list_->setObjectName("FieldList");
    // The field titles are the file format's, never translated.
    KeepOutOfTranslation(*list_);
    for (const std::string& field : fields_) list_->addItem(ToQt(field));
    list_->setCurrentRow(chosen);
    layout->addWidget(list_, 1);
    import_ = new QCheckBox("Import this field", this);
    import_->setObjectName("ImportCheck");
    import_->setChecked(checked);
    layout->addWidget(import_);
    connect(AddOkCancel(*this, *layout), &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    setMinimumSize(320, 440);
    component_.Loaded();
}

TAddrMappingForm::~TAddrMappingForm() = default;

std::string TAddrMappingForm::Field() const {
    const int row = list_->currentRow();
    return row >= 0 && row < static_cast<int>(fields_.size()) ? fields_[static_cast<std::size_t>(row)] : std::string();
}

bool TAddrMappingForm::Checked() const { return import_->isChecked(); }
