#pragma once

#include <cstdint>

namespace tonequill {

// Sets up the C library's memory for one conversion of an input file of
// `inputBytes` bytes. A process-wide setting, made once at the start of
// main before any thread runs; does nothing where it does not apply.
void prepareProcessMemory(std::uintmax_t inputBytes);

}  // namespace tonequill
