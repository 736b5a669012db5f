#pragma once

#include "ui/qt/CoalescedCall.h"
#include "ui/qt/QtComponents.h"

#include <QWidget>

#include <functional>
#include <vector>

class QMenu;
class QTableView;
class TDM;
class TListModel;
class TTable;

// The friends view and the blacklist view: a one-column grid of the list,
// editable in place, with several rows selectable, the buttons "Add" and
// "Remove", the Delete key and the pop-up menu of copy, paste, import and
// export. The list operations are the core's; this shows them.
class TSenderListFrame : public QWidget {
public:
    enum class TKind { Friends, BlackList };
    TSenderListFrame(TDM& dm, TKind kind, QWidget* parent = nullptr);
    ~TSenderListFrame() override;

    QTableView* Grid() const { return grid_; }
    QMenu* Menu() const { return menu_; }
    // The rows selected in the grid (1-based, in list order).
    std::vector<int> SelectedRecNos() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildButtons();
    void BuildMenu();
    void Guarded(const std::function<void()>& operation);
    void CurrentRowToTable();
    void FollowTable();
    void TableToCurrentRow();
    void EditPendingRow();
    void Retranslate();

    TQtFormComponent component_;
    TDM& dm_;
    TKind kind_;
    TTable& list_;
    TListModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QMenu* menu_ = nullptr;
    int subscription_ = 0;
    bool following_ = false;
    TCoalescedCall follow_{this, [this] { TableToCurrentRow(); }};
    TLanguageSubscription language_;
};
