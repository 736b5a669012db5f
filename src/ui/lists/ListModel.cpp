#include "ui/lists/ListModel.h"

#include "data/TTable.h"
#include "ui/qt/QtText.h"

TListModel::TListModel(TTable& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {
    title_ = ToQt(list_.FieldDef("name").displayLabel);
    rows_ = RowsShown();
    // The new row is edited in place: it shows each value set.
    subscription_ = list_.Subscribe([this](TTable&, TTable::TChange) { Refresh(); }, TTable::TInterest::NewRowValues);
}

TListModel::~TListModel() { list_.Unsubscribe(subscription_); }

int TListModel::RowsShown() const {
    return list_.RecordCount() + (list_.State() == TTable::TState::Insert ? 1 : 0);
}

int TListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

int TListModel::CurrentRow() const {
    if (list_.State() == TTable::TState::Insert) return list_.RecordCount();
    return list_.RecNo() - 1;
}

QVariant TListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    if (index.row() == list_.RecordCount()) return ToQt(list_.AsString("name"));
    return ToQt(ValueToString(list_.ValueAt(index.row() + 1, list_.FieldIndex("name"))));
}

// A value the list refuses (blank) leaves the row in edit mode; the view opens it again.
bool TListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    if (list_.State() != TTable::TState::Insert || index.row() != list_.RecordCount()) {
        if (list_.State() != TTable::TState::Browse && CurrentRow() != index.row() && !list_.Post()) return false;
        if (index.row() + 1 != list_.RecNo()) list_.SetRecNo(index.row() + 1);
        list_.Edit();
    }
    list_.SetValue("name", FromQt(value.toString()));
    if (list_.Post()) return true;
    if (OnRefused) OnRefused();
    return false;
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0) return title_;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void TListModel::SetTitle(const QString& title) {
    title_ = title;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void TListModel::Refresh() {
    const int shown = RowsShown();
    if (shown == rows_) {
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 0));
        return;
    }
    if (shown == rows_ + 1) {
        beginInsertRows({}, rows_, rows_);
        rows_ = shown;
        endInsertRows();
        return;
    }
    beginResetModel();
    rows_ = shown;
    endResetModel();
}
