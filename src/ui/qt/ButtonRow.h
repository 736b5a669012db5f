#pragma once

#include <QWidget>

#include <vector>

class QGridLayout;
class QPushButton;

// A row of buttons that continues on a second line when the window is too
// narrow for all of them, so that no caption is cut.
class TButtonRow : public QWidget {
public:
    explicit TButtonRow(QWidget* parent = nullptr);
    void Add(QPushButton* button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int ColumnsThatFit(int width) const;
    void Arrange(int columns);
    QGridLayout* grid_;
    std::vector<QPushButton*> buttons_;
    int columns_ = 0;
};
