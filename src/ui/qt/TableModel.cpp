#include "ui/qt/TableModel.h"

#include "data/TTable.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"
#include "ui/qt/QtText.h"

#include <QColor>
#include <QTimer>

namespace {

QString Text(const TFieldDef& field, const TValue& value) {
    if (IsNull(value)) return {};
    if (const auto* text = std::get_if<std::string>(&value)) return ToQt(*text);
    if (const auto* number = std::get_if<std::int64_t>(&value)) return QString::number(*number);
    if (const auto* real = std::get_if<double>(&value))
        return field.type == TFieldType::DateTime ? ToQt(UserDateTimeText(*real)) : QString::number(*real);
    return {};
}

}  // namespace

TTableModel::TTableModel(TTable& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {
    for (int field : table.ColumnOrder())
        if (table.Fields()[field].visible) columns_.push_back(field);
    rows_ = table.RecordCount();
    subscription_ = table.Subscribe([this](TTable&, TTable::TChange change) { TableChanged(static_cast<int>(change)); });
}

TTableModel::~TTableModel() { table_.Unsubscribe(subscription_); }

int TTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

void TTableModel::SetColumns(const std::vector<std::string>& fields) {
    beginResetModel();
    columns_.clear();
    for (const std::string& field : fields) columns_.push_back(table_.FieldIndex(field));
    titles_.clear();
    endResetModel();
}

int TTableModel::FieldOf(int column) const { return columns_.at(static_cast<std::size_t>(column)); }

int TTableModel::ColumnOf(const std::string& field) const {
    const int index = table_.FieldIndex(field);
    for (std::size_t c = 0; c < columns_.size(); ++c)
        if (columns_[c] == index) return static_cast<int>(c);
    return -1;
}

void TTableModel::SetPictureColumn(const std::string& field, std::function<QIcon(const TValue&)> picture) {
    pictures_[table_.FieldIndex(field)] = std::move(picture);
}

void TTableModel::SetTitle(int column, const QString& title) {
    titles_[column] = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TTableModel::SetMarkField(const std::string& field) { markField_ = table_.FieldIndex(field); }

int TTableModel::DisplayWidth(int column) const { return table_.Fields()[FieldOf(column)].displayWidth; }

QVariant TTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    const TFieldDef& field = table_.Fields()[FieldOf(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(field.alignment == TAlignment::Center ? Qt::AlignCenter
                                                                       : Qt::AlignLeft | Qt::AlignVCenter);
    if (markField_ >= 0 && (role == Qt::BackgroundRole || role == Qt::ForegroundRole)) {
        const TValue& mark = table_.ValueAt(index.row() + 1, markField_);
        const bool* marked = std::get_if<bool>(&mark);
        if (!marked || !*marked) return {};
        return role == Qt::BackgroundRole ? QColor(128, 128, 128) : QColor(Qt::white);
    }
    const TValue& value = table_.ValueAt(index.row() + 1, FieldOf(index.column()));
    if (const auto picture = pictures_.find(FieldOf(index.column())); picture != pictures_.end())
        return role == Qt::DecorationRole ? QVariant(picture->second(value)) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::CheckStateRole) return {};
    if (field.type == TFieldType::Boolean) {
        if (role != Qt::CheckStateRole) return {};
        const bool on = !IsNull(value) && std::get<bool>(value);
        return on ? Qt::Checked : Qt::Unchecked;
    }
    return role == Qt::DisplayRole ? QVariant(Text(field, value)) : QVariant();
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (const auto title = titles_.find(section); title != titles_.end()) return title->second;
    return ToQt(table_.Fields()[FieldOf(section)].displayLabel);
}

void TTableModel::BatchInsertsWhile(std::function<bool()> condition) { batching_ = std::move(condition); }

void TTableModel::CatchUp() {
    catchUpPending_ = false;
    const int count = table_.RecordCount();
    if (count < rows_) {
        beginResetModel();
        rows_ = count;
        valuesChanged_ = false;
        endResetModel();
        return;
    }
    if (valuesChanged_ && rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
    valuesChanged_ = false;
    if (count == rows_) return;
    beginInsertRows({}, rows_, count - 1);
    rows_ = count;
    endInsertRows();
}

void TTableModel::TableChanged(int changeNumber) {
    const auto change = static_cast<TTable::TChange>(changeNumber);
    const int count = table_.RecordCount();
    if (change != TTable::TChange::Reset && (catchUpPending_ || (count > rows_ && batching_ && batching_()))) {
        // Rows wait for the batch; so do the changes of values meanwhile.
        if (change == TTable::TChange::Data || change == TTable::TChange::Values) valuesChanged_ = true;
        if (!catchUpPending_) QTimer::singleShot(0, this, [this] { CatchUp(); });
        catchUpPending_ = true;
        return;
    }
    if (change == TTable::TChange::Reset) catchUpPending_ = valuesChanged_ = false;
    if (change == TTable::TChange::Values && count == rows_) {
        // The rows stand where they stood: the view repaints what it shows.
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
        return;
    }
    if (change == TTable::TChange::Data && count == rows_) {
        const int row = table_.RecNo() - 1;
        if (row >= 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        return;
    }
    if (count == rows_ + 1 && change != TTable::TChange::Reset) {
        beginInsertRows({}, rows_, rows_);
        rows_ = count;
        endInsertRows();
        return;
    }
    if (count != rows_ || change == TTable::TChange::Reset) {
        beginResetModel();
        rows_ = count;
        endResetModel();
    }
}
