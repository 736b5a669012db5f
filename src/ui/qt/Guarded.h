#pragma once

#include <functional>

// Runs a command of a window. A table check or a file that cannot be written
// ends it with an exception; it is told in an error box instead of leaving
// through Qt's event loop, which would end the program. True when it ran
// through.
bool RunReportingErrors(const std::function<void()>& command);
