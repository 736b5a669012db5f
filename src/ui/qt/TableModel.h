#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "data/TField.h"

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

    // Shows these fields, in this order, instead of the visible ones.
    void SetColumns(const std::vector<std::string>& fields);
    // The field shown in a column; the column of a field, -1 when not shown.
    int FieldOf(int column) const;
    int ColumnOf(const std::string& field) const;
    // A column that shows a picture for its value instead of text.
    void SetPictureColumn(const std::string& field, std::function<QIcon(const TValue&)> picture);
    // A column title other than the field's label (a translation).
    void SetTitle(int column, const QString& title);
    // Rows whose boolean field is true are drawn grey with white text.
    void SetMarkField(const std::string& field);
    // The width the field asks for, in characters.
    int DisplayWidth(int column) const;
    TTable& Table() { return table_; }
    // While the condition holds (a scan fills the table), rows added reach
    // the view in one batch when the window gets to its events.
    void BatchInsertsWhile(std::function<bool()> condition);
    // Shows the rows added (and values changed) since the last batch.
    void CatchUp();

private:
    void TableChanged(int changeNumber);
    std::vector<int> columns_;
    std::map<int, std::function<QIcon(const TValue&)>> pictures_;
    std::map<int, QString> titles_;
    int markField_ = -1;
    TTable& table_;
    int subscription_ = 0;
    int rows_ = 0;
    std::function<bool()> batching_;
    bool catchUpPending_ = false;
    bool valuesChanged_ = false;
};
