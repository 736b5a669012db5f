#pragma once

#include "filtering/CheckedList.h"

#include <QColor>
#include <QFrame>
#include <QWidget>

#include <functional>

class QLineEdit;
class QListWidget;
class QMenu;
class QToolButton;

// A read-only text box with a drop-down button whose list has a check box per
// item. The rules (checked text, limit, display text) are those of a
// TCheckedList, its own or one the dialog lends it.
class TCheckedComboBox : public QWidget {
public:
    explicit TCheckedComboBox(QWidget* parent = nullptr);
    ~TCheckedComboBox() override;

    // Shows and changes list instead of its own; list must outlive the box.
    void SetList(TCheckedList& list);
    TCheckedList& List() { return *list_; }

    void SetItems(const std::vector<std::string>& items);
    bool ItemChecked(int index) const { return list_->ItemChecked(index); }
    void SetItemChecked(int index, bool checked);
    int CheckedCount() const { return list_->CheckedCount(); }
    QString Text() const;

    int DropDownLines = 4;
    int Columns = 0;
    QColor NotFocusColor = Qt::white;
    QString CapSelectAll = "&Select All";
    QString CapDeSelectAll = "&DeSelect All";
    static constexpr const char* Version = "1.7";

    // OnChange after every change of the checks, OnCloseUp when the list closes.
    std::function<void()> OnChange;
    std::function<void()> OnCloseUp;

    void DropDown();
    void CloseUp();
    bool IsDroppedDown() const;
    QListWidget* DropDownList() const { return listView_; }
    QMenu* DropDownMenu() const { return menu_; }
    QToolButton* Button() const { return button_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Bind();
    void FillList();
    void ListChanged();
    void ShowText();
    void ItemToggled(int row);

    TCheckedList own_;
    TCheckedList* list_ = &own_;
    QLineEdit* edit_ = nullptr;
    QToolButton* button_ = nullptr;
    QFrame* popup_ = nullptr;
    QListWidget* listView_ = nullptr;
    QMenu* menu_ = nullptr;
    bool filling_ = false;
};
