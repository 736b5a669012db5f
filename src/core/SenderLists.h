#pragma once

#include <string>
#include <vector>

class TTable;

// Whether the friends list or blacklist has no entry equal to the address,
// compared without regard to case over the whole value.
bool IsNewListAddress(const std::string& address, TTable& list);
// Appends one entry per address, in order; each post runs the list's checks
// and saves it. Stops at the first entry the list refuses (its row stays in
// edit mode, as a refused post leaves it).
void AddListAddresses(const std::vector<std::string>& addresses, TTable& list);
