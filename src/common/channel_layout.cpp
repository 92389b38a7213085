#include "common/channel_layout.h"

namespace tonequill {

ChannelLayout channelLayout(int32_t outputIndex) {
    const int32_t n = outputIndex + 1;
    if (n == 1 || n == 2) return {ChipGroup::base, 0, 16, PitchRule::octaveMinusOne};
    if (n == 3) return {ChipGroup::base, 0, 5, PitchRule::octavePlain};
    if (n == 4) return {ChipGroup::base, 1000, 16, PitchRule::noiseC};
    if (n == 5) return {ChipGroup::base, 0, 0, PitchRule::absolutePlusOne};
    if (n == 6) return {ChipGroup::fds, 2000, 33, PitchRule::octavePlusOne};
    if (n == 7 || n == 8) return {ChipGroup::vrc6, 3000, 16, PitchRule::octaveMinusOne};
    if (n == 9) return {ChipGroup::vrc6, 4000, 43, PitchRule::octaveMinusOne};
    if (n >= 10 && n <= 15) return {ChipGroup::vrc7, 5000, 16, PitchRule::octaveMinusOne};
    if (n == 16 || n == 17) return {ChipGroup::mmc5, 0, 16, PitchRule::octaveMinusOne};
    if (n >= 18 && n <= 25) return {ChipGroup::n16x, 6000, 16, PitchRule::octaveMinusOne};
    if (n >= 26 && n <= 28) return {ChipGroup::sunsoft5b, 7000, 16, PitchRule::octaveMinusOne};
    return {ChipGroup::base, 0, 0, PitchRule::octaveMinusOne};
}

int32_t volumeLevel(int32_t levelCount, int32_t velocity) {
    if (levelCount < 2) return 0;
    return ((levelCount - 1) * velocity + 63) / 127;
}

}  // namespace tonequill
