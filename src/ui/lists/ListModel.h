#pragma once

#include <QAbstractTableModel>

#include <functional>

class TTable;

// The one column "name" of the friends list or the blacklist, editable in
// place. While a new row waits in the table's edit buffer it is shown as a
// last row, so that the user can type its value there.
class TListModel : public QAbstractTableModel {
public:
    explicit TListModel(TTable& list, QObject* parent = nullptr);
    ~TListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The row of the grid that the table's current row (or its new row) is on, -1 for none.
    int CurrentRow() const;
    void SetTitle(const QString& title);
    TTable& List() { return list_; }
    // After the list refused a typed value (its row stays in edit mode).
    std::function<void()> OnRefused;

private:
    int RowsShown() const;
    void Refresh();

    TTable& list_;
    int subscription_ = 0;
    int rows_ = 0;
    QString title_;
};
