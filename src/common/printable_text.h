#pragma once

#include <string>
#include <string_view>

namespace tonequill {

// A track name fit for a terminal: valid UTF-8 stays, control characters and
// bytes that are not UTF-8 become \xNN (a backslash becomes \\).
std::string printableText(std::string_view bytes);

}  // namespace tonequill
