#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QLabel;
class QTreeView;
class TStatusLog;
class TStatusLogModel;

// The log of the last scan or Process Mail run, filled while the run works.
class TRetrievalStatusForm : public QDialog {
public:
    explicit TRetrievalStatusForm(TStatusLog& log, QWidget* parent = nullptr);
    ~TRetrievalStatusForm() override;

    QTreeView* LogView() const { return logView_; }
    void ToggleVisible();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void LogChanged(int change, int line);
    void ShowAccountValues();

    TQtFormComponent component_;
    TStatusLog& log_;
    QLabel* accountDesc_;
    QLabel* msgNumber_;
    QLabel* msgTotalSize_;
    TStatusLogModel* lines_;
    QTreeView* logView_;
    bool waitCursor_ = false;
    bool scrollToEnd_ = false;
};
