#include "mml/track_combos.h"

#include <algorithm>
#include <limits>

namespace tonequill {
namespace {

// Larger boxes only come from keys no real song makes.
constexpr int64_t kMostTableCells = int64_t{1} << 16;

}  // namespace

TrackCombos::TrackCombos(const std::map<ComboKey, int32_t>& index, int32_t trackNumber)
    : index_(index), trackNumber_(trackNumber) {
    int64_t lowVoice = std::numeric_limits<int64_t>::max();
    int64_t highVoice = std::numeric_limits<int64_t>::min();
    int64_t lowLevel = lowVoice;
    int64_t highLevel = highVoice;
    for (const auto& [key, number] : index) {
        const auto& [voice, level, track] = key;
        if (track != trackNumber) continue;
        lowVoice = std::min<int64_t>(lowVoice, voice);
        highVoice = std::max<int64_t>(highVoice, voice);
        lowLevel = std::min<int64_t>(lowLevel, level);
        highLevel = std::max<int64_t>(highLevel, level);
    }
    inTable_ = true;
    if (lowVoice > highVoice) return;  // no combination on this track: every lookup misses
    voiceCount_ = highVoice - lowVoice + 1;
    levelCount_ = highLevel - lowLevel + 1;
    if (voiceCount_ > kMostTableCells || levelCount_ > kMostTableCells / voiceCount_) {
        inTable_ = false;
        voiceCount_ = 0;
        levelCount_ = 0;
        return;
    }
    firstVoice_ = lowVoice;
    firstLevel_ = lowLevel;
    numbers_.assign(static_cast<std::size_t>(voiceCount_ * levelCount_), -1);
    for (const auto& [key, number] : index) {
        const auto& [voice, level, track] = key;
        if (track != trackNumber) continue;
        numbers_[static_cast<std::size_t>((voice - firstVoice_) * levelCount_ + (level - firstLevel_))] = number;
    }
}

}  // namespace tonequill
