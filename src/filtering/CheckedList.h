#pragma once

#include <functional>
#include <string>
#include <vector>

// What a checked combo box (a drop-down list with a check box per item) knows
// without its widgets: the items, which are checked, the text of the checked
// items in the order the user checked them, and the text the box shows. The
// widget forwards every tick here and shows DisplayText().
class TCheckedList {
public:
    // The checked text must stay below this many characters.
    static constexpr std::size_t kTextLimit = 256;

    std::string EmptyValue = "<none>";
    // Show the checked items in item order instead of checking order.
    bool SortDisplay = false;
    // Items are kept in alphabetical order.
    bool Sorted = false;

    // Runs after every change of the checks or the items.
    std::function<void()> OnChange;

    // Replaces every item; nothing is checked afterwards.
    void SetItems(std::vector<std::string> items);
    const std::vector<std::string>& Items() const { return items_; }

    // False for an index outside the items.
    bool ItemChecked(int index) const;
    // Checking an item that does not fit into the checked text is refused
    // with "There is no room for Selected"; false then (the item stays
    // unchecked). An index outside the items changes nothing.
    bool SetItemChecked(int index, bool checked);
    int CheckedCount() const { return checkedCount_; }
    // The checked items joined with ",", in the order they were checked.
    const std::string& CheckedText() const { return checkedText_; }
    // The checked items in item order.
    std::vector<std::string> CheckedItems() const;
    // EmptyValue when nothing is checked, else the checked text (in item
    // order with SortDisplay).
    std::string DisplayText() const;

    // The pop-up menu's two commands. Select all checks the items in item
    // order, as far as they fit.
    void SelectAll();
    void DeselectAll();

    // How many item lines the drop-down list is high: the asked lines, or
    // with more than one column the lines the items need; between 4 and 10.
    static int DropDownLines(int lines, int columns, int itemCount);
    // Whether the drop-down list opens above the box: when below it would end
    // less than 20 pixels above the screen's bottom.
    static bool OpensAbove(int boxBottom, int listHeight, int screenBottom);

private:
    bool Check(int index);
    void Uncheck(int index);
    void Changed();

    std::vector<std::string> items_;
    std::vector<bool> checked_;
    std::vector<std::string> checkingOrder_;
    std::string checkedText_;
    int checkedCount_ = 0;
};
