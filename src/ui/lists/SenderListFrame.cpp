#include "ui/lists/SenderListFrame.h"

#include "base/UserInterface.h"
#include "core/DataModule.h"
#include "core/SenderLists.h"
#include "ui/lists/ListModel.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/QtText.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct TNames {
    const char* frame;
    const char* add;
    const char* remove;
};
constexpr TNames kFriends{"FriendsFrame", "AddFriends", "FriendsRemove"};
constexpr TNames kBlackList{"BlackListFrame", "AddBlackList", "BlackListRemove"};

}  // namespace

TSenderListFrame::TSenderListFrame(TDM& dm, TKind kind, QWidget* parent)
    : QWidget(parent),
      component_(*this),
      dm_(dm),
      kind_(kind),
      list_(kind == TKind::Friends ? dm.cdsFriends : dm.cdsBlackList) {
    const TNames& names = kind_ == TKind::Friends ? kFriends : kBlackList;
    setObjectName(names.frame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new QTableView(this);
    grid_->setObjectName("DBGrid1");
    model_ = new TListModel(list_, grid_);
    grid_->setModel(model_);
    grid_->setProperty("columns", QStringList{model_->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString()});
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->horizontalHeader()->setSectionsClickable(true);
    grid_->installEventFilter(this);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(grid_, 1);
    layout->addWidget(BuildButtons());
    BuildMenu();
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(grid_->viewport()->mapToGlobal(at)); });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { CurrentRowToTable(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { TableToCurrentRow(); });
    subscription_ = list_.Subscribe([this](TTable&, TTable::TChange change) {
        if (change == TTable::TChange::State && list_.State() == TTable::TState::Insert)
            QTimer::singleShot(0, this, [this] { EditPendingRow(); });
        else if (change != TTable::TChange::State)
            FollowTable();
    }, TTable::TInterest::NewRowValues);
    model_->OnRefused = [this] { QTimer::singleShot(0, this, [this] { EditPendingRow(); }); };
    TableToCurrentRow();
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { Retranslate(); });
}

TSenderListFrame::~TSenderListFrame() { list_.Unsubscribe(subscription_); }

QWidget* TSenderListFrame::BuildButtons() {
    const TNames& names = kind_ == TKind::Friends ? kFriends : kBlackList;
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    for (const auto& [name, actionName] : {std::pair{"btnAdd", names.add}, std::pair{"btnRemove", names.remove}}) {
        QPushButton* button = ActionButton(*ActionFor(dm_.Actions, actionName, this), panel);
        button->setObjectName(name);
        layout->addWidget(button);
    }
    layout->addStretch();
    return panel;
}

void TSenderListFrame::BuildMenu() {
    const TNames& names = kind_ == TKind::Friends ? kFriends : kBlackList;
    menu_ = new QMenu(this);
    menu_->setObjectName("PopupMenu1");
    const auto item = [this](const char* name, const char* caption, std::function<void()> run) {
        QAction* action = menu_->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, run] { Guarded(run); });
    };
    item("Copy1", "Copy", [this] { ExportGridRows(list_, SelectedRecNos(), false); });
    item("Past1", "Past", [this] { ImportGridRows(list_, false); });
    menu_->addSeparator()->setObjectName("N1");
    item("SelectAll1", "Select All", [this] { grid_->selectAll(); });
    menu_->addSeparator()->setObjectName("N2");
    menu_->addAction(ActionFor(dm_.Actions, names.remove, this));
    menu_->addSeparator()->setObjectName("N3");
    const auto importItem = [&] { item("Import1", "Import", [this] { ImportGridRows(list_, true); }); };
    const auto exportItem = [&] { item("Export1", "Export", [this] { ExportGridRows(list_, SelectedRecNos(), true); }); };
    if (kind_ == TKind::Friends) {
        importItem();
        exportItem();
    } else {
        exportItem();
        importItem();
    }
}

std::vector<int> TSenderListFrame::SelectedRecNos() const {
    std::vector<int> recNos;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows())
        if (index.row() < list_.RecordCount()) recNos.push_back(index.row() + 1);
    std::sort(recNos.begin(), recNos.end());
    return recNos;
}

// A file or table that cannot be written reaches the user, not the event loop.
void TSenderListFrame::Guarded(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const std::exception& error) {
        UserInterface().MessageBox(error.what(), "Tarnwick", TMsgIcon::Error, mbOK);
    }
}

void TSenderListFrame::CurrentRowToTable() {
    if (following_ || list_.State() == TTable::TState::Insert) return;
    const int row = grid_->currentIndex().row();
    if (row >= 0 && row < list_.RecordCount() && row + 1 != list_.RecNo()) Guarded([&] { list_.SetRecNo(row + 1); });
}

// A scan moves the blacklist's current row for every sender it tests: the
// grid follows when the window gets to its events.
void TSenderListFrame::FollowTable() { follow_.When(dm_.Idle); }

void TSenderListFrame::TableToCurrentRow() {
    const int row = model_->CurrentRow();
    if (row < 0 || row >= model_->rowCount() || grid_->currentIndex().row() == row) return;
    following_ = true;
    grid_->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::ClearAndSelect);
    following_ = false;
}

// The row that "Add" began, or that the list refused, waits for the user's typing.
void TSenderListFrame::EditPendingRow() {
    if (list_.State() == TTable::TState::Browse) return;
    const QModelIndex index = model_->index(model_->CurrentRow(), 0);
    if (!index.isValid()) return;
    following_ = true;
    grid_->setCurrentIndex(index);
    following_ = false;
    grid_->setFocus();
    grid_->edit(index);
}

// Delete removes the current row only, whatever else is selected.
bool TSenderListFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        const TNames& names = kind_ == TKind::Friends ? kFriends : kBlackList;
        Guarded([&] { dm_.Actions[names.remove].Execute(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TSenderListFrame::Retranslate() {
    const std::string key = objectName().toStdString() + "." + grid_->objectName().toStdString() + ".Column[0]";
    model_->SetTitle(ToQt(component_.Translator().Translate(key, list_.FieldDef("name").displayLabel)));
}
