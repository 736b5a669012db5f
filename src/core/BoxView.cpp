#include "core/BoxView.h"

#include "addressbook/DMAddress.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "complaints/BatchErrorMessages.h"
#include "complaints/ComplaintTemplates.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/SenderLists.h"
#include "parsing/TextOps.h"

namespace {

// The fields a move carries: what the views list, and what names the
// message on its server, so that a moved spam is still deleted.
constexpr const char* kMovedFields[] = {"attachment", "from",      "to",   "subject", "size",     "date",
                                        "organization", "header", "idaccount", "messagenum", "uid", "fromaddress"};

// Shows the box's change without a notification per row.
class TQuietBox {
public:
    explicit TQuietBox(TTable& box) : box_(box) { box_.DisableControls(); }
    ~TQuietBox() { box_.EnableControls(); }
    TQuietBox(const TQuietBox&) = delete;
    TQuietBox& operator=(const TQuietBox&) = delete;

private:
    TTable& box_;
};

}  // namespace

TBoxView::TBoxView(TDM& dm, TKind kind)
    : dm_(dm), kind_(kind), box_(kind == TKind::InBox ? dm.cdsInBox : dm.cdsDelBox) {
    const auto add = [this](const char* name, const char* caption, std::function<void()> run) {
        TAction& action = Actions.Add(name, caption, kind_ == TKind::InBox ? "InBox" : "DelBox");
        if (run) action.OnExecute = [run](TAction&) { run(); };
        return &action;
    };
    if (kind_ == TKind::InBox) {
        add("Move2DelBox", "Move to DelBox", [this] { MoveRows(); });
        add("Add2Friends", "Add to friends", [this] { AddSendersTo(dm_.cdsFriends, true); });
        add("Add2Blacklist", "Add to blacklist", [this] { AddSendersTo(dm_.cdsBlackList, false); });
        add("SelectAll", "Select all", [this] { SelectAll(); });
        add("UnSelectAll", "UnSelect all", [this] { UnSelectAll(); });
        add("SendErrorMsg", "Send error message", [this] { SendErrorMessages(false); });
        add("SendErrorMsgAndDel", "Send error message && delete", [this] { SendErrorMessages(true); });
    } else {
        add("MoveToInBox", "Move to InBox", [this] { MoveRows(); })->SetEnabled(false);
    }
    // A command on the current row must not run while rows are ticked, even
    // when executed directly: its availability rule sees the ticks too.
    const std::vector<const char*> singleRow = kind_ == TKind::InBox
                                                   ? std::vector<const char*>{"AddToFilter", "RetrieveBody", "Complain"}
                                                   : std::vector<const char*>{"DelRetrieveBody", "DelBoxComplain"};
    for (const char* name : singleRow)
        if (TAction* action = dm_.Actions.Find(name))
            action->OnUpdate = [prior = action->OnUpdate, this](TAction& a) {
                if (prior) prior(a);
                if (SelectedCount > 0) a.SetEnabled(false);
            };
    dm_.ViewActions.push_back(&Actions);
    dm_.ViewChangeHandlers.push_back([this] { DataChanged(); });
    // A scan adds rows with the commands unavailable; it runs the handler
    // once when it ends.
    subscription_ = box_.Subscribe([this](TTable&, TTable::TChange) {
        if (dm_.Idle) DataChanged();
    });
}

TBoxView::~TBoxView() { box_.Unsubscribe(subscription_); }

int TBoxView::CountTicked() {
    int ticked = 0;
    const int field = box_.FieldIndex("Selected");
    for (int recNo = 1; recNo <= box_.RecordCount(); ++recNo) {
        const TValue& value = box_.ValueAt(recNo, field);
        if (const bool* on = std::get_if<bool>(&value); on && *on) ++ticked;
    }
    return ticked;
}

void TBoxView::ToggleCurrent() {
    if (box_.IsEmpty()) return;
    const bool ticked = !box_.AsBoolean("Selected");
    box_.Edit();
    box_.SetValue("Selected", ticked);
    box_.Post();
    SelectedCount += ticked ? 1 : -1;
    DataChanged();
}

void TBoxView::TickUpwards() {
    if (box_.IsEmpty() || box_.AsBoolean("Selected")) return;
    const int current = box_.RecNo();
    {
        TQuietBox quiet(box_);
        for (int recNo = current; recNo >= 1; --recNo) {
            box_.SetRecNo(recNo);
            if (box_.AsBoolean("Selected")) break;
            box_.Edit();
            box_.SetValue("Selected", true);
            box_.Post();
            ++SelectedCount;
        }
        box_.SetRecNo(current);
    }
    DataChanged();
}

void TBoxView::SelectAll() {
    const int current = box_.RecNo();
    {
        TQuietBox quiet(box_);
        for (box_.First(); !box_.Eof(); box_.Next()) {
            box_.Edit();
            box_.SetValue("Selected", true);
            box_.Post();
        }
        box_.SetRecNo(current);
    }
    SelectedCount = box_.RecordCount();
    DataChanged();
}

void TBoxView::UnSelectAll() {
    const int current = box_.RecNo();
    {
        TQuietBox quiet(box_);
        for (box_.First(); !box_.Eof(); box_.Next()) {
            box_.Edit();
            box_.SetValue("Selected", false);
            box_.Post();
        }
        box_.SetRecNo(current);
    }
    SelectedCount = 0;
    DataChanged();
}

void TBoxView::MoveCurrentRow(TTable& target) {
    target.Append();
    for (const char* field : kMovedFields)
        if (target.FieldIndex(field) >= 0 && box_.FieldIndex(field) >= 0) target.SetValue(field, box_.Value(field));
    if (kind_ == TKind::InBox) target.SetValue("Prichina", Tr("twkInBox.MovedFrom", "Moved from InBox"));
    target.Post();
    box_.Delete();
}

void TBoxView::MoveRows() {
    if (box_.IsEmpty()) return;
    TTable& target = kind_ == TKind::InBox ? dm_.cdsDelBox : dm_.cdsInBox;
    if (SelectedCount == 0) {
        MoveCurrentRow(target);
    } else {
        TQuietBox quiet(box_);
        box_.First();
        while (!box_.Eof()) {
            if (box_.AsBoolean("Selected"))
                MoveCurrentRow(target);
            else
                box_.Next();
        }
        SelectedCount = 0;
    }
    DataChanged();
}

void TBoxView::AddSendersTo(TTable& list, bool friends) {
    std::vector<std::string> addresses;
    const auto collect = [&] {
        const std::string address = RowSenderAddress(box_);
        if (IsNewListAddress(address, list)) addresses.push_back(address);
    };
    if (SelectedCount != 0) {
        const int current = box_.RecNo();
        TQuietBox quiet(box_);
        for (box_.First(); !box_.Eof(); box_.Next())
            if (box_.AsBoolean("Selected")) collect();
        box_.SetRecNo(current);
    } else if (!box_.IsEmpty()) {
        collect();
    }
    TUserInterface& ui = UserInterface();
    if (addresses.empty()) {
        ui.MessageBox(friends ? Tr("twkInBox.NoNewEMail4Friends", "No new e-mail addresses for adding to friend list")
                              : Tr("twkInBox.NoNewEMail4BlackList", "No new e-mail addresses for add to Black List"),
                      Tr("twkInBox.Information", "Information"), TMsgIcon::Information, mbOK);
        return;
    }
    std::string joined;
    for (const std::string& address : addresses) joined += (joined.empty() ? "" : ", ") + address;
    const std::string question =
        friends ? Tr("twkInBox.QuestionAddToFriends", "Do you want to add e-mail addresses <%emails> to friends")
                : Tr("twkInBox.QuestionAddToBlacklist", "Add follow e-mail addresses <%emails> in to Black List");
    if (ui.MessageBox(ReplaceAll(question, "<%emails>", joined), Tr("twkInBox.Question", "Question"),
                      TMsgIcon::Question, mbYesNo) == TMsgResult::Yes)
        AddListAddresses(addresses, list);
}

void TBoxView::AddSenderToAddressBook(TAddressDM& book) {
    const bool rows = !box_.IsEmpty();
    book.NewContactEmail = rows ? RowSenderAddress(box_) : std::string();
    book.NewContactName = rows ? DisplayNameOf(box_.AsString("from")) : std::string();
    book.Actions["Add"].Execute();
}

void TBoxView::SendErrorMessages(bool andDelete) {
    TTable& accounts = dm_.cdsAccounts;
    const auto accountOf = [&accounts](std::int64_t id) -> std::optional<TAccountValues> {
        if (id <= 0 || !accounts.Locate("id", id)) return std::nullopt;
        return AccountValuesOf(accounts);
    };
    {
        TBatchErrorMessages batch(box_, ErrorTemplate ? ErrorTemplate() : TComplaintTemplates::Defaults().error,
                                  accountOf);
        batch.Show();
        UserInterface().ShowErrorMessageSender(batch);
    }
    if (andDelete) MoveRows();
    else DataChanged();
}

void TBoxView::TitleClicked(const std::string& field) {
    if (field == sortField_)
        ascending_ = !ascending_;
    else {
        sortField_ = field;
        ascending_ = true;
    }
    const std::string index = field + (ascending_ ? "_asc" : "_desc");
    if (box_.HasIndex(index)) box_.SetIndexName(index);
}

void TBoxView::RebuildTabs() {
    Tabs.assign(1, Tr("InboxFrameTabControl", "All"));
    box_.SetFiltered(false);
    TTable& accounts = dm_.cdsAccounts;
    const TTable::TBookmark remembered = accounts.IsEmpty() ? 0 : accounts.Bookmark();
    for (accounts.First(); !accounts.Eof(); accounts.Next())
        if (accounts.AsInteger("identity") == dm_.CurrentIdentityId) Tabs.push_back(accounts.AsString("description"));
    if (remembered) accounts.GotoBookmark(remembered);
}

void TBoxView::TabChanged(int tab) {
    if (tab <= 0 || tab >= static_cast<int>(Tabs.size())) {
        box_.SetFiltered(false);
    } else {
        // Two accounts with one description: the first of them is the tab's.
        const TValue id = dm_.cdsAccounts.Lookup("description", Tabs[static_cast<std::size_t>(tab)], "id");
        box_.SetFilter("idaccount=" + (IsNull(id) ? std::string("0") : std::to_string(std::get<std::int64_t>(id))));
        box_.SetFiltered(true);
    }
    SelectedCount = CountTicked();
    DataChanged();
}

void TBoxView::RecountTicks() {
    SelectedCount = CountTicked();
    DataChanged();
}

void TBoxView::DataChanged() {
    const auto set = [](TActionList& list, const char* name, bool enabled) {
        if (TAction* action = list.Find(name)) action->SetEnabled(enabled);
    };
    const bool rows = !box_.IsEmpty();
    const bool idle = dm_.Idle;
    if (kind_ == TKind::InBox) {
        const char* single[] = {"AddToFilter", "RetrieveBody", "Complain"};
        if (!rows) {
            for (const char* name : single) set(dm_.Actions, name, false);
            for (const char* name : {"Move2DelBox", "Add2Friends", "Add2Blacklist", "SelectAll", "UnSelectAll",
                                     "SendErrorMsg", "SendErrorMsgAndDel"})
                set(Actions, name, false);
        } else {
            if (SelectedCount < 1) {
                if (idle)
                    for (const char* name : single) set(dm_.Actions, name, true);
                set(Actions, "SendErrorMsg", false);
                set(Actions, "SendErrorMsgAndDel", false);
            } else {
                for (const char* name : single) set(dm_.Actions, name, false);
                set(Actions, "SendErrorMsg", true);
                set(Actions, "SendErrorMsgAndDel", true);
            }
            if (idle)
                for (const char* name : {"Move2DelBox", "Add2Friends", "Add2Blacklist", "SelectAll", "UnSelectAll"})
                    set(Actions, name, true);
        }
    } else {
        if (!rows) {
            set(dm_.Actions, "DelRetrieveBody", false);
            set(dm_.Actions, "DelBoxComplain", false);
            set(Actions, "MoveToInBox", false);
        } else {
            set(dm_.Actions, "DelRetrieveBody", SelectedCount < 1 && idle);
            set(dm_.Actions, "DelBoxComplain", SelectedCount < 1);
            if (idle) set(Actions, "MoveToInBox", true);
        }
        // Process Mail is there exactly when DelBox has rows, however they came.
        for (const char* name : {"ProcessMail", "RunMailClient"})
            if (TAction* action = dm_.Actions.Find(name)) action->Update();
    }
}
