#pragma once

#include <string>

// The translation of a text the core composes, in the current language, with
// its English default for a missing key.
std::string Tr(const std::string& key, const std::string& englishDefault);
