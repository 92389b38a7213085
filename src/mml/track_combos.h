#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "common/combination.h"

namespace tonequill {

// The combination numbers ("Ev") of one output track, looked up by voice and
// level. A track's voices and levels lie in a small box (a few dozen
// programs by at most 43 levels), so they are kept in a table over that box
// and each note costs one index; keys spread too wide for a table are
// looked up in the song's ordered map instead.
class TrackCombos {
public:
    TrackCombos(const std::map<ComboKey, int32_t>& index, int32_t trackNumber);

    // The position of (voice, level, trackNumber) in the combinations, -1 when missing.
    [[nodiscard]] int32_t find(int32_t voice, int32_t level) const {
        if (!inTable_) {
            const auto found = index_.find(ComboKey{voice, level, trackNumber_});
            return found != index_.end() ? found->second : -1;
        }
        const int64_t v = static_cast<int64_t>(voice) - firstVoice_;
        const int64_t l = static_cast<int64_t>(level) - firstLevel_;
        if (v < 0 || v >= voiceCount_ || l < 0 || l >= levelCount_) return -1;
        return numbers_[static_cast<std::size_t>(v * levelCount_ + l)];
    }

private:
    const std::map<ComboKey, int32_t>& index_;
    int32_t trackNumber_;
    bool inTable_ = false;
    int64_t firstVoice_ = 0;
    int64_t voiceCount_ = 0;
    int64_t firstLevel_ = 0;
    int64_t levelCount_ = 0;
    std::vector<int32_t> numbers_;  // voice-major, -1 where the box has no combination
};

}  // namespace tonequill
