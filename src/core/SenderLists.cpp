#include "core/SenderLists.h"

#include "data/TTable.h"
#include "platform/CodePage.h"

bool IsNewListAddress(const std::string& address, TTable& list) {
    for (int recNo = 1; recNo <= list.RecordCount(); ++recNo) {
        const TValue& name = list.ValueAt(recNo, list.FieldIndex("name"));
        if (const auto* text = std::get_if<std::string>(&name); text && CodePageSameText(*text, address)) return false;
    }
    return true;
}

void AddListAddresses(const std::vector<std::string>& addresses, TTable& list) {
    for (const std::string& address : addresses) {
        list.Append();
        list.SetValue("name", address);
        if (!list.Post()) return;
    }
}
