#pragma once

#include "core/MailCommands.h"

#include <string>
#include <vector>

// What a Process Mail run did, in one line for a note in the tray: how many
// messages were deleted and how many kept; empty when there was nothing to do.
std::string ProcessSummary(const std::vector<TMailCommands::TRowOutcome>& outcomes);
