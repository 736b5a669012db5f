#pragma once

#include <QObject>

class QTableView;
class TTable;

// Keeps a grid's current row and its table's current row in step, both ways.
// Leaving a row that its table refuses to store (a required field is empty)
// is told in an error box, and the grid goes back to that row.
class TGridRowFollower : public QObject {
public:
    TGridRowFollower(QTableView& grid, TTable& table);
    ~TGridRowFollower() override;

private:
    void GridMoved();
    void TableMoved();
    QTableView& grid_;
    TTable& table_;
    int subscription_ = 0;
    bool following_ = false;
};
