#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/envelope_table.h"
#include "common/token_runs.h"
#include "envelope/search/record_index.h"
#include "envelope/search/value_pair_index.h"
#include "envelope/value_list.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// The records of an envelope table being made, with the indexes that find a
// record by its content: the envelope pass asks for the record of each
// note's values or tokens, and only these functions add records.
struct RecordSearch {
    explicit RecordSearch(EnvelopeTable& table) : table(table) {}
    RecordSearch(const RecordSearch&) = delete;
    RecordSearch& operator=(const RecordSearch&) = delete;

    EnvelopeTable& table;
    ValuePairIndex valuePairIndex;  // value lists -> record number
    RecordIndex recordIndex;        // records by content
};

// The value record for Em values `em` and En values `en`, found or made:
// -1 when both are all zeros; the record already known for this pair; else
// the longest value record that begins with both lists (the later one on a
// tie); else the longest one that both lists begin with, lengthened to them
// (the earlier one on a tie), so notes using it keep their sound; else a new
// record. Keeps `valuePairIndex` up to date.
int32_t findValueRecord(RecordSearch& search, ValueSpan em, ValueSpan en);
// The same, taking the lists: a record that is made or lengthened keeps them
// without a copy (a long note's lists can hold millions of values).
int32_t findValueRecord(RecordSearch& search, ValueList&& em, ValueList&& en);
// The first Em token record holding exactly these vibrato tokens (its name
// stays that of the note that made it), or a new one.
int32_t findTokenEmRecord(RecordSearch& search, const TokenList& tokens, const std::string& name);

// The first En token record holding exactly these tokens under this arpeggio
// name, or a new one, which takes the tokens.
int32_t findTokenEnRecord(RecordSearch& search, TokenRuns tokens, const std::string& apText);

}  // namespace tonequill
