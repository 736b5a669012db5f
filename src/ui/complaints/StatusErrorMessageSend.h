#pragma once

#include "i18n/Translator.h"
#include "ui/qt/QtComponents.h"

#include <QDialog>

class QProgressBar;
class QPushButton;
class QTreeWidget;
class TBatchErrorMessages;

// "Send error messages": the task list, progress, "Abort" and "Close" of a
// batch run. The run starts the first time the window is shown.
class TStatusErrorMessageSend : public QDialog {
public:
    explicit TStatusErrorMessageSend(TBatchErrorMessages& batch, QWidget* parent = nullptr);
    ~TStatusErrorMessageSend() override;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowState();
    void TranslateColumns();

    TQtFormComponent component_;
    TBatchErrorMessages& batch_;
    QTreeWidget* tasks_;
    QProgressBar* progress_;
    QPushButton* abort_;
    QPushButton* close_;
    bool started_ = false;
    TLanguageSubscription language_;
};
