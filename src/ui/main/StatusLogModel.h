#pragma once

#include "ui/qt/CoalescedCall.h"

#include <QAbstractTableModel>

#include <functional>

class TStatusLog;

// The status log's lines for a view, two columns (the line, its status).
// A scan writes a line or two per message: new lines and status words reach
// the view in one batch when the window next gets to its events.
class TStatusLogModel : public QAbstractTableModel {
public:
    explicit TStatusLogModel(TStatusLog& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The column titles (what the translator sets).
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role = Qt::EditRole) override;
    // What the log did (a TStatusLog::TChange); Cleared shows at once.
    void LogChanged(int change, int line);
    // Shows the lines and status words written since the last time.
    void CatchUp();
    // The same when the window next gets to its events.
    void CatchUpLater() { catchUp_.Soon(); }

    // Called after each catch-up.
    std::function<void()> OnCaughtUp;

private:
    TStatusLog& log_;
    QString titles_[2];
    int rows_ = 0;
    // Lines already shown whose status changed since: from firstChanged_ to lastChanged_.
    int firstChanged_ = -1, lastChanged_ = -1;
    TCoalescedCall catchUp_{this, [this] { CatchUp(); }};
};
