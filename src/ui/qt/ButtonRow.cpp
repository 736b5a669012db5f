#include "ui/qt/ButtonRow.h"

#include <QGridLayout>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>

TButtonRow::TButtonRow(QWidget* parent) : QWidget(parent), grid_(new QGridLayout(this)) {
    grid_->setContentsMargins(4, 4, 4, 4);
    grid_->setHorizontalSpacing(6);
    grid_->setVerticalSpacing(4);
}

void TButtonRow::Add(QPushButton* button) {
    button->setParent(this);
    buttons_.push_back(button);
    Arrange(static_cast<int>(buttons_.size()));
}

int TButtonRow::ColumnsThatFit(int width) const {
    const int spacing = grid_->horizontalSpacing();
    int used = grid_->contentsMargins().left() + grid_->contentsMargins().right();
    int columns = 0;
    for (const QPushButton* button : buttons_) {
        used += button->sizeHint().width() + (columns > 0 ? spacing : 0);
        if (used > width) break;
        ++columns;
    }
    return std::max(1, columns);
}

void TButtonRow::Arrange(int columns) {
    if (columns == columns_) return;
    columns_ = columns;
    for (QPushButton* button : buttons_) grid_->removeWidget(button);
    for (int i = 0; i < grid_->columnCount(); ++i) grid_->setColumnStretch(i, 0);
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        grid_->addWidget(buttons_[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
    grid_->setColumnStretch(columns, 1);  // the buttons keep to the left
    updateGeometry();
}

void TButtonRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Arrange(ColumnsThatFit(event->size().width()));
}
