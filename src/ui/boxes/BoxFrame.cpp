#include "ui/boxes/BoxFrame.h"

#include "addressbook/DMAddress.h"
#include "core/DataModule.h"
#include "ui/qt/ButtonRow.h"
#include "ui/qt/Icons.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/QtText.h"
#include "ui/qt/TableModel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QIcon Drawn(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return QIcon(pixmap);
}

QIcon AttachmentPicture() {
    return Drawn([](QPainter& p) {
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6));
        p.drawRoundedRect(QRectF(5, 1.5, 6, 12), 3, 3);
        p.drawLine(QPointF(8, 5), QPointF(8, 11));
    });
}

QIcon ActionPicture(int action) {
    return Drawn([action](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(action == 3 ? QColor(0xd9, 0x3f, 0x2f) : QColor(0x2e, 0x8b, 0x57));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2));
        if (action == 3) {  // the error message sent back
            p.drawLine(QPointF(8, 4), QPointF(8, 9));
            p.drawPoint(QPointF(8, 12));
        } else {  // the header forwarded
            p.drawLine(QPointF(4, 8), QPointF(11, 8));
            p.drawLine(QPointF(8, 5), QPointF(11, 8));
            p.drawLine(QPointF(8, 11), QPointF(11, 8));
        }
    });
}

}  // namespace

TBoxFrame::TBoxFrame(TDM& dm, TBoxView::TKind kind, QWidget* parent)
    : QWidget(parent), component_(*this), dm_(dm), view_(dm, kind) {
    setObjectName(kind == TBoxView::TKind::InBox ? "InboxFrame" : "DelboxFrame");
    view_.Actions.AttachTo(component_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (kind == TBoxView::TKind::InBox) {
        tabs_ = new QTabBar(this);
        tabs_->setObjectName("InboxTabControl");
        tabs_->setExpanding(false);
        tabs_->setDrawBase(false);
        layout->addWidget(tabs_);
        connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { view_.TabChanged(tab); });
    }
    BuildGrid();
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(grid_);
    memo_ = new QPlainTextEdit(splitter);
    memo_->setObjectName("DBMemo");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    splitter->addWidget(memo_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    layout->addWidget(BuildButtons());
    BuildMenu();
    subscription_ = view_.Box().Subscribe([this](TTable&, TTable::TChange change) {
        if (change == TTable::TChange::Scroll || change == TTable::TChange::Reset) TableToCurrentRow();
        // While a scan adds rows, the pane follows when the window gets to its events.
        headerUpdate_.When(dm_.Idle);
    });
    if (tabs_) RebuildTabs();
    view_.DataChanged();
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { Retranslate(); });
}

TBoxFrame::~TBoxFrame() { view_.Box().Unsubscribe(subscription_); }

void TBoxFrame::BuildGrid() {
    grid_ = new QTableView(this);
    grid_->setObjectName("InBoxGrid");
    model_ = new TTableModel(view_.Box(), grid_);
    model_->SetMarkField("Selected");
    model_->BatchInsertsWhile([this] { return !dm_.Idle; });
    model_->SetPictureColumn("attachment", [picture = AttachmentPicture()](const TValue& value) {
        const bool* on = std::get_if<bool>(&value);
        return on && *on ? picture : QIcon();
    });
    if (view_.Kind() == TBoxView::TKind::DelBox)
        model_->SetPictureColumn("idaction", [error = ActionPicture(3), copy = ActionPicture(4)](const TValue& value) {
            const auto* action = std::get_if<std::int64_t>(&value);
            return !action ? QIcon() : *action == 3 ? error : *action == 4 ? copy : QIcon();
        });
    grid_->setModel(model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->horizontalHeader()->setSectionsClickable(true);
    grid_->horizontalHeader()->setHighlightSections(false);
    const int charWidth = grid_->fontMetrics().averageCharWidth();
    for (int c = 0; c < model_->columnCount(); ++c)
        grid_->setColumnWidth(c, std::max(22, model_->DisplayWidth(c) * charWidth + 8));
    grid_->viewport()->installEventFilter(this);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { CurrentRowToTable(); });
    connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        view_.TitleClicked(view_.Box().Fields()[model_->FieldOf(column)].name);
        ShowSortMarker();
    });
    connect(grid_, &QTableView::doubleClicked, this, [this] { view_.ToggleCurrent(); });
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(grid_->viewport()->mapToGlobal(at)); });
}

QWidget* TBoxFrame::BuildButtons() {
    auto* panel = new TButtonRow(this);
    panel->setObjectName("ButtonPanel");
    const auto button = [&](QAction* action) { panel->Add(ActionButton(*action, panel)); };
    if (view_.Kind() == TBoxView::TKind::InBox) {
        if (dm_.Actions.Find("AddToFilter")) button(ActionFor(dm_.Actions, "AddToFilter", this));
        button(ActionFor(view_.Actions, "Add2Friends", this));
        button(ActionFor(view_.Actions, "Add2Blacklist", this));
        button(ActionFor(dm_.Actions, "RetrieveBody", this));
        button(ActionFor(view_.Actions, "Move2DelBox", this));
        button(ActionFor(dm_.Actions, "Complain", this));
    } else {
        button(ActionFor(dm_.Actions, "DelRetrieveBody", this));
        button(ActionFor(view_.Actions, "MoveToInBox", this));
        button(ActionFor(dm_.Actions, "DelBoxComplain", this));
    }
    return panel;
}

void TBoxFrame::BuildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName("PopupMenu1");
    const auto item = [this](TActionList& list, const char* name) {
        if (list.Find(name)) menu_->addAction(ActionFor(list, name, this));
    };
    if (view_.Kind() == TBoxView::TKind::InBox) {
        item(dm_.Actions, "AddToFilter");
        item(view_.Actions, "Add2Friends");
        item(view_.Actions, "Add2Blacklist");
        item(dm_.Actions, "RetrieveBody");
        menu_->addSeparator();
        item(view_.Actions, "Move2DelBox");
        menu_->addSeparator();
        item(dm_.Actions, "Complain");
        menu_->addSeparator();
        item(view_.Actions, "SelectAll");
        item(view_.Actions, "UnSelectAll");
        menu_->addSeparator();
        item(view_.Actions, "SendErrorMsg");
        item(view_.Actions, "SendErrorMsgAndDel");
        menu_->addSeparator();
        QAction* addressBook = menu_->addAction("Add to AddressBook");
        addressBook->setObjectName("AddtoAddressBook1");
        connect(addressBook, &QAction::triggered, this, [this] {
            if (TAddressDM* book = CurrentAddressDM()) view_.AddSenderToAddressBook(*book);
        });
    } else {
        item(dm_.Actions, "DelRetrieveBody");
        menu_->addSeparator();
        item(view_.Actions, "MoveToInBox");
    }
}

void TBoxFrame::RebuildTabs() {
    if (!tabs_) return;
    const QSignalBlocker quiet(tabs_);
    while (tabs_->count() > 0) tabs_->removeTab(0);
    view_.RebuildTabs();
    for (const std::string& title : view_.Tabs) tabs_->addTab(ToQt(title));
    tabs_->setCurrentIndex(0);
}

void TBoxFrame::CurrentRowToTable() {
    if (following_) return;
    const int row = grid_->currentIndex().row();
    if (row >= 0 && row + 1 != view_.Box().RecNo()) view_.Box().SetRecNo(row + 1);
    ShowHeader();
}

void TBoxFrame::ShowAddedRows() {
    model_->CatchUp();
    // Laid out now, the grid is painted once with the window the scan leaves,
    // not once more when its own delayed layout comes.
    grid_->doItemsLayout();
}

void TBoxFrame::TableToCurrentRow() {
    const int recNo = view_.Box().RecNo();
    if (recNo > model_->rowCount()) model_->CatchUp();
    if (recNo < 1 || grid_->currentIndex().row() == recNo - 1) return;
    following_ = true;
    grid_->setCurrentIndex(model_->index(recNo - 1, std::max(0, grid_->currentIndex().column())));
    following_ = false;
}

// A scan changes the box some fifteen times a message: the pane is laid out
// again only when the current row's header is another one, and a row being
// added is no current row yet.
void TBoxFrame::ShowHeader() {
    TTable& box = view_.Box();
    if (box.State() == TTable::TState::Insert) return;
    std::string header = box.IsEmpty() || box.RecNo() < 1 ? std::string() : box.AsString("header");
    if (header == shownHeader_) return;
    memo_->setPlainText(ToQt(header));
    shownHeader_ = std::move(header);
}

void TBoxFrame::ShowSortMarker() {
    const int column = model_->ColumnOf(view_.SortField());
    grid_->horizontalHeader()->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        grid_->horizontalHeader()->setSortIndicator(column, view_.SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// Ctrl ticks like a double click; Shift ticks from the current row upwards.
bool TBoxFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
            const QModelIndex at = grid_->indexAt(mouse->position().toPoint());
            if (mouse->modifiers() & Qt::ControlModifier) {
                if (at.isValid()) grid_->setCurrentIndex(at);
                view_.ToggleCurrent();
            } else {
                view_.TickUpwards();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TBoxFrame::Retranslate() {
    if (tabs_ && tabs_->count() > 0) tabs_->setTabText(0, ToQt(component_.Translator().Translate("InboxFrameTabControl", "All")));
}
