#pragma once

#include <cstdint>
#include <string_view>

namespace tonequill {

// Reads a decimal number the way the mapping file and the track names write
// them: leading white space is skipped, an optional "+" or "-", then at least
// one digit; whatever follows the digits is ignored. Throws
// std::invalid_argument("invalid stoi argument") when no number starts the
// text and std::out_of_range("stoi argument out of range") when it does not
// fit in 32 signed bits.
int32_t parseInt32(std::string_view text);

// True when the whole text is an optional "+" or "-" and one or more digits.
bool isIntegerToken(std::string_view text);

}  // namespace tonequill
