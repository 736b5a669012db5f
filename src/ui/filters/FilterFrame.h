#pragma once

#include "ui/qt/QtComponents.h"

#include <QWidget>

class QMenu;
class QTableView;
class TFilterDM;
class TTable;
class TTableModel;

// The filter screen: the categories above, the expressions of the current
// category below, each grid with its buttons, pop-up menu and keys, all bound
// to the filter module's actions.
class TFilterFrame : public QWidget {
public:
    explicit TFilterFrame(TFilterDM& filters, QWidget* parent = nullptr);
    ~TFilterFrame() override;

    QTableView* CategoryGrid() const { return categories_.grid; }
    QTableView* RuleGrid() const { return rules_.grid; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One grid over a table with its three key actions.
    struct TGrid {
        TTable* table = nullptr;
        TTableModel* model = nullptr;
        QTableView* grid = nullptr;
        QMenu* menu = nullptr;
        const char* add = nullptr;
        const char* edit = nullptr;
        const char* remove = nullptr;
        int subscription = 0;
        bool following = false;
    };
    void BuildGrid(TGrid& grid, TTable& table, const char* name);
    QWidget* BuildButtons(const char* panelName, const std::vector<std::pair<const char*, const char*>>& buttons);
    void BuildMenu(TGrid& grid, const std::vector<const char*>& actions);
    void CurrentRowToTable(TGrid& grid);
    void TableToCurrentRow(TGrid& grid);
    void Run(const char* action);

    TQtFormComponent component_;
    TFilterDM& filters_;
    TGrid categories_;
    TGrid rules_;
};

// The two 10 by 10 pictures of the "Case" column: a ticked and an empty check box.
QIcon CasePicture(bool ticked);
