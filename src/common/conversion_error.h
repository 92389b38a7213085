#pragma once

#include <stdexcept>

namespace tonequill {

// A failure of the conversion stage; the entry point prints "error: " and the message.
struct ConversionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tonequill
