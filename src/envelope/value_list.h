#pragma once

#include <cstdint>
#include <span>

#include "common/envelope_record.h"

namespace tonequill {

// The list a record keeps its per-frame values in. A note's lists are made
// as this type, so that a long note's lists go to its record without a copy,
// whatever memory the record's lists take.
using ValueList = decltype(EnvelopeRecord::emValues);

// Values read in place, whatever list holds them.
using ValueSpan = std::span<const int32_t>;

}  // namespace tonequill
