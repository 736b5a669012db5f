#pragma once

#include "base/TAction.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TAddressDM;
class TDM;
class TTable;

// The rules of the InBox and DelBox views without their widgets: ticks and
// their count, moving rows between the boxes, putting senders on the lists,
// sorting by a column, the account tabs and what is available when. The
// widgets forward clicks here and show the state.
class TBoxView {
public:
    enum class TKind { InBox, DelBox };
    TBoxView(TDM& dm, TKind kind);
    ~TBoxView();
    TBoxView(const TBoxView&) = delete;
    TBoxView& operator=(const TBoxView&) = delete;

    TKind Kind() const { return kind_; }
    TTable& Box() { return box_; }
    // The view's own actions (InBox: Move2DelBox, Add2Friends, Add2Blacklist,
    // SelectAll, UnSelectAll, SendErrorMsg, SendErrorMsgAndDel; DelBox: MoveToInBox).
    TActionList Actions;

    // The number of ticked rows among the rows the view shows.
    int SelectedCount = 0;

    // Double click, or a click with Ctrl: toggles the current row's tick.
    void ToggleCurrent();
    // A click with Shift: ticks from the current row upwards to the first ticked one.
    void TickUpwards();
    void SelectAll();
    void UnSelectAll();
    // Moves the ticked rows (the current one when none is ticked) to the other box.
    void MoveRows();
    // "Add to friends" / "Add to blacklist" with their questions.
    void AddSendersTo(TTable& list, bool friends);
    // "Add to AddressBook": the current row's sender becomes a new contact
    // (its address and display name handed over to the address book's "Add").
    void AddSenderToAddressBook(TAddressDM& book);

    // "Send error message" (and "... && delete", which then moves the ticked
    // rows to DelBox): the batch sender for the ticked rows.
    void SendErrorMessages(bool andDelete);
    // The error-message template of the complaint window (the built-in one when not set).
    std::function<std::vector<std::string>()> ErrorTemplate;

    // A click on a column title: same column reverses, another starts ascending.
    void TitleClicked(const std::string& field);
    const std::string& SortField() const { return sortField_; }
    bool SortAscending() const { return ascending_; }

    // InBox tabs: "All" first, then the signed-in identity's accounts.
    std::vector<std::string> Tabs;
    void RebuildTabs();
    void TabChanged(int tab);

    // SelectedCount from the ticked rows the view shows.
    void RecountTicks();
    // The availability rules after a change of the box.
    void DataChanged();

private:
    void MoveCurrentRow(TTable& target);
    int CountTicked();
    std::string SenderOf();

    TDM& dm_;
    TKind kind_;
    TTable& box_;
    std::string sortField_;
    bool ascending_ = true;
    int subscription_ = 0;
};
