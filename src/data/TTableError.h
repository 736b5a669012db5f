#pragma once

#include <stdexcept>
#include <string>

// A refused table operation: a missing required value, a value of the wrong
// kind, an edit outside edit mode, a file that cannot be written.
class TTableError : public std::runtime_error {
public:
    explicit TTableError(const std::string& message) : std::runtime_error(message) {}
};

// Another program, most likely another Tarnwick on the same home folder,
// keeps a table file locked for longer than the busy timeout. Nothing was
// renamed, deleted or written; what() is the text for the user.
class THomeInUseError : public TTableError {
public:
    THomeInUseError(const std::string& message, std::string file)
        : TTableError(message), file_(std::move(file)) {}
    const std::string& File() const { return file_; }

private:
    std::string file_;
};
