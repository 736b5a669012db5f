#include "filtering/CheckedList.h"

#include "base/UserInterface.h"

#include <algorithm>

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : ",") + items[i];
    return text;
}

}  // namespace

void TCheckedList::SetItems(std::vector<std::string> items) {
    items_ = std::move(items);
    if (Sorted) std::sort(items_.begin(), items_.end());
    checked_.assign(items_.size(), false);
    checkingOrder_.clear();
    checkedText_.clear();
    checkedCount_ = 0;
    Changed();
}

bool TCheckedList::ItemChecked(int index) const {
    return index >= 0 && index < static_cast<int>(checked_.size()) && checked_[static_cast<std::size_t>(index)];
}

bool TCheckedList::SetItemChecked(int index, bool checked) {
    if (index < 0 || index >= static_cast<int>(items_.size()) || ItemChecked(index) == checked) return true;
    if (checked) {
        if (!Check(index)) return false;
    } else {
        Uncheck(index);
    }
    Changed();
    return true;
}

// Items are compared whole: checking "To" after "Reply-To" adds "To".
bool TCheckedList::Check(int index) {
    const std::string& item = items_[static_cast<std::size_t>(index)];
    if (std::find(checkingOrder_.begin(), checkingOrder_.end(), item) == checkingOrder_.end()) {
        const std::size_t length = checkedText_.size() + (checkingOrder_.empty() ? 0 : 1) + item.size();
        if (length >= kTextLimit) {
            UserInterface().MessageBox("There is no room for Selected", "", TMsgIcon::Warning, mbOK);
            return false;
        }
        checkingOrder_.push_back(item);
        checkedText_ = Joined(checkingOrder_);
    }
    checked_[static_cast<std::size_t>(index)] = true;
    ++checkedCount_;
    return true;
}

void TCheckedList::Uncheck(int index) {
    const std::string& item = items_[static_cast<std::size_t>(index)];
    checked_[static_cast<std::size_t>(index)] = false;
    --checkedCount_;
    // Two items with the same text share one place in the text.
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (checked_[i] && items_[i] == item) return;
    checkingOrder_.erase(std::find(checkingOrder_.begin(), checkingOrder_.end(), item));
    checkedText_ = Joined(checkingOrder_);
}

std::vector<std::string> TCheckedList::CheckedItems() const {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (checked_[i]) items.push_back(items_[i]);
    return items;
}

std::string TCheckedList::DisplayText() const {
    if (checkedCount_ == 0) return EmptyValue;
    return SortDisplay ? Joined(CheckedItems()) : checkedText_;
}

// The text is rebuilt in item order, not kept in the order of earlier ticks.
void TCheckedList::SelectAll() {
    checked_.assign(items_.size(), false);
    checkingOrder_.clear();
    checkedText_.clear();
    checkedCount_ = 0;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (!Check(static_cast<int>(i))) break;
    Changed();
}

void TCheckedList::DeselectAll() {
    if (checkedCount_ == 0) return;
    checked_.assign(items_.size(), false);
    checkingOrder_.clear();
    checkedText_.clear();
    checkedCount_ = 0;
    Changed();
}

int TCheckedList::DropDownLines(int lines, int columns, int itemCount) {
    if (columns > 1) lines = itemCount / columns + 1;
    return std::clamp(lines, 4, 10);
}

bool TCheckedList::OpensAbove(int boxBottom, int listHeight, int screenBottom) {
    return boxBottom + listHeight > screenBottom - 20;
}

void TCheckedList::Changed() {
    if (OnChange) OnChange();
}
