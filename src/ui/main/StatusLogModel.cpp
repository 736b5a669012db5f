#include "ui/main/StatusLogModel.h"

#include "core/StatusLog.h"
#include "ui/qt/QtText.h"

#include <algorithm>

TStatusLogModel::TStatusLogModel(TStatusLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), rows_(log.Count()) {}

int TStatusLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TStatusLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TStatusLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= std::min(rows_, log_.Count())) return {};
    const TStatusLog::TLine& line = log_.Lines()[static_cast<std::size_t>(index.row())];
    return ToQt(index.column() == 0 ? line.Text : line.StatusText());
}

QVariant TStatusLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
        return QAbstractTableModel::headerData(section, orientation, role);
    return titles_[section];
}

bool TStatusLogModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || section < 0 || section > 1 || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    titles_[section] = value.toString();
    emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

void TStatusLogModel::LogChanged(int change, int line) {
    switch (static_cast<TStatusLog::TChange>(change)) {
        case TStatusLog::TChange::Cleared:
            beginResetModel();
            rows_ = 0;
            firstChanged_ = lastChanged_ = -1;
            endResetModel();
            break;
        case TStatusLog::TChange::Appended:
            if (line < rows_) {
                firstChanged_ = firstChanged_ < 0 ? line : std::min(firstChanged_, line);
                lastChanged_ = std::max(lastChanged_, line);
            }
            CatchUpLater();
            break;
        case TStatusLog::TChange::Added: CatchUpLater(); break;
        default: break;
    }
}

void TStatusLogModel::CatchUp() {
    if (firstChanged_ >= 0) {
        emit dataChanged(index(firstChanged_, 0), index(lastChanged_, 1));
        firstChanged_ = lastChanged_ = -1;
    }
    if (const int count = log_.Count(); count > rows_) {
        beginInsertRows({}, rows_, count - 1);
        rows_ = count;
        endInsertRows();
    }
    if (OnCaughtUp) OnCaughtUp();
}
