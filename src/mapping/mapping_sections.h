#pragma once

#include <string_view>

#include "mapping/mapping_tables.h"

namespace tonequill {

// None: before the first header, where data lines are skipped.
enum class MappingSection { None, EvMap, EAtMap, EnMap, EmoMap, ApMap };

// The section a line starts when it is exactly one of the five headers
// ("[EvMap]", "[E@Map]", "[EnMap]", "[EmoMap]", "[ApMap]"), else None.
MappingSection sectionOfHeader(std::string_view line);

// Reads one data line of `section` into its table (nothing for None). The key
// text is what comes before the first "{", the body what lies between it and
// the next "}"; a line without them is skipped. A malformed number throws std::invalid_argument,
// one outside 32 signed bits std::out_of_range (from parseInt32).
void readDataLine(MappingTables& tables, MappingSection section, std::string_view line);

}  // namespace tonequill
