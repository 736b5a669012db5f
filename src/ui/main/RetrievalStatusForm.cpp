#include "ui/main/RetrievalStatusForm.h"

#include "core/StatusLog.h"
#include "ui/main/StatusLogModel.h"
#include "ui/qt/QtText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QLabel* Named(QLabel* label, const char* name) {
    label->setObjectName(name);
    return label;
}

}  // namespace

TRetrievalStatusForm::TRetrievalStatusForm(TStatusLog& log, QWidget* parent)
    : QDialog(parent), component_(*this), log_(log) {
    setObjectName("RetrievalStatusForm");
    setWindowTitle("Retrieval Status");
    auto* layout = new QVBoxLayout(this);

    auto* account = new QGroupBox("Account information", this);
    account->setObjectName("GroupBox1");
    auto* values = new QFormLayout(account);
    accountDesc_ = Named(new QLabel(account), "AccountDesc");
    msgNumber_ = Named(new QLabel(account), "MsgMumber");
    msgTotalSize_ = Named(new QLabel(account), "MsgTotalSize");
    for (QLabel* value : {accountDesc_, msgNumber_, msgTotalSize_}) KeepOutOfTranslation(*value);
    values->addRow(Named(new QLabel("Description", account), "Label1"), accountDesc_);
    values->addRow(Named(new QLabel("Messages", account), "Label2"), msgNumber_);
    values->addRow(Named(new QLabel("Size", account), "Label3"), msgTotalSize_);
    layout->addWidget(account);

    lines_ = new TStatusLogModel(log_, this);
    lines_->setHeaderData(0, Qt::Horizontal, "Command");
    lines_->setHeaderData(1, Qt::Horizontal, "Status");
    logView_ = new QTreeView(this);
    logView_->setObjectName("LogView");
    logView_->setModel(lines_);
    logView_->setRootIsDecorated(false);
    logView_->setUniformRowHeights(true);
    logView_->setSelectionMode(QAbstractItemView::NoSelection);
    logView_->header()->setStretchLastSection(false);
    logView_->header()->resizeSection(0, 300);
    logView_->header()->resizeSection(1, 50);
    logView_->setMinimumSize(380, 220);
    layout->addWidget(logView_, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* close = buttons->addButton("&Close", QDialogButtonBox::RejectRole);
    close->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    layout->addWidget(buttons);

    log_.OnChanged = [this](TStatusLog::TChange change, int line) { LogChanged(static_cast<int>(change), line); };
    // The last line shows once the lines written meanwhile are in the view.
    lines_->OnCaughtUp = [this] {
        if (scrollToEnd_) logView_->scrollToBottom();
        scrollToEnd_ = false;
    };
    ShowAccountValues();
    component_.Loaded();
}

TRetrievalStatusForm::~TRetrievalStatusForm() {
    log_.OnChanged = nullptr;
    if (waitCursor_) QApplication::restoreOverrideCursor();
}

void TRetrievalStatusForm::ToggleVisible() {
    setVisible(!isVisible());
    if (isVisible()) {
        raise();
        repaint();
    }
}

void TRetrievalStatusForm::LogChanged(int change, int line) {
    switch (static_cast<TStatusLog::TChange>(change)) {
        case TStatusLog::TChange::Scrolled:
            scrollToEnd_ = true;
            lines_->CatchUpLater();
            break;
        case TStatusLog::TChange::AccountValues: ShowAccountValues(); break;
        default: lines_->LogChanged(change, line); break;
    }
}

void TRetrievalStatusForm::ShowAccountValues() {
    accountDesc_->setText(ToQt(log_.AccountDesc()));
    msgNumber_->setText(ToQt(log_.MsgNumber()));
    msgTotalSize_->setText(ToQt(log_.MsgTotalSize()));
}

void TRetrievalStatusForm::showEvent(QShowEvent* event) {
    if (!waitCursor_) QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursor_ = true;
    QDialog::showEvent(event);
}

void TRetrievalStatusForm::hideEvent(QHideEvent* event) {
    if (waitCursor_) QApplication::restoreOverrideCursor();
    waitCursor_ = false;
    QDialog::hideEvent(event);
}
