// "Add to filter": the dialog that makes filter expressions from the current InBox row.
#include "base/UserInterface.h"
#include "core/DataModule.h"
#include "filtering/AddToFilter.h"
#include "filtering/dmfilters.h"

#include <stdexcept>

namespace {

TFilterDM* LiveFilters() {
    try {
        return &FilterDM();
    } catch (const std::logic_error&) {
        return nullptr;
    }
}

}  // namespace

void TDM::SetUpAddToFilter() {
    TAction& action = Actions.Add("AddToFilter", "Add to filter", "InBox");
    action.OnExecute = [this](TAction&) { AddToFilterExecute(); };
    action.OnUpdate = [this](TAction& a) { a.SetEnabled(!cdsInBox.IsEmpty() && Idle); };
    action.SetEnabled(false);
}

void TDM::AddToFilterExecute() {
    TFilterDM* filters = LiveFilters();
    if (!filters || cdsInBox.IsEmpty()) return;
    TAddToFilter dialog(*filters, cdsInBox.AsString("header"));
    dialog.Show();
    UserInterface().ShowAddToFilter(dialog);
}
