#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

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

// The tables of the mapping file, read-only once loaded.
struct MappingTables {
    std::map<int32_t, EvDefinition> evMap;  // [EvMap]: voice -> volume shape
    std::map<int32_t, TokenList> eAtMap;    // [E@Map]: voice -> voice settings
    std::map<int32_t, TokenList> enMap;     // [EnMap]: TR4 voice -> note envelope
    std::map<int32_t, TokenList> emoMap;    // [EmoMap]: modulation (at-least match) -> vibrato
    std::map<int32_t, TokenList> apPcMap;   // [ApMap] plain keys: program + 1 -> arpeggio
    std::map<int32_t, TokenList> apCcMap;   // [ApMap] "E" keys: controller 12 value -> arpeggio
};

}  // namespace tonequill
