#include "core/Tr.h"

std::string Tr(const std::string&, const std::string& englishDefault) { return englishDefault; }
