#pragma once

#include <string_view>

#include "mapping/mapping_tables.h"

namespace tonequill {

// None: before the first header, where data lines are skipped.
enum class MappingSection { None, EvMap, EAtMap, EnMap, EmoMap, ApMap };

// The section a line starts when it is exactly one of the five headers
// ("[EvMap]", "[E@Map]", "[EnMap]", "[EmoMap]", "[ApMap]"), else None.
MappingSection sectionOfHeader(std::string_view line);

// How a line that is no header is laid out.
enum class LineShape {
    entry,          // a key, "{", the body and "}"
    noBraces,       // no "{": skipped
    bracketed,      // no "{", and "[" is its first character after blanks: skipped
    unclosedBrace,  // a "{" with no "}" after it: skipped
};

// Reads one data line of `section` into its table (nothing for None) and
// tells its shape. The key text is what comes before the first "{", the
// body what lies between it and the next "}"; a line without them is
// skipped. A malformed number throws MappingNumberError (mapping_hints.h),
// a std::invalid_argument, or a std::out_of_range for one outside 32 signed
// bits, with the number's text; its line is left for the caller to fill in.
LineShape readDataLine(MappingTables& tables, MappingSection section, std::string_view line);

}  // namespace tonequill
