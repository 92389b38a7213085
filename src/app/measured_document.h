#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "app/limited_streambuf.h"

namespace tonequill {

// Runs `write` as the converter's document file would take it (every "\n"
// counted as CR LF, at most `maxDocumentBytes` bytes) and keeps none of it:
// a run that must fail where the converter fails, without holding the
// document, stores it here. Throws ConversionError past the limit.
void writeMeasuredDocument(const std::function<void(std::ostream&)>& write,
                           int64_t maxDocumentBytes = kMaxDocumentBytes);

}  // namespace tonequill
