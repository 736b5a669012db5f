#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QListWidget;

// "Change Mapping": the address book field for one column of a CSV file,
// and whether the column is imported.
class TAddrMappingForm : public QDialog {
public:
    TAddrMappingForm(const std::string& title, const std::vector<std::string>& fields, int chosen, bool checked,
                     QWidget* parent = nullptr);
    ~TAddrMappingForm() override;

    std::string Field() const;
    bool Checked() const;

private:
    TQtFormComponent component_;
    std::vector<std::string> fields_;
    QListWidget* list_ = nullptr;
    QCheckBox* import_ = nullptr;
};
