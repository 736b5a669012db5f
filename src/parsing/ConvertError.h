#pragma once

#include <stdexcept>

// A text that does not convert into a value, such as a Date line that names no
// valid date. The only exception that leaves the header parser.
class TConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
