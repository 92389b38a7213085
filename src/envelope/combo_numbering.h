#pragma once

#include <cstdint>

#include "mapping/mapping_tables.h"
#include "common/combination.h"
#include "common/envelope_record.h"

namespace tonequill {

// The combination number of (voice, level, trackNumber): the one it already
// has, or the next free number, entered in the table.
int32_t comboNumber(ComboTable& combos, int32_t voice, int32_t level, int32_t trackNumber);

// The note-envelope record of a TR4 voice, made from its [EnMap] entry (the
// single value 0 when missing or empty): per-frame values when every token is
// a number, else the tokens themselves. Each voice has a record of its own,
// never shared with pitch-envelope records. A number beyond 32 bits throws
// std::out_of_range("stoi argument out of range").
EnvelopeRecord noiseRecordOf(const MappingTables& tables, int32_t voice);

}  // namespace tonequill
