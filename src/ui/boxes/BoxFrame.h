#pragma once

#include <string>

#include "core/BoxView.h"
#include "ui/qt/CoalescedCall.h"
#include "ui/qt/QtComponents.h"

#include <QWidget>

class QMenu;
class QPlainTextEdit;
class QTabBar;
class QTableView;
class TDM;
class TTableModel;

// The InBox or the DelBox view: the grid over the box, the buttons, the
// header pane, the pop-up menu and (InBox) the account tabs. Every rule is
// the core view's; this shows it and forwards the clicks.
class TBoxFrame : public QWidget {
public:
    TBoxFrame(TDM& dm, TBoxView::TKind kind, QWidget* parent = nullptr);
    ~TBoxFrame() override;

    TBoxView& View() { return view_; }
    QTableView* Grid() const { return grid_; }
    QTabBar* Tabs() const { return tabs_; }
    // After a scan: the account tabs anew, every row shown.
    void RebuildTabs();
    // The rows a scan added in the grid now, not when the window next gets to its events.
    void ShowAddedRows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildGrid();
    QWidget* BuildButtons();
    void BuildMenu();
    void CurrentRowToTable();
    void TableToCurrentRow();
    void ShowHeader();
    void ShowSortMarker();
    void Retranslate();

    TQtFormComponent component_;
    TDM& dm_;
    TBoxView view_;
    TTableModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    std::string shownHeader_;
    TCoalescedCall headerUpdate_{this, [this] { ShowHeader(); }};
    QMenu* menu_ = nullptr;
    int subscription_ = 0;
    bool following_ = false;
    TLanguageSubscription language_;
};
