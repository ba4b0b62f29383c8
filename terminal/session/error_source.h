// A library's error numbers and texts, as the session model reports them.
#pragma once

#include <span>

namespace ostrel {

class ErrorSource {
public:
    virtual ~ErrorSource() = default;
    virtual int LastError() = 0;
    // Writes the text with a terminating zero into buffer; returns its length, 0 when no text.
    virtual int ErrorString(int code, std::span<char> buffer) = 0;
};

}  // namespace ostrel
