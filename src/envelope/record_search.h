#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "envelope/value_pair_index.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// The value record for Em values `em` and En values `en`, found or made:
// -1 when both are all zeros; the record already known for this pair; else
// the longest value record that begins with both lists (the later one on a
// tie); else the longest one that both lists begin with, lengthened to them
// (the earlier one on a tie), so notes using it keep their sound; else a new
// record. Keeps `valuePairIndex` up to date.
int32_t findValueRecord(MappingTables& tables, const std::vector<int32_t>& em, const std::vector<int32_t>& en);
// The same, taking the lists: a record that is made or lengthened keeps them
// without a copy (a long note's lists can hold millions of values).
int32_t findValueRecord(MappingTables& tables, std::vector<int32_t>&& em, std::vector<int32_t>&& en);
// The same, with valuePairFacts(em, en) worked out beforehand (on another
// thread, say).
int32_t findValueRecord(MappingTables& tables, const std::vector<int32_t>& em, const std::vector<int32_t>& en,
                        const ValuePairFacts& facts);
int32_t findValueRecord(MappingTables& tables, std::vector<int32_t>&& em, std::vector<int32_t>&& en,
                        const ValuePairFacts& facts);

// The first Em token record holding exactly these vibrato tokens (its name
// stays that of the note that made it), or a new one.
int32_t findTokenEmRecord(MappingTables& tables, const TokenList& tokens, const std::string& name);

// The first En token record holding exactly these tokens under this arpeggio
// name, or a new one, which takes the tokens.
int32_t findTokenEnRecord(MappingTables& tables, TokenRuns tokens, const std::string& apText);

}  // namespace tonequill
