#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "common/combination.h"
#include "common/envelope_table.h"
#include "mapping/mapping_tables.h"
#include "mml/text_sink.h"
#include "common/prepared_song.h"

namespace tonequill {

// The four definition sections between the header and the song block:
// volume envelopes (one per combination), Em and En pitch envelopes (one per
// record with that part) and voices (one per used voice number).
void writeDefinitions(std::ostream& out, const MappingTables& tables, const EnvelopeTable& envelopes,
                      const ComboTable& combos);
void writeDefinitions(TextSink& sink, const MappingTables& tables, const EnvelopeTable& envelopes,
                      const ComboTable& combos);

// The volume shape of a voice scaled to `level` out of `maxLevel`; without an
// [EvMap] entry the level itself followed by " R 0".
std::string volumeBody(int32_t voice, int32_t level, int32_t maxLevel, const MappingTables& tables);

// A value list as runs, with a lead-in and one period after "L" when a
// repeating tail makes the body shorter.
std::string valueListBody(std::span<const int32_t> values);

// The same body written straight to `out`, a piece at a time: a list of
// millions of values is never held as one string.
void writeValueListBody(std::ostream& out, std::span<const int32_t> values);

// Each token followed by one blank.
std::string tokenBody(const std::vector<std::string>& tokens);

// The [E@Map] tokens of a voice, each followed by one blank; "0" without an entry.
std::string voiceBody(int32_t voice, const MappingTables& tables);

// values[from..to) as runs of equal neighbours: "x " for a single value,
// "x Dc-2 " for a run of c. Empty when the range is empty or reaches past the list.
std::string runText(std::span<const int32_t> values, std::size_t from, std::size_t to);

// The number of tokens runText writes for the same range.
std::size_t runCost(std::span<const int32_t> values, std::size_t from, std::size_t to);

}  // namespace tonequill
