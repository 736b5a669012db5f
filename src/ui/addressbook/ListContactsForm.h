#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QMenu;
class QTableView;
class TAddressDM;
class TTableModel;

// "Address Book": the contacts in a grid with the module's commands as
// buttons and menus. Everything it does is the module's.
class TListContacts : public QDialog {
public:
    explicit TListContacts(TAddressDM& dm, QWidget* parent = nullptr);
    ~TListContacts() override;

    QTableView* Grid() const { return grid_; }

private:
    void BuildMenuBar(QLayout& layout);
    void BuildGrid();
    QWidget* BuildButtons();
    void BuildPopupMenu();
    void CurrentRowToTable();
    void TableToCurrentRow();
    void ShowSortMarker();

    TQtFormComponent component_;
    TAddressDM& dm_;
    TTableModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QMenu* popup_ = nullptr;
    int subscription_ = 0;
    bool following_ = false;
};
