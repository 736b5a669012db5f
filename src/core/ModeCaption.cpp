#include "core/ModeCaption.h"

std::string CountedModeCaption(const std::string& caption, int rows) {
    const std::string base = caption.substr(0, caption.find('('));
    return rows > 0 ? base + "(" + std::to_string(rows) + ")" : base;
}
