#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QLabel;
class QTreeWidget;
class TStatusLog;

// The log of the last scan or Process Mail run, filled while the run works.
class TRetrievalStatusForm : public QDialog {
public:
    explicit TRetrievalStatusForm(TStatusLog& log, QWidget* parent = nullptr);
    ~TRetrievalStatusForm() override;

    QTreeWidget* LogView() const { return logView_; }
    void ToggleVisible();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void LogChanged(int change, int line);
    void ShowLine(int line);
    void ShowAccountValues();

    TQtFormComponent component_;
    TStatusLog& log_;
    QLabel* accountDesc_;
    QLabel* msgNumber_;
    QLabel* msgTotalSize_;
    QTreeWidget* logView_;
    bool waitCursor_ = false;
    bool scrollPending_ = false;
};
