#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tonequill {

// Writes a text file safely: `write` fills a stream whose "\n" become CR LF in
// a temporary file beside `path`; only a complete, flushed and closed file is
// renamed over `path`. On any failure the temporary file is removed, an
// existing file at `path` stays as it was, and ConversionError is thrown.
void writeFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace tonequill
