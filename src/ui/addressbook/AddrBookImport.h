#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class TAddressImport;

// "AddressBook Import (CSV)": the chosen file and the mapping of its columns,
// over a TAddressImport, which does the work once the dialog is accepted.
class TAddrImportForm : public QDialog {
public:
    explicit TAddrImportForm(TAddressImport& import, QWidget* parent = nullptr);
    ~TAddrImportForm() override;

    // The mapping dialog for a row of the list; a test answers it.
    void ChangeMapping(int row);

private:
    void ChooseFile();
    void ShowMappings();
    void CheckChanged(int row, bool checked);

    TQtFormComponent component_;
    TAddressImport& import_;
    QLineEdit* fileName_ = nullptr;
    QTreeWidget* mappings_ = nullptr;
    QPushButton* importButton_ = nullptr;
    bool showing_ = false;
};
