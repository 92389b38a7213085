#pragma once

#include <cstdint>
#include <tuple>

namespace tonequill {

// A voice at a volume level on one output track; each distinct one becomes a
// volume envelope definition.
struct Combination {
    int32_t voice = 0;
    int32_t level = 0;
    int32_t trackNumber = 0;  // n of TRn, from 1
};

using ComboKey = std::tuple<int32_t, int32_t, int32_t>;  // (voice, level, trackNumber)

}  // namespace tonequill
