// The commands of the friends list and the blacklist.
#include "core/DataModule.h"

void TDM::SetUpListActions() {
    const struct {
        TTable* list;
        const char* add;
        const char* remove;
        const char* category;
    } lists[] = {{&cdsFriends, "AddFriends", "FriendsRemove", "Friends"},
                 {&cdsBlackList, "AddBlackList", "BlackListRemove", "BlackList"}};
    for (const auto& l : lists) {
        TTable& list = *l.list;
        // The new row waits in edit mode for the grid, where the user types the value.
        Actions.Add(l.add, "Add", l.category).OnExecute = [&list](TAction&) { list.Append(); };
        TAction& remove = Actions.Add(l.remove, "Remove", l.category);
        // One row, not the whole selection, and no question. Written at once,
        // so that a removed entry does not come back after a crash.
        remove.OnExecute = [&list](TAction&) {
            if (list.State() == TTable::TState::Insert || !list.IsEmpty()) list.Delete();
            if (list.HasUnsavedChanges()) list.Save();
        };
        remove.OnUpdate = [this, &list](TAction& a) { a.SetEnabled(!list.IsEmpty() && Idle); };
        remove.SetEnabled(false);
        list.Subscribe([this, remove = l.remove](TTable& changed, TTable::TChange change) {
            if (change != TTable::TChange::State) ListChanged(changed, remove);
        });
    }
}

void TDM::ListChanged(TTable& list, const char* removeAction) {
    TAction& remove = Actions[removeAction];
    if (list.IsEmpty())
        remove.SetEnabled(false);
    else if (Idle)
        remove.SetEnabled(true);
}
