#include "ui/addressbook/QtAddressBookWindows.h"

#include "ui/addressbook/AddrBookImport.h"
#include "ui/addressbook/AddressPropertyForm.h"
#include "ui/addressbook/ListContactsForm.h"

#include <QApplication>

QWidget* TQtAddressBookWindows::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return Parent();
}

void TQtAddressBookWindows::ShowContactList(TAddressDM& dm) {
    TListContacts window(dm, Owner());
    window.exec();
}

bool TQtAddressBookWindows::ShowContactEditor(TContactEditor& editor) {
    TAdressProperty window(editor, Owner());
    return window.exec() == QDialog::Accepted;
}

bool TQtAddressBookWindows::ShowImportDialog(TAddressImport& import) {
    TAddrImportForm window(import, Owner());
    return window.exec() == QDialog::Accepted;
}
