#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace tonequill {

// A voice at a volume level on one output track; each distinct one becomes a
// volume envelope definition.
struct Combination {
    int32_t voice = 0;
    int32_t level = 0;
    int32_t trackNumber = 0;  // n of TRn, from 1
};

using ComboKey = std::tuple<int32_t, int32_t, int32_t>;  // (voice, level, trackNumber)

// The song's combinations, numbered in order of first use.
struct ComboTable {
    std::map<ComboKey, int32_t> index;  // combination -> its number
    std::vector<Combination> list;      // by number
    std::set<int32_t> usedVoices;       // every voice a combination names
};

}  // namespace tonequill
