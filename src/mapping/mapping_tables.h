#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "envelope/envelope_record.h"
#include "envelope/record_index.h"
#include "envelope/value_pair_index.h"

namespace tonequill {

struct EvItem {
    int32_t kind = 0;  // 0 = number item, 1 = text item
    int32_t value = 0;
    std::string text;
};

struct EvDefinition {
    std::vector<EvItem> items;
};

using TokenList = std::vector<std::string>;

// The tables of the mapping file, plus the envelope table that envelope
// assignment and combination building add to.
struct MappingTables {
    std::map<int32_t, EvDefinition> evMap;  // [EvMap]: voice -> volume shape
    std::map<int32_t, TokenList> eAtMap;    // [E@Map]: voice -> voice settings
    std::map<int32_t, TokenList> enMap;     // [EnMap]: TR4 voice -> note envelope
    std::map<int32_t, TokenList> emoMap;    // [EmoMap]: modulation (at-least match) -> vibrato
    std::map<int32_t, TokenList> apPcMap;   // [ApMap] plain keys: program + 1 -> arpeggio
    std::map<int32_t, TokenList> apCcMap;   // [ApMap] "E" keys: controller 12 value -> arpeggio

    std::vector<EnvelopeRecord> records;          // the envelope table, by envelope number
    ValuePairIndex valuePairIndex;                // value lists -> record index
    std::map<int32_t, int32_t> enRecordPc;        // TR4 record index -> voice number
    RecordIndex recordIndex;                      // finds records by content during the envelope pass
};

}  // namespace tonequill
