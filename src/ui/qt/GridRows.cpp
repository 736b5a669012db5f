#include "ui/qt/GridRows.h"

#include "data/TTable.h"
#include "ui/qt/Guarded.h"

#include <QTableView>

#include <algorithm>

TGridRowFollower::TGridRowFollower(QTableView& grid, TTable& table) : QObject(&grid), grid_(grid), table_(table) {
    connect(grid_.selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { GridMoved(); });
    subscription_ = table_.Subscribe([this](TTable&, TTable::TChange change) {
        if (change == TTable::TChange::Scroll || change == TTable::TChange::Reset || change == TTable::TChange::State)
            TableMoved();
    });
    TableMoved();
}

TGridRowFollower::~TGridRowFollower() { table_.Unsubscribe(subscription_); }

void TGridRowFollower::GridMoved() {
    if (following_) return;
    const int row = grid_.currentIndex().row();
    if (row < 0 || row + 1 == table_.RecNo()) return;
    if (!RunReportingErrors([&] { table_.SetRecNo(row + 1); })) TableMoved();
}

void TGridRowFollower::TableMoved() {
    const int recNo = table_.RecNo();
    if (recNo < 1 || grid_.currentIndex().row() == recNo - 1 || !grid_.model()) return;
    following_ = true;
    grid_.setCurrentIndex(grid_.model()->index(recNo - 1, std::max(0, grid_.currentIndex().column())));
    following_ = false;
}
