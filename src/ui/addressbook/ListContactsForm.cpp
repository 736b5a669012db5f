#include "ui/addressbook/ListContactsForm.h"

#include "addressbook/DMAddress.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/TableModel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// A button that shows an action's caption and state and triggers it.
QPushButton* ActionButton(QAction* action, QWidget* parent) {
    auto* button = new QPushButton(action->text(), parent);
    button->setEnabled(action->isEnabled());
    QObject::connect(action, &QAction::changed, button, [button, action] {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    });
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}

}  // namespace

TListContacts::TListContacts(TAddressDM& dm, QWidget* parent) : QDialog(parent), component_(*this), dm_(dm) {
    setObjectName("ListContacts");
    setWindowTitle("Address Book");
    auto* layout = new QVBoxLayout(this);
    BuildMenuBar(*layout);
    BuildGrid();
    layout->addWidget(grid_, 1);
    layout->addWidget(BuildButtons());
    BuildPopupMenu();
    subscription_ = dm_.cdsAdressBook.Subscribe([this](TTable&, TTable::TChange change) {
        if (change == TTable::TChange::Scroll || change == TTable::TChange::Reset || change == TTable::TChange::Data)
            TableToCurrentRow();
    });
    TableToCurrentRow();
    ShowSortMarker();
    component_.Loaded();
}

TListContacts::~TListContacts() { dm_.cdsAdressBook.Unsubscribe(subscription_); }

void TListContacts::BuildMenuBar(QLayout& layout) {
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu("File");
    file->setObjectName("File1");
    for (const char* name : {"Add", "Edit", "Delete"}) file->addAction(ActionFor(dm_.Actions, name, this));
    file->addSeparator();
    for (const char* name : {"Import", "Export"}) file->addAction(ActionFor(dm_.Actions, name, this));
    file->addSeparator();
    QAction* exit = file->addAction("Exit");
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, &QDialog::accept);
    layout.setMenuBar(bar);
}

void TListContacts::BuildGrid() {
    grid_ = new QTableView(this);
    grid_->setObjectName("DBGrid1");
    model_ = new TTableModel(dm_.cdsAdressBook, grid_);
    grid_->setModel(model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->horizontalHeader()->setSectionsClickable(true);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setStretchLastSection(true);
    const int charWidth = grid_->fontMetrics().averageCharWidth();
    int width = 4;
    for (int c = 0; c < model_->columnCount(); ++c) {
        grid_->setColumnWidth(c, model_->DisplayWidth(c) * charWidth + 8);
        width += grid_->columnWidth(c);
    }
    grid_->setMinimumSize(width, 12 * grid_->verticalHeader()->defaultSectionSize());
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { CurrentRowToTable(); });
    connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        dm_.TitleClicked(dm_.cdsAdressBook.Fields()[model_->FieldOf(column)].name);
        ShowSortMarker();
    });
    connect(grid_, &QTableView::doubleClicked, this, [this] { ActionFor(dm_.Actions, "Edit", this)->trigger(); });
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popup_->popup(grid_->viewport()->mapToGlobal(at)); });
}

QWidget* TListContacts::BuildButtons() {
    auto* panel = new QWidget(this);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const char* name : {"Add", "Edit", "Delete", "Search"})
        layout->addWidget(ActionButton(ActionFor(dm_.Actions, name, this), panel));
    layout->addStretch();
    auto* close = new QPushButton("Close", panel);
    close->setObjectName("CloseButton");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close);
    return panel;
}

void TListContacts::BuildPopupMenu() {
    popup_ = new QMenu(this);
    popup_->setObjectName("PopupMenu1");
    for (const char* name : {"Add", "Edit", "Delete"}) popup_->addAction(ActionFor(dm_.Actions, name, this));
    popup_->addSeparator();
    popup_->addAction(ActionFor(dm_.Actions, "Search", this));
}

void TListContacts::CurrentRowToTable() {
    if (following_ || dm_.cdsAdressBook.State() != TTable::TState::Browse) return;
    const int row = grid_->currentIndex().row();
    if (row >= 0 && row + 1 != dm_.cdsAdressBook.RecNo()) dm_.cdsAdressBook.SetRecNo(row + 1);
}

void TListContacts::TableToCurrentRow() {
    const int recNo = dm_.cdsAdressBook.RecNo();
    if (recNo < 1 || grid_->currentIndex().row() == recNo - 1) return;
    following_ = true;
    grid_->setCurrentIndex(model_->index(recNo - 1, std::max(0, grid_->currentIndex().column())));
    following_ = false;
}

void TListContacts::ShowSortMarker() {
    const int column = model_->ColumnOf(dm_.SortField());
    grid_->horizontalHeader()->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        grid_->horizontalHeader()->setSortIndicator(column, dm_.SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}
