#include "ui/addressbook/AddrBookImport.h"

#include "addressbook/AddressImport.h"
#include "ui/addressbook/AddrMapping.h"
#include "ui/qt/QtText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TAddrImportForm::TAddrImportForm(TAddressImport& import, QWidget* parent)
    : QDialog(parent), component_(*this), import_(import) {
    setObjectName("AddrImportForm");
    setWindowTitle("AddressBook Import (CSV)");
    auto* layout = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    auto* open = new QPushButton("OpenFile", this);
    open->setObjectName("OpenFileButton");
    open->setAutoDefault(false);
    fileName_ = new QLineEdit(this);
    fileName_->setObjectName("FileNameEdit");
    fileName_->setReadOnly(true);
    fileRow->addWidget(open);
    fileRow->addWidget(fileName_, 1);
    layout->addLayout(fileRow);

    mappings_ = new QTreeWidget(this);
    mappings_->setObjectName("MappingList");
    mappings_->setRootIsDecorated(false);
    mappings_->setHeaderLabels({"Text Field", "Address Book Field"});
    mappings_->header()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(mappings_, 1);

    auto* buttons = new QHBoxLayout;
    auto* change = new QPushButton("Change Mapping ...", this);
    change->setObjectName("ChangeMappingButton");
    change->setAutoDefault(false);
    importButton_ = new QPushButton("Import", this);
    importButton_->setObjectName("ImportButton");
    importButton_->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelButton");
    cancel->setAutoDefault(false);
    buttons->addWidget(change);
    buttons->addStretch();
    buttons->addWidget(importButton_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(open, &QPushButton::clicked, this, &TAddrImportForm::ChooseFile);
    connect(change, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* item = mappings_->currentItem()) ChangeMapping(mappings_->indexOfTopLevelItem(item));
    });
    connect(mappings_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ChangeMapping(mappings_->indexOfTopLevelItem(item)); });
    connect(mappings_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 0) CheckChanged(mappings_->indexOfTopLevelItem(item), item->checkState(0) == Qt::Checked);
    });
    connect(importButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ShowMappings();
    setMinimumSize(460, 380);
    component_.Loaded();
}

TAddrImportForm::~TAddrImportForm() = default;

void TAddrImportForm::ChooseFile() {
    if (import_.ChooseFile()) ShowMappings();
}

void TAddrImportForm::ShowMappings() {
    showing_ = true;
    fileName_->setText(QString::fromStdString(import_.FileName()));
    const int current = mappings_->indexOfTopLevelItem(mappings_->currentItem());
    mappings_->clear();
    for (const TAddressImport::TMapping& mapping : import_.Mappings) {
        auto* item = new QTreeWidgetItem(mappings_, {ToQt(mapping.title), ToQt(mapping.field)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, mapping.checked ? Qt::Checked : Qt::Unchecked);
    }
    if (mappings_->topLevelItemCount() > 0)
        mappings_->setCurrentItem(mappings_->topLevelItem(std::clamp(current, 0, mappings_->topLevelItemCount() - 1)));
    importButton_->setEnabled(import_.CanImport());
    showing_ = false;
}

void TAddrImportForm::CheckChanged(int row, bool checked) {
    if (showing_ || row < 0 || row >= static_cast<int>(import_.Mappings.size())) return;
    const TAddressImport::TMapping& mapping = import_.Mappings[static_cast<std::size_t>(row)];
    import_.SetMapping(row, mapping.field, checked);
}

void TAddrImportForm::ChangeMapping(int row) {
    if (row < 0 || row >= static_cast<int>(import_.Mappings.size())) return;
    TAddrMappingForm dialog(import_.Mappings[static_cast<std::size_t>(row)].title, TAddressImport::MappingChoices(),
                            import_.MappingChoice(row), import_.Mappings[static_cast<std::size_t>(row)].checked, this);
    if (dialog.exec() != QDialog::Accepted) return;
    import_.SetMapping(row, dialog.Field(), dialog.Checked());
    ShowMappings();
}
