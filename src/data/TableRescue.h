#pragma once

#include "data/TTable.h"

// What the data modules do at start with a table file that does not load.
// Nothing the user made is thrown away, and nothing is touched while another
// program holds the file.

// Loads a table that holds the user's own rows (friends, accounts, filters).
// A file that cannot be read (damaged, cut short, of another layout) is kept
// aside (TTableFile::KeepAside), the user is told through the user-interface
// port, and the table starts empty, to be saved to a fresh file. Returns the
// table's load result. Throws THomeInUseError when the file is locked.
TLoadResult LoadKeepingDamaged(TTable& table);

// Throws THomeInUseError for the table's file, with the text for the user.
[[noreturn]] void ThrowHomeInUse(const TTable& table);
