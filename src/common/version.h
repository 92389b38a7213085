#pragma once

namespace tonequill {

// The package version. The build reads it from here (CMakeLists.txt), so
// that the programs, the manual page and the packages always agree.
inline constexpr const char* kVersion = "0.1.0";

}  // namespace tonequill
