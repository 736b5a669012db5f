#include "ui/filters/FilterFrame.h"

#include "filtering/dmfilters.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/TableModel.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The picture of a cell in its middle.
class TCentredPicture : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QIcon picture = cell.icon;
        cell.icon = QIcon();
        cell.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget* widget = option.widget;
        (widget ? widget->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        QRect place(0, 0, 10, 10);
        place.moveCenter(option.rect.center());
        picture.paint(painter, place);
    }
};

}  // namespace

QIcon CasePicture(bool ticked) {
    QPixmap pixmap(10, 10);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(0, 0, 9, 9);
    if (ticked) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.6));
        p.drawLine(QPointF(2, 5), QPointF(4, 7.5));
        p.drawLine(QPointF(4, 7.5), QPointF(8, 2));
    }
    return QIcon(pixmap);
}

TFilterFrame::TFilterFrame(TFilterDM& filters, QWidget* parent)
    : QWidget(parent), component_(*this), filters_(filters) {
    setObjectName("FilterFrame");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName("Splitter1");

    auto* top = new QWidget(splitter);
    top->setObjectName("Panel1");
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    categories_ = {nullptr, nullptr, nullptr, nullptr, "AddCategory", "EditCategory", "DeleteCategory"};
    BuildGrid(categories_, filters_.cdsFilterCategory, "FilterGrid");
    topLayout->addWidget(categories_.grid, 1);
    topLayout->addWidget(BuildButtons("Panel2", {{"btnAddCategory", "AddCategory"},
                                                 {"btnEditCategory", "EditCategory"},
                                                 {"btnDeleteCategory", "DeleteCategory"},
                                                 {"btnFindCategory", "FindCategory"}}));

    auto* bottom = new QWidget(splitter);
    bottom->setObjectName("Panel3");
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    rules_ = {nullptr, nullptr, nullptr, nullptr, "AddExpr", "EditExpr", "DeleteExpr"};
    BuildGrid(rules_, filters_.cdsExpr, "RuleGrid");
    rules_.model->SetPictureColumn("CaseMatch", [ticked = CasePicture(true), empty = CasePicture(false)](const TValue& value) {
        const bool* on = std::get_if<bool>(&value);
        return !on ? QIcon() : *on ? ticked : empty;
    });
    if (const int column = rules_.model->ColumnOf("CaseMatch"); column >= 0)
        rules_.grid->setItemDelegateForColumn(column, new TCentredPicture(rules_.grid));
    bottomLayout->addWidget(rules_.grid, 1);
    bottomLayout->addWidget(BuildButtons("Panel4", {{"btnAddRule", "AddExpr"},
                                                    {"btnEditRule", "EditExpr"},
                                                    {"btnDeleteRule", "DeleteExpr"},
                                                    {"btnFindRule", "FindRule"}}));
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    layout->addWidget(splitter);

    BuildMenu(categories_, {"AddCategory", "EditCategory", "DeleteCategory", nullptr, "FindCategory"});
    BuildMenu(rules_, {"AddExpr", "EditExpr", "DeleteExpr"});
    TableToCurrentRow(categories_);
    TableToCurrentRow(rules_);
}

TFilterFrame::~TFilterFrame() {
    for (TGrid* grid : {&categories_, &rules_}) grid->table->Unsubscribe(grid->subscription);
}

void TFilterFrame::BuildGrid(TGrid& grid, TTable& table, const char* name) {
    grid.table = &table;
    grid.grid = new QTableView(this);
    grid.grid->setObjectName(name);
    grid.model = new TTableModel(table, grid.grid);
    grid.grid->setModel(grid.model);
    grid.grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid.grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.grid->verticalHeader()->hide();
    grid.grid->verticalHeader()->setDefaultSectionSize(grid.grid->fontMetrics().height() + 6);
    grid.grid->horizontalHeader()->setHighlightSections(false);
    grid.grid->horizontalHeader()->setStretchLastSection(true);
    const int charWidth = grid.grid->fontMetrics().averageCharWidth();
    for (int c = 0; c < grid.model->columnCount(); ++c)
        grid.grid->setColumnWidth(c, std::max(30, grid.model->DisplayWidth(c) * charWidth + 8));
    grid.grid->installEventFilter(this);
    grid.grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid.grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, &grid] { CurrentRowToTable(grid); });
    connect(grid.grid, &QTableView::doubleClicked, this, [this, &grid] { Run(grid.edit); });
    connect(grid.grid, &QWidget::customContextMenuRequested, this, [&grid](const QPoint& at) {
        grid.menu->popup(grid.grid->viewport()->mapToGlobal(at));
    });
    // The model may reset (another category's expressions): the grid follows the table again.
    connect(grid.model, &QAbstractItemModel::modelReset, this, [this, &grid] { TableToCurrentRow(grid); });
    connect(grid.model, &QAbstractItemModel::rowsInserted, this, [this, &grid] { TableToCurrentRow(grid); });
    grid.subscription = table.Subscribe([this, &grid](TTable&, TTable::TChange change) {
        if (change == TTable::TChange::Scroll || change == TTable::TChange::Reset) TableToCurrentRow(grid);
    });
}

QWidget* TFilterFrame::BuildButtons(const char* panelName,
                                    const std::vector<std::pair<const char*, const char*>>& buttons) {
    auto* panel = new QWidget(this);
    panel->setObjectName(panelName);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    for (const auto& [name, actionName] : buttons) {
        // The caption is the action's, translated with the filter module.
        QPushButton* button = ActionButton(*ActionFor(filters_.Actions, actionName, this), panel);
        button->setObjectName(name);
        layout->addWidget(button);
    }
    layout->addStretch();
    return panel;
}

void TFilterFrame::BuildMenu(TGrid& grid, const std::vector<const char*>& actions) {
    grid.menu = new QMenu(this);
    grid.menu->setObjectName(&grid == &categories_ ? "PopupMenu1" : "PopupMenu2");
    for (const char* name : actions) {
        if (name)
            grid.menu->addAction(ActionFor(filters_.Actions, name, this));
        else
            grid.menu->addSeparator();
    }
}

void TFilterFrame::CurrentRowToTable(TGrid& grid) {
    if (grid.following) return;
    const int row = grid.grid->currentIndex().row();
    if (row >= 0 && row + 1 != grid.table->RecNo()) grid.table->SetRecNo(row + 1);
}

void TFilterFrame::TableToCurrentRow(TGrid& grid) {
    const int recNo = grid.table->RecNo();
    if (recNo < 1 || recNo > grid.model->rowCount() || grid.grid->currentIndex().row() == recNo - 1) return;
    grid.following = true;
    grid.grid->setCurrentIndex(grid.model->index(recNo - 1, std::max(0, grid.grid->currentIndex().column())));
    grid.following = false;
}

void TFilterFrame::Run(const char* action) { ActionFor(filters_.Actions, action, this)->trigger(); }

// Enter changes, Insert adds, Delete deletes, in the grid that has the keys.
bool TFilterFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (TGrid* grid : {&categories_, &rules_}) {
            if (watched != grid->grid) continue;
            const int key = static_cast<QKeyEvent*>(event)->key();
            const char* action = key == Qt::Key_Return || key == Qt::Key_Enter ? grid->edit
                                 : key == Qt::Key_Insert                      ? grid->add
                                 : key == Qt::Key_Delete                      ? grid->remove
                                                                              : nullptr;
            if (!action) break;
            Run(action);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
