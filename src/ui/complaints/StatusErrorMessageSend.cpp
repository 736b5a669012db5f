#include "ui/complaints/StatusErrorMessageSend.h"

#include "complaints/BatchErrorMessages.h"
#include "ui/qt/Guarded.h"
#include "ui/qt/QtText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The pictures of the states running, done and error.
QIcon StatePicture(TBatchTask::TState state) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    switch (state) {
        case TBatchTask::TState::Running:
            p.setBrush(QColor(0x2f, 0x6f, 0xc9));
            p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(13, 8), QPointF(4, 14)}));
            break;
        case TBatchTask::TState::Done:
            p.setPen(QPen(QColor(0x2e, 0x8b, 0x57), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
            break;
        case TBatchTask::TState::Error:
            p.setPen(QPen(QColor(0xd9, 0x3f, 0x2f), 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case TBatchTask::TState::None: break;
    }
    return QIcon(pixmap);
}

}  // namespace

TStatusErrorMessageSend::TStatusErrorMessageSend(TBatchErrorMessages& batch, QWidget* parent)
    : QDialog(parent), component_(*this), batch_(batch) {
    setObjectName("StatusErrorMessageSend");
    setWindowTitle("Send error messages");
    auto* layout = new QVBoxLayout(this);
    tasks_ = new QTreeWidget(this);
    tasks_->setObjectName("lvTasks");
    tasks_->setRootIsDecorated(false);
    tasks_->setColumnCount(2);
    tasks_->header()->setStretchLastSection(true);
    tasks_->setColumnWidth(0, 320);
    // Its column titles have keys of their own, set on every language change.
    KeepOutOfTranslation(*tasks_);
    layout->addWidget(tasks_, 1);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar");
    progress_->setTextVisible(false);
    layout->addWidget(progress_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    abort_ = new QPushButton("Abort", this);
    abort_->setObjectName("btnAbort");
    close_ = new QPushButton("Close", this);
    close_->setObjectName("btnClose");
    buttons->addWidget(abort_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    connect(abort_, &QPushButton::clicked, this, [this] { batch_.Abort(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    batch_.OnChange = [this] { ShowState(); };
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { TranslateColumns(); });
    TranslateColumns();
    ShowState();
    setMinimumSize(560, 320);
    component_.Loaded();
}

TStatusErrorMessageSend::~TStatusErrorMessageSend() {
    batch_.OnChange = nullptr;
}

void TStatusErrorMessageSend::TranslateColumns() {
    TTranslator& translator = component_.Translator();
    tasks_->setHeaderLabels({ToQt(translator.Translate("StatusErrorMessageSend.lvTasks.Columns[0].Caption", "Task")),
                             ToQt(translator.Translate("StatusErrorMessageSend.lvTasks.Columns[1].Caption", "Status"))});
}

void TStatusErrorMessageSend::ShowState() {
    while (tasks_->topLevelItemCount() < static_cast<int>(batch_.Tasks.size())) new QTreeWidgetItem(tasks_);
    while (tasks_->topLevelItemCount() > static_cast<int>(batch_.Tasks.size())) delete tasks_->takeTopLevelItem(0);
    for (std::size_t i = 0; i < batch_.Tasks.size(); ++i) {
        const TBatchTask& task = batch_.Tasks[i];
        QTreeWidgetItem* item = tasks_->topLevelItem(static_cast<int>(i));
        item->setText(0, ToQt(task.caption));
        item->setIcon(0, StatePicture(task.state));
        item->setText(1, task.statuses.empty() ? QString() : ToQt(task.statuses.front()));
    }
    progress_->setMaximum(std::max(1, batch_.ProgressMaximum));
    progress_->setValue(batch_.ProgressMaximum == 0 ? (batch_.CloseEnabled ? 1 : 0) : batch_.Progress);
    abort_->setEnabled(batch_.AbortEnabled);
    close_->setEnabled(batch_.CloseEnabled);
}

void TStatusErrorMessageSend::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    QTimer::singleShot(0, this, [this] { RunReportingErrors([this] { batch_.Run(); }); });
}

// Only "Close" ends the window, once the run is over.
void TStatusErrorMessageSend::reject() {
    if (batch_.CloseEnabled) QDialog::reject();
}
