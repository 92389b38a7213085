#pragma once

#include <string>
#include <string_view>

namespace tonequill {

// Text made safe for XML content and attribute values: &, <, >, " and ' become
// entities; bytes that are not UTF-8, and characters XML 1.0 does not allow
// (control characters other than tab, line feed and carriage return,
// U+FFFE and U+FFFF), become U+FFFD.
std::string xmlText(std::string_view bytes);

}  // namespace tonequill
