#pragma once

namespace tonequill {

// The package version. The build reads it from here (CMakeLists.txt), so
// that the programs, the manual page and the packages always agree.
inline constexpr const char* kVersion = "0.1.0";

// The date of the conversion rules the converter follows, which its banner
// shows ("Ver.2026/5/20"); it is not the package version.
inline constexpr const char* kRulesDate = "2026/5/20";

}  // namespace tonequill
