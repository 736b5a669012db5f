#pragma once

#include "addressbook/DMAddress.h"

#include <functional>

class QWidget;

// The address book's windows on the desktop, each modal over Parent().
class TQtAddressBookWindows : public TAddressBookWindows {
public:
    std::function<QWidget*()> Parent = [] { return static_cast<QWidget*>(nullptr); };

    void ShowContactList(TAddressDM& dm) override;
    bool ShowContactEditor(TContactEditor& editor) override;
    bool ShowImportDialog(TAddressImport& import) override;

private:
    // A window opened from another one belongs to that one.
    QWidget* Owner() const;
};
