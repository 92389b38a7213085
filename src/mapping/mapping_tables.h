#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "envelope/envelope_record.h"

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
using ValuePair = std::pair<std::vector<int32_t>, std::vector<int32_t>>;  // (Em values, En values)

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
    std::map<ValuePair, int32_t> valuePairIndex;  // value lists -> record index
    std::map<int32_t, int32_t> enRecordPc;        // TR4 record index -> voice number
};

}  // namespace tonequill
