#pragma once

#include <stdexcept>
#include <string>

// A refused table operation: a missing required value, a value of the wrong
// kind, an edit outside edit mode, a file that cannot be written.
class TTableError : public std::runtime_error {
public:
    explicit TTableError(const std::string& message) : std::runtime_error(message) {}
};
