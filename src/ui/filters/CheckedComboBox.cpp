#include "ui/filters/CheckedComboBox.h"

#include "ui/qt/QtComponents.h"
#include "ui/qt/QtText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

TCheckedComboBox::TCheckedComboBox(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    edit_ = new QLineEdit(this);
    edit_->setReadOnly(true);
    edit_->installEventFilter(this);
    button_ = new QToolButton(this);
    button_->setArrowType(Qt::DownArrow);
    button_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    setFocusProxy(edit_);

    popup_ = new QFrame(this, Qt::Popup);
    popup_->setFrameShape(QFrame::Box);
    // The click on the button that closes the list must not open it again.
    popup_->setAttribute(Qt::WA_NoMouseReplay);
    popup_->installEventFilter(this);
    auto* popupLayout = new QVBoxLayout(popup_);
    popupLayout->setContentsMargins(0, 1, 0, 1);
    listView_ = new QListWidget(popup_);
    // The list is as high as its lines say, however few they are.
    listView_->setMinimumSize(0, 0);
    // The pop-up's border and margins are the 4 pixels the height adds to its lines.
    listView_->setFrameShape(QFrame::NoFrame);
    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    listView_->installEventFilter(this);
    popupLayout->addWidget(listView_);
    menu_ = new QMenu(listView_);
    // Texts of the control, not of the window it sits in.
    KeepOutOfTranslation(*menu_);
    QAction* all = menu_->addAction(CapSelectAll);
    QAction* none = menu_->addAction(CapDeSelectAll);
    connect(all, &QAction::triggered, this, [this] { list_->SelectAll(); });
    connect(none, &QAction::triggered, this, [this] { list_->DeselectAll(); });
    connect(menu_, &QMenu::aboutToShow, this, [this, all, none] {
        all->setText(CapSelectAll);
        none->setText(CapDeSelectAll);
    });
    connect(listView_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->exec(listView_->viewport()->mapToGlobal(at)); });
    connect(listView_, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { ItemToggled(listView_->row(item)); });
    connect(button_, &QToolButton::clicked, this, [this] { IsDroppedDown() ? CloseUp() : DropDown(); });
    Bind();
}

TCheckedComboBox::~TCheckedComboBox() {
    own_.OnChange = nullptr;
    if (list_ != &own_) list_->OnChange = nullptr;
}

void TCheckedComboBox::SetList(TCheckedList& list) {
    if (list_ != &own_) list_->OnChange = nullptr;
    list_ = &list;
    Bind();
}

void TCheckedComboBox::Bind() {
    list_->OnChange = [this] { ListChanged(); };
    FillList();
    ShowText();
}

void TCheckedComboBox::SetItems(const std::vector<std::string>& items) { list_->SetItems(items); }

void TCheckedComboBox::SetItemChecked(int index, bool checked) { list_->SetItemChecked(index, checked); }

QString TCheckedComboBox::Text() const { return edit_->text(); }

void TCheckedComboBox::FillList() {
    filling_ = true;
    const auto& items = list_->Items();
    if (listView_->count() != static_cast<int>(items.size())) {
        listView_->clear();
        for (const std::string& text : items) {
            auto* item = new QListWidgetItem(ToQt(text), listView_);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        }
    }
    for (int i = 0; i < listView_->count(); ++i) {
        listView_->item(i)->setText(ToQt(items[static_cast<std::size_t>(i)]));
        listView_->item(i)->setCheckState(list_->ItemChecked(i) ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void TCheckedComboBox::ItemToggled(int row) {
    if (filling_ || row < 0) return;
    const bool wanted = listView_->item(row)->checkState() == Qt::Checked;
    // A refused tick (no room) is taken back in the list.
    if (!list_->SetItemChecked(row, wanted) || list_->ItemChecked(row) != wanted) FillList();
}

void TCheckedComboBox::ListChanged() {
    FillList();
    ShowText();
    if (OnChange) OnChange();
}

void TCheckedComboBox::ShowText() { edit_->setText(ToQt(list_->DisplayText())); }

bool TCheckedComboBox::IsDroppedDown() const { return popup_->isVisible(); }

void TCheckedComboBox::DropDown() {
    if (IsDroppedDown()) return;
    const int lines = TCheckedList::DropDownLines(DropDownLines, Columns, listView_->count());
    const int itemHeight = listView_->sizeHintForRow(0);
    const int lineHeight = itemHeight > 0 ? itemHeight : listView_->fontMetrics().height() + 2;
    const int height = lines * lineHeight + 4;
    const QPoint below = mapToGlobal(QPoint(0, this->height()));
    const QScreen* screen = this->screen();
    const int screenBottom = screen ? screen->availableGeometry().bottom() : below.y() + height + 100;
    const QPoint at = TCheckedList::OpensAbove(below.y(), height, screenBottom) ? mapToGlobal(QPoint(0, -height))
                                                                                 : below;
    popup_->setFixedSize(width(), height);
    popup_->move(at);
    popup_->show();
    listView_->setFocus();
    if (listView_->count() > 0 && !listView_->currentItem()) listView_->setCurrentRow(0);
}

void TCheckedComboBox::CloseUp() {
    if (IsDroppedDown()) popup_->hide();
}

bool TCheckedComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == popup_ && event->type() == QEvent::Hide) {
        if (OnCloseUp) OnCloseUp();
    } else if ((watched == listView_ || watched == popup_) && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CloseUp();
        return true;
    } else if (watched == edit_ && event->type() == QEvent::FocusIn) {
        edit_->setStyleSheet("background: white");
    } else if (watched == edit_ && event->type() == QEvent::FocusOut) {
        edit_->setStyleSheet(QString("background: %1").arg(NotFocusColor.name()));
    } else if (watched == edit_ && event->type() == QEvent::MouseButtonPress) {
        IsDroppedDown() ? CloseUp() : DropDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
