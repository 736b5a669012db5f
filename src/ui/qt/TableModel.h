#pragma once

#include <QAbstractTableModel>

class TTable;

// The one model over a core table that every grid uses: the visible fields in
// the table's column order with their labels and widths, values as text,
// check boxes for booleans; the table's notifications become model signals.
// The table must outlive the model.
class TTableModel : public QAbstractTableModel {
public:
    explicit TTableModel(TTable& table, QObject* parent = nullptr);
    ~TTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The field shown in a column.
    int FieldOf(int column) const;
    // The width the field asks for, in characters.
    int DisplayWidth(int column) const;
    TTable& Table() { return table_; }

private:
    void TableChanged(int change);
    std::vector<int> columns_;
    TTable& table_;
    int subscription_ = 0;
    int rows_ = 0;
};
