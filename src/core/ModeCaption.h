#pragma once

#include <string>

// The caption of an InBox or DelBox mode: its base text (up to its first "(")
// followed by "(", the row count and ")" when the box has rows, so a count is
// replaced, never repeated, and whatever language the base text is in stays.
std::string CountedModeCaption(const std::string& caption, int rows);
